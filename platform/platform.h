// Every operating-system operation that the rename workflow uses, behind one interface.
// The Win32 implementation lives beside this header; tests pass a double.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tav {

enum class Icon { Stop, Information };

// A window handle as the workflow keeps it; 0 means "no window".
using WindowHandle = std::uintptr_t;

// Outcome of an operation that can fail: error 0 is success, otherwise the system's error number
// and its description (without trailing line breaks). An operation on several entries names in
// path the one it failed at; path is empty when the failure concerns what was asked for as a whole.
struct OpStatus {
  OpStatus() = default;
  OpStatus(std::uint32_t code, std::wstring text, std::wstring entry = {})
      : error(code), description(std::move(text)), path(std::move(entry)) {}

  std::uint32_t error = 0;
  std::wstring description;
  std::wstring path;

  bool ok() const { return error == 0; }
  static OpStatus Success() { return {}; }
};

// What the Open dialog reported: the full path of the chosen file, or the empty string when the
// user cancelled. A failed status means that the dialog could not be shown at all.
struct PickedFile {
  std::wstring name;
  OpStatus status;
};

// What a listing found: the name of the first matching entry, empty when nothing matches (the
// folder or drive missing included). A failed status means that the listing itself failed (no
// access, device not ready, a network error), so whether anything matches is unknown.
struct FoundEntry {
  std::wstring name;
  OpStatus status;
};

enum class PathKind { Missing, File, Folder };

// What is at a path given from outside the Open dialog (dropped on the window or named on the
// command line): its kind, and the path made absolute, a relative one taken from the current
// folder. A failed status means that the path could not be examined (no access, device not
// ready), so whether anything is there is unknown.
struct PathEntry {
  PathKind kind = PathKind::Missing;
  std::wstring fullPath;
  OpStatus status;
};

class Platform {
 public:
  virtual ~Platform() = default;

  // Modal message box owned by the main window, with OK and Cancel; the answer is ignored.
  virtual void NoticeBox(const std::wstring& text, const std::wstring& title, Icon icon) = 0;

  // Modal Open dialog. Only a cancel gives the empty name; a dialog that fails reports why.
  virtual PickedFile PickFile() = 0;

  // The first entry (file or folder) matching a full path whose last component may hold * and ?.
  virtual FoundEntry FirstMatch(const std::wstring& pattern) = 0;

  // The first entry (file or folder) matching such a pattern whose own (long) name passes test,
  // found while listing: the listing stops there, and keeps no names. The system also tries each
  // entry's short 8.3 name, so *.doc finds report.docx (REPORT~1.DOC) too. No such entry, the
  // folder or drive missing included, gives the empty name.
  virtual FoundEntry FirstMatchThat(const std::wstring& pattern,
                                    const std::function<bool(std::wstring_view)>& test) = 0;

  // Whether path names a file, a folder or nothing, and its absolute form.
  virtual PathEntry ExaminePath(const std::wstring& path) = 0;

  // Creates the one folder named by path; its parent must exist.
  virtual OpStatus MakeFolder(const std::wstring& path) = 0;

  // Moves every ordinary file matching the pattern (never a folder) to the Recycle Bin, file by
  // file; on a drive without one (a network share, some removable drives, a bin switched off) the
  // file is deleted instead, as the shell does. Nothing is asked or shown. Fails when no file
  // matched, or at the first file that stays where it is (held open, no access, a path that the
  // shell cannot take), which the status's path names.
  virtual OpStatus RecycleMatching(const std::wstring& pattern) = 0;

  // Makes the file hold line + CR LF in the ANSI code page, whole or not at all: on failure a file
  // that was there keeps its bytes.
  virtual OpStatus WriteScriptLine(const std::wstring& path, const std::wstring& line) = 0;

  // Starts the command line as a new process with a hidden window; does not wait, keeps no handle.
  virtual OpStatus LaunchHidden(const std::wstring& commandLine) = 0;

  // The top-level windows of the console's class "ConsoleWindowClass", shown or not, in the
  // window order: the frontmost first.
  virtual std::vector<WindowHandle> ConsoleWindows() = 0;

  // Whether the window is shown (WS_VISIBLE).
  virtual bool IsShown(WindowHandle window) = 0;

  // Whether the window manager keeps the shown window out of view: cloaked, as a window on
  // another virtual desktop is (Windows 8 and later). False where that cannot be told.
  virtual bool IsCloaked(WindowHandle window) = 0;

  // Whether the window belongs to a program of a higher integrity level than this one (one run as
  // administrator), which the system keeps this program's posted messages from. False where that
  // cannot be told.
  virtual bool RunsAboveThisProgram(WindowHandle window) = 0;

  // Posts WM_CHAR to the window as one key press: code being a byte or a double-byte character
  // with its lead byte in bits 0-7 and its trail byte in bits 8-15. False when the post was
  // refused.
  virtual bool PostChar(WindowHandle window, std::int32_t code) = 0;

  // The most bytes one character of the ANSI code page takes: 1 or 2, but 4 where Windows uses
  // UTF-8 as its ANSI code page.
  virtual unsigned AnsiMaxCharBytes() = 0;

  // Whether the command interpreter reads a script in the code page the script is written in: a
  // console's code page (the OEM one) is the ANSI code page on Chinese Windows, but not on many
  // others (437 against 1252 on English Windows).
  virtual bool ConsoleReadsAnsi() = 0;

  // The bytes of text in the system's ANSI code page, or nullopt when any character has no exact
  // representation there (no best-fit substitution).
  virtual std::optional<std::string> ToAnsi(std::wstring_view text) = 0;
};

}  // namespace tav
