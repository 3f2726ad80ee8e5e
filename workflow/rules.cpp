#include "workflow/rules.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tav {

namespace {

constexpr wchar_t kPathSeparator = L'\\';
constexpr wchar_t kExtensionSeparator = L'.';

bool IsControl(wchar_t ch) { return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F); }

bool HasWildcard(std::wstring_view text) {
  return text.find_first_of(L"*?") != std::wstring_view::npos;
}

// Letter case as the file system folds it, for the letters extensions are mostly written in:
// ASCII, Latin-1, Greek, Cyrillic and the full-width Latin letters of Chinese input. Elsewhere
// case counts here, which at worst takes a name for one of another extension.
wchar_t FoldCase(wchar_t ch) {
  const auto shifted = [ch](int by) { return static_cast<wchar_t>(ch + by); };
  if (ch >= L'A' && ch <= L'Z') return shifted(0x20);
  if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7) return shifted(0x20);
  if (ch >= 0x391 && ch <= 0x3A9 && ch != 0x3A2) return shifted(0x20);
  if (ch >= 0x410 && ch <= 0x42F) return shifted(0x20);
  if (ch >= 0x400 && ch <= 0x40F) return shifted(0x50);
  if (ch >= 0xFF21 && ch <= 0xFF3A) return shifted(0x20);
  return ch;
}

bool SameIgnoringCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

// The text after the last dot of a name; empty when it has none.
std::wstring_view ExtensionOf(std::wstring_view name) {
  const auto dot = name.rfind(kExtensionSeparator);
  return dot == std::wstring_view::npos ? std::wstring_view() : name.substr(dot + 1);
}

// The first part of every script line: the script's own folder becomes the current one, and the
// rest runs only if it did.
constexpr wchar_t kEnterScriptFolder[] = L"pushd \"%~dp0\" && ";

bool EndsWithSentenceMark(std::wstring_view text) {
  return !text.empty() && (text.back() == L'。' || text.back() == L'！');
}

// A system description as the closing sentence of a notice: trailing blanks dropped, an ASCII
// period or exclamation mark made full-width, and "。" added when no sentence mark ends it.
// Empty when the description is blank.
std::wstring NoticeSentence(std::wstring_view description) {
  while (!description.empty() && (description.back() == L' ' || description.back() == L'\r' ||
                                  description.back() == L'\n')) {
    description.remove_suffix(1);
  }
  std::wstring sentence(description);
  if (sentence.empty() || EndsWithSentenceMark(sentence)) return sentence;
  if (sentence.back() == L'.') {
    sentence.back() = L'。';
  } else if (sentence.back() == L'!') {
    sentence.back() = L'！';
  } else {
    sentence += L'。';
  }
  return sentence;
}

bool IsBlank(wchar_t ch) { return ch == L' ' || ch == L'\t'; }

// The space separators besides the ASCII blank; PowerShell splits words at each of them.
bool IsUnicodeSpace(wchar_t ch) {
  return ch == 0x00A0 || ch == 0x1680 || (ch >= 0x2000 && ch <= 0x200A) || ch == 0x202F ||
         ch == 0x205F || ch == 0x3000;
}

// ‘ ’ ‚ ‛ “ ” „: PowerShell takes each of them for a quote mark of its own.
bool IsTypographicQuote(wchar_t ch) { return ch >= 0x2018 && ch <= 0x201E; }

