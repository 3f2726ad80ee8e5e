// One running TAV.exe and the checks made against it: its window and controls, the notices it
// shows, what it typed into the console stand-in and what it changed on disk.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/console_standin.h"
#include "tests/e2e/files.h"
#include "tests/e2e/probe.h"
#include "tests/e2e/support.h"
#include "tests/e2e/windows_ui.h"

namespace tav::e2e {

// How long the program, back in its message loop, must show nothing for a check that nothing
// happens. Such checks are short and fixed: waiting for something that must not come has no end
// to wait for.
inline constexpr DWORD kQuietWaitMs = 150;

class TavApp {
 public:
  // Starts the program, with the command-line arguments given, and waits for its main window;
  // reports one check either way.
  static std::unique_ptr<TavApp> Launch(const std::wstring& exe, const std::wstring& workingDir,
                                        Report& report, const std::wstring& arguments = {});
  ~TavApp();
  TavApp(const TavApp&) = delete;
  TavApp& operator=(const TavApp&) = delete;

  DWORD processId() const { return processId_; }
  // The probe inside the program, loaded on first use; nullptr, after a failed check, when it
  // cannot be loaded.
  Probe* probe(Report& report);
  bool Running() const;
  bool WaitForExit(DWORD timeoutMs) const;

  HWND main = nullptr;
  HWND text1 = nullptr;
  HWND text2 = nullptr;
  HWND label2 = nullptr;
  HWND start = nullptr;  // 开始
  HWND exit = nullptr;   // 退出

 private:
  TavApp(UniqueHandle process, DWORD processId)
      : process_(std::move(process)), processId_(processId) {}
  UniqueHandle process_;
  DWORD processId_ = 0;
  std::unique_ptr<Probe> probe_;
  bool probeFailed_ = false;
};

class Session {
 public:
  // roots: the folders whose every change is checked (the D: drive and the C: test folder).
  Session(Report& report, ConsoleStandIn& console, TavApp& app, std::vector<std::wstring> roots)
      : report_(report), console_(console), app_(app), roots_(std::move(roots)) {}

  Report& report() { return report_; }
  TavApp& app() { return app_; }

  // Starts a step: remembers the folders' contents and forgets what the console received.
  void BeginStep();

  void SetBoxes(const std::wstring& oldExt, const std::wstring& newExt);
  void ClickStart();
  void Menu(int id);

  void ExpectNotice(const std::wstring& what, const std::wstring& text, const std::wstring& title,
                    NoticeIcon icon, int answer = IDOK);
  // A stop notice titled 提示 naming an error number and the system's description of it.
  // Returns the number found.
  DWORD ExpectFailureNotice(const std::wstring& what, std::optional<DWORD> error,
                            int answer = IDOK);
  // Checks a notice already taken (see TakeNotice) against the expected one.
  void JudgeNotice(const std::wstring& what, const Notice& notice, const std::wstring& text,
                   const std::wstring& title, NoticeIcon icon);
  // Checks a notice already taken as such a failure notice; returns the number found.
  DWORD JudgeFailureNotice(const std::wstring& what, const Notice& notice,
                           std::optional<DWORD> error);
  // The next notice, for checks of the caller's own; a failed check when none appears.
  std::optional<Notice> TakeNotice(const std::wstring& what);
  // No notice appears within waitMs once the program is back in its message loop.
  void ExpectNoNotice(const std::wstring& what, DWORD waitMs = kQuietWaitMs);

  void ExpectBoxes(const std::wstring& what, const std::wstring& text1, const std::wstring& text2);
  void ExpectLabel2(const std::wstring& what, const std::wstring& caption);
  // Writes a text of the driver's own into Label2 behind the program's back. The program writes
  // the label only when the folder it shows changes, so the mark stays until then.
  void MarkLabel2();
  // Label2 still holds the mark after the program has been idle for waitMs.
  void ExpectLabel2Marked(const std::wstring& what, DWORD waitMs = kQuietWaitMs);
  // The visible console stand-in received line and a carriage return, the hidden one nothing.
  void ExpectTyped(const std::wstring& what, const std::wstring& line);
  void ExpectNothingTyped(const std::wstring& what);
  // The line the console received, run by the system's cmd.exe as a console would run it,
  // starts explorer with folder as its one argument.
  void ExpectTypedLineOpens(const std::wstring& what, const RecordingExplorer& explorer,
                            const std::wstring& folder);
  void ExpectFile(const std::wstring& what, const std::wstring& path, const std::string& bytes);
  // Exactly these paths changed under the roots since BeginStep.
  void ExpectChanges(const std::wstring& what, std::vector<std::wstring> paths);
  // The program still runs and still answers a command (Help shows its notice).
  void ExpectAlive(const std::wstring& what);

  // Drops paths on the window as the shell does, and returns once the window has handled the
  // drop; false, after a failed check, when it could not be made.
  bool Drop(const std::wstring& what, const std::vector<std::wstring>& paths);

  // Opens 目录 and chooses path in the Open dialog; false when that did not work out.
  bool Pick(const std::wstring& what, const std::wstring& path);
  bool CancelPick(const std::wstring& what);

 private:
  std::vector<std::wstring> ChangesSinceStep() const;
  void ExpectHiddenConsoleUntouched(const std::wstring& what);
  Report& report_;
  ConsoleStandIn& console_;
  TavApp& app_;
  std::vector<std::wstring> roots_;
  std::vector<TreeSnapshot> before_;
};

inline constexpr wchar_t kNoticeTitle[] = L"提示";

}  // namespace tav::e2e
