// Pure text rules of the rename workflow: no state, no operating-system calls. The commands build
// on them, and each can be called on its own with any input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace tav {

// Folder of a name reported by the Open dialog: everything before its last backslash, so a network
// path keeps its leading backslashes. Empty when the name holds no backslash. "/" is no separator.
std::wstring FolderOfPickedName(std::wstring_view name);

// Extension of a name reported by the Open dialog: the text after the last "." of its last
// backslash-separated component (the whole component when it has no dot, empty when it ends with
// a dot). nullopt when that component is empty (empty name, or a name ending with a backslash).
std::optional<std::wstring> ExtensionOfPickedName(std::wstring_view name);

// A folder without its closing backslashes: C:\data\ gives C:\data, and a drive's root C:\ gives
// C:, the form a file's folder has.
std::wstring WithoutTrailingBackslashes(std::wstring_view folder);

// The path named on a Windows command line (GetCommandLineW): its first argument after the
// program's name, read by the C runtime's rules. Blanks and tabs separate arguments; double
// quotes group; 2n backslashes before a quote give n backslashes and the quote groups, 2n + 1
// give n and a literal quote; "" inside quotes is a literal quote; other backslashes are
// literal. As no path holds a quote, a closing quote is taken back as the backslash it was
// meant to be ("C:\" reads as C:" by those rules). nullopt when no argument or an empty one
// follows the program's name; further arguments are ignored.
std::optional<std::wstring> PathArgument(std::wstring_view commandLine);

// True when ch may not appear in an extension written into the rename script: a control
// character, a space, or one of \ / : " < > | & ^ % , ; = ( )  which would change the meaning of
// the script's line for the command interpreter (a parenthesis would end the group the rename
// stands in). Wildcards and dots are allowed.
bool IsForbiddenInExtension(wchar_t ch);

// The longest extension a file name can carry: one name component holds at most 255 characters.
inline constexpr std::size_t kMaxExtensionLength = 255;

// True when ext is longer than any file's extension can be.
bool IsTooLongForExtension(std::wstring_view ext);

// True when no character of ext is forbidden (see IsForbiddenInExtension). Whether the text fits
// the ANSI code page is the caller's separate question.
bool HasOnlyAllowedCharacters(std::wstring_view ext);

// Whether name matches a file-name pattern the way the file system matches a name: * is any run
// of characters, ? any one character or none at the end of the name or of its stem, letter case
// does not count, and a "." before a closing run of wildcards also matches the end of a name
// without an extension ("tav.*" matches "tav"). Only the name itself is compared, never the
// short 8.3 name that the file system also tries.
bool MatchesNamePattern(std::wstring_view pattern, std::wstring_view name);

// True when text holds only characters below 128, which every code page writes alike.
bool IsAscii(std::wstring_view text);

// Whether an entry that the pattern *.old finds in a folder carries old as its own extension:
// the text after its last dot matches old (every name does for *), or, for an old extension that
// holds a dot itself (tar.gz), its whole name matches *.old. An entry found only through its
// short 8.3 name (report.docx through REPORT~1.DOC for doc) does not.
bool CarriesExtension(std::wstring_view name, std::wstring_view oldExt);

// The rename script's one line for a folder whose *.old finds only files of that extension:
// it makes the script's own folder current, so that the script renames there however it is
// started, renames only if that worked, and gives a console the folder it was in back:
//   pushd "%~dp0" && (ren *.old *.new & popd)
std::wstring PlainScriptLine(std::wstring_view oldExt, std::wstring_view newExt);

// True when ext holds neither a wildcard nor a dot: a single extension such as doc.
bool IsPlainExtension(std::wstring_view ext);

// Whether PerFileScriptLine renames exactly the files that carry oldExt, each as the plain line
// would: oldExt is a plain extension, and no renamed file carries oldExt under a new name, which
// the loop would find again and rename once more.
bool CanRenameFileByFile(std::wstring_view oldExt, std::wstring_view newExt);

// The line for a folder where *.old also finds other files: each file found is renamed only when
// its own extension is old, and gets the name that the plain line gives it (a.b.doc -> a.b.txt):
//   pushd "%~dp0" && ((for %%f in (*.old) do if /i "%%~xf"==".old" ren "%%f" "%%~nf.new") & popd)
std::wstring PerFileScriptLine(std::wstring_view oldExt, std::wstring_view newExt);

// True when folder must be quoted on a command line: it holds a space or one of
// & | < > ^ ( ) % ! , ; =  or one of ' { } @ #, which PowerShell reads as syntax outside quotes,
// or another Unicode space (U+00A0, U+3000 and the like), which splits words in PowerShell.
// Inside double quotes both interpreters read all of them as plain text.
bool NeedsQuotesOnCommandLine(std::wstring_view folder);

// True when an interactive interpreter would expand, run or unquote part of line even inside
// double quotes: % (cmd's variables), $ and ` (PowerShell's subexpressions and escapes), and the
// typographic quotes U+2018 to U+201E, which end a double-quoted string in PowerShell.
bool QuotesCannotProtect(std::wstring_view line);

// The line typed into the console to open folder in the file manager:
// explorer <folder>, with the folder in double quotes when NeedsQuotesOnCommandLine says so.
std::wstring ExplorerCommand(std::wstring_view folder);

// WM_CHAR code of one character from its ANSI bytes: one byte gives 0..255; two bytes give the
// lead byte in bits 0-7 and the trail byte in bits 8-15, the order in which the system reads them
// back. nullopt for any other length, as such a character cannot be typed as one code.
std::optional<std::int32_t> CharCodeFromAnsi(std::string_view bytes);

// Converts text to the ANSI code page, or nullopt when it has no exact representation.
using AnsiEncoder = std::function<std::optional<std::string>(std::wstring_view)>;

// One WM_CHAR code per character of line, in order, each encoded on its own with toAnsi. nullopt
// when any character has no exact ANSI representation or no single code: typing a substitute
// would run a different command, so the caller types nothing at all.
std::optional<std::vector<std::int32_t>> ConsoleCodes(std::wstring_view line,
                                                      const AnsiEncoder& toAnsi);

// Text of the stop notice for a failed operation: what failed, then "错误 N：description",
// always ending with "。" or "！". Example:
// FailureNotice(L"无法写入D:\\duzaz\\tav.bat", {5, L"拒绝访问。"})
//   == L"无法写入D:\\duzaz\\tav.bat。错误 5：拒绝访问。"
std::wstring FailureNotice(std::wstring_view what, const OpStatus& status);

}  // namespace tav