// Where the arguments of a command line start: past the program's name, in which quotes group
// and backslashes are plain characters, and past the blanks after it.
std::size_t StartOfArguments(std::wstring_view line) {
  std::size_t i = 0;
  for (bool quoted = false; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
    if (line[i] == L'"') quoted = !quoted;
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  return i;
}

// Reads the run of backslashes at i into argument: before a quote, half of them, and for an odd
// run the quote itself as a literal one; elsewhere all of them. Returns where reading goes on.
std::size_t ReadBackslashes(std::wstring_view line, std::size_t i, std::wstring& argument) {
  std::size_t run = 0;
  while (i + run < line.size() && line[i + run] == kPathSeparator) ++run;
  i += run;
  if (i == line.size() || line[i] != L'"') {
    argument.append(run, kPathSeparator);
    return i;
  }
  argument.append(run / 2, kPathSeparator);
  if (run % 2 == 0) return i;  // the quote groups
  argument += L'"';
  return i + 1;
}

// The argument that starts at i, up to the first blank outside quotes.
std::wstring ArgumentAt(std::wstring_view line, std::size_t i) {
  std::wstring argument;
  bool quoted = false;
  while (i < line.size() && (quoted || !IsBlank(line[i]))) {
    if (line[i] == kPathSeparator) {
      i = ReadBackslashes(line, i, argument);
    } else if (line[i] != L'"') {
      argument += line[i++];
    } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
      argument += L'"';
      i += 2;
    } else {
      quoted = !quoted;
      ++i;
    }
  }
  return argument;
}

}  // namespace

std::wstring FolderOfPickedName(std::wstring_view name) {
  const auto last = name.rfind(kPathSeparator);
  if (last == std::wstring_view::npos) return {};
  return std::wstring(name.substr(0, last));
}

std::optional<std::wstring> ExtensionOfPickedName(std::wstring_view name) {
  const auto last = name.rfind(kPathSeparator);
  const auto fileName = last == std::wstring_view::npos ? name : name.substr(last + 1);
  if (fileName.empty()) return std::nullopt;
  const auto dot = fileName.rfind(kExtensionSeparator);
  if (dot == std::wstring_view::npos) return std::wstring(fileName);
  return std::wstring(fileName.substr(dot + 1));
}

std::wstring WithoutTrailingBackslashes(std::wstring_view folder) {
  const auto end = folder.find_last_not_of(kPathSeparator);
  return std::wstring(folder.substr(0, end == std::wstring_view::npos ? 0 : end + 1));
}

std::optional<std::wstring> PathArgument(std::wstring_view commandLine) {
  std::wstring argument = ArgumentAt(commandLine, StartOfArguments(commandLine));
  if (argument.empty()) return std::nullopt;
  if (argument.back() == L'"') argument.back() = kPathSeparator;
  return argument;
}

bool IsForbiddenInExtension(wchar_t ch) {
  return IsControl(ch) ||
         std::wstring_view(L" \\/:\"<>|&^%,;=()").find(ch) != std::wstring_view::npos;
}

bool IsTooLongForExtension(std::wstring_view ext) { return ext.size() > kMaxExtensionLength; }

bool HasOnlyAllowedCharacters(std::wstring_view ext) {
  for (const wchar_t ch : ext) {
    if (IsForbiddenInExtension(ch)) return false;
  }
  return true;
}

bool MatchesNamePattern(std::wstring_view pattern, std::wstring_view name) {
  // Row i holds, for every j, whether pattern[i..] matches name[j..]. Built from the end of the
  // pattern backwards, so each pair is decided once: a pattern of many stars costs no more than
  // its length times the name's.
  const std::size_t n = name.size();
  std::vector<char> next(n + 1, 0);  // row i + 1
  std::vector<char> row(n + 1, 0);   // row i
  next[n] = 1;                       // the empty pattern matches only the end of the name
  for (std::size_t i = pattern.size(); i-- > 0;) {
    const wchar_t p = pattern[i];
    // The dot of a closing ".*" or ".?" also matches the end of a name that has no extension.
    const bool dotBeforeClosingWildcards =
        p == kExtensionSeparator &&
        pattern.substr(i + 1).find_first_not_of(L"*?") == std::wstring_view::npos;
    for (std::size_t j = n + 1; j-- > 0;) {
      const bool atEnd = j == n;
      bool matches = false;
      if (p == L'*') {
        matches = next[j] || (!atEnd && row[j + 1]);
      } else if (p == L'?') {
        // A ? also matches nothing at the end of a name or of its stem.
        matches = ((atEnd || name[j] == kExtensionSeparator) && next[j]) || (!atEnd && next[j + 1]);
      } else if (atEnd) {
        matches = dotBeforeClosingWildcards;
      } else {
        matches = FoldCase(p) == FoldCase(name[j]) && next[j + 1];
      }
      row[j] = matches ? 1 : 0;
    }
    std::swap(row, next);
  }
  return next[0] != 0;
}

bool IsAscii(std::wstring_view text) {
  for (const wchar_t ch : text) {
    if (ch >= 0x80) return false;
  }
  return true;
}

bool CarriesExtension(std::wstring_view name, std::wstring_view oldExt) {
  if (oldExt.find(kExtensionSeparator) != std::wstring_view::npos) {
    return MatchesNamePattern(L"*." + std::wstring(oldExt), name);
  }
  // Asked of every name in a listing: a plain extension is compared as it is, without the
  // pattern's tables.
  if (!HasWildcard(oldExt)) return SameIgnoringCase(ExtensionOf(name), oldExt);
  return MatchesNamePattern(oldExt, ExtensionOf(name));
}

std::wstring PlainScriptLine(std::wstring_view oldExt, std::wstring_view newExt) {
  const std::wstring from(oldExt), to(newExt);
  return kEnterScriptFolder + (L"(ren *." + from + L" *." + to + L" & popd)");
}

bool IsPlainExtension(std::wstring_view ext) {
  return !HasWildcard(ext) && ext.find(kExtensionSeparator) == std::wstring_view::npos;
}

bool CanRenameFileByFile(std::wstring_view oldExt, std::wstring_view newExt) {
  if (!IsPlainExtension(oldExt)) return false;
  // A new name's extension is the new extension's last part. Without a dot in the new extension
  // it is made from the old one and the new mask alone, so a file that still carries the old
  // extension has kept its name and is left as it is when found again.
  const auto dot = newExt.rfind(kExtensionSeparator);
  if (dot == std::wstring_view::npos) return true;
  const auto last = newExt.substr(dot + 1);
  return !HasWildcard(last) && !SameIgnoringCase(last, oldExt);
}

std::wstring PerFileScriptLine(std::wstring_view oldExt, std::wstring_view newExt) {
  const std::wstring from(oldExt), to(newExt);
  return kEnterScriptFolder + (L"((for %%f in (*." + from + L") do if /i \"%%~xf\"==\"." + from +
                               L"\" ren \"%%f\" \"%%~nf." + to + L"\") & popd)");
}

bool NeedsQuotesOnCommandLine(std::wstring_view folder) {
  if (folder.find_first_of(L" &|<>^()%!,;='{}@#") != std::wstring_view::npos) return true;
  return std::any_of(folder.begin(), folder.end(), IsUnicodeSpace);
}

bool QuotesCannotProtect(std::wstring_view line) {
  return line.find_first_of(L"%$`") != std::wstring_view::npos ||
         std::any_of(line.begin(), line.end(), IsTypographicQuote);
}

std::wstring ExplorerCommand(std::wstring_view folder) {
  std::wstring command = L"explorer ";
  if (NeedsQuotesOnCommandLine(folder)) {
    command += L'"';
    command += folder;
    command += L'"';
  } else {
    command += folder;
  }
  return command;
}

std::optional<std::int32_t> CharCodeFromAnsi(std::string_view bytes) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() == 1) return byteAt(0);
  if (bytes.size() == 2) return byteAt(0) | (byteAt(1) << 8);
  return std::nullopt;
}

std::optional<std::vector<std::int32_t>> ConsoleCodes(std::wstring_view line,
                                                      const AnsiEncoder& toAnsi) {
  std::vector<std::int32_t> codes;
  codes.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto bytes = toAnsi(line.substr(i, 1));
    if (!bytes) return std::nullopt;
    const auto code = CharCodeFromAnsi(*bytes);
    if (!code) return std::nullopt;
    codes.push_back(*code);
  }
  return codes;
}

std::wstring FailureNotice(std::wstring_view what, const OpStatus& status) {
  std::wstring text(what);
  text += L"。错误 ";
  text += std::to_wstring(status.error);
  const std::wstring sentence = NoticeSentence(status.description);
  if (sentence.empty()) return text + L'。';
  text += L'：';
  text += sentence;
  return text;
}

}  // namespace tav
