#include "tests/e2e/session.h"

#include <algorithm>
#include <cwctype>

#include "tests/e2e/watchdog.h"
#include "ui/control_ids.h"

namespace tav::e2e {

namespace {

constexpr wchar_t kLabelMark[] = L"<mark>";

std::wstring Describe(const Notice& notice) {
  std::wstring buttons;
  if (notice.hasOk) buttons += L"OK";
  if (notice.hasCancel) buttons += buttons.empty() ? L"Cancel" : L"+Cancel";
  if (buttons.empty()) buttons = L"no buttons";
  return Quote(notice.text) + L" titled " + Quote(notice.title) + L" with " + buttons + L" and " +
         NameOf(notice.icon) + L" icon";
}

std::wstring QuotedList(const std::vector<std::wstring>& items) {
  std::wstring text;
  for (size_t i = 0; i < items.size(); ++i) text += (i ? L" " : L"") + Quote(items[i]);
  return text;
}

std::wstring PathList(const std::vector<std::wstring>& paths) {
  std::wstring text = L"{";
  for (size_t i = 0; i < paths.size(); ++i) text += (i ? L", " : L"") + paths[i];
  return text + L"}";
}

bool EndsWithSentenceMark(const std::wstring& text) {
  return !text.empty() && (text.back() == L'。' || text.back() == L'！');
}

// The number after "错误 " in a failure notice; nullopt when there is none.
std::optional<DWORD> ErrorNumberIn(const std::wstring& text) {
  const auto at = text.find(L"错误 ");
  if (at == std::wstring::npos) return std::nullopt;
  size_t i = at + 3;
  if (i >= text.size() || !iswdigit(text[i])) return std::nullopt;
  DWORD number = 0;
  while (i < text.size() && iswdigit(text[i])) number = number * 10 + (text[i++] - L'0');
  return number;
}

// Whether text holds the system's description of an error. An insert such as "%1" in the
// description stands for a path or name the program fills in: the pieces around it must appear
// in order, and the insert itself not at all.
bool HoldsDescription(const std::wstring& text, const std::wstring& description) {
  size_t from = 0;
  size_t at = 0;
  while (at <= description.size()) {
    size_t insert = description.find(L'%', at);
    while (insert != std::wstring::npos &&
           (insert + 1 >= description.size() || !iswdigit(description[insert + 1]))) {
      insert = description.find(L'%', insert + 1);
    }
    const std::wstring piece = description.substr(at, insert - at);
    const size_t found = text.find(piece, from);
    if (found == std::wstring::npos) return false;
    from = found + piece.size();
    if (insert == std::wstring::npos) return true;
    at = insert + 2;
  }
  return true;
}

}  // namespace

std::unique_ptr<TavApp> TavApp::Launch(const std::wstring& exe, const std::wstring& workingDir,
                                       Report& report, const std::wstring& arguments) {
  Watchdog::BeginStep(L"starting TAV.exe");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created = {};
  std::wstring commandLine = L"\"" + exe + L"\"" + (arguments.empty() ? L"" : L" " + arguments);
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      workingDir.c_str(), &startup, &created)) {
    report.Fail(L"TAV.exe starts", L"a new process of " + exe,
                L"error " + std::to_wstring(GetLastError()));
    return nullptr;
  }
  CloseHandle(created.hThread);
  std::unique_ptr<TavApp> app(new TavApp(UniqueHandle(created.hProcess), created.dwProcessId));
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindowsOf(app->processId_)) {
          if (ClassOf(window) == ids::kWindowClass && IsWindowVisible(window)) app->main = window;
        }
        return app->main != nullptr || !app->Running();
      },
      kShowWaitMs);
  if (!report.Check(app->main != nullptr, L"TAV.exe starts and shows its window",
                    L"a visible window of class TAV.Form1",
                    app->Running() ? L"none " + Within(kShowWaitMs) : L"the process ended")) {
    return nullptr;
  }
  app->text1 = GetDlgItem(app->main, ids::kText1);
  app->text2 = GetDlgItem(app->main, ids::kText2);
  app->label2 = GetDlgItem(app->main, ids::kLabel2);
  app->start = GetDlgItem(app->main, ids::kCommand1);
  app->exit = GetDlgItem(app->main, ids::kCommand2);
  Watchdog::Watch(app->main, app->process_.get());
  const bool complete = app->text1 && app->text2 && app->label2 && app->start && app->exit;
  if (!report.Check(complete, L"the window holds Text1, Text2, Label2, Command1 and Command2",
                    L"all five controls", L"some missing")) {
    return nullptr;
  }
  return app;
}

TavApp::~TavApp() {
  Watchdog::Unwatch(main);
  if (Running()) {
    TerminateProcess(process_.get(), 1);
    WaitForExit(kShowWaitMs);
  }
}

Probe* TavApp::probe(Report& report) {
  if (!probe_ && !probeFailed_) {
    std::wstring error;
    probe_ = Probe::Load(process_.get(), main, error);
    probeFailed_ = !report.Check(probe_ != nullptr, L"the probe loads into TAV.exe",
                                 L"tav_e2e_probe.dll loaded", error);
  }
  return probe_.get();
}

bool TavApp::Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

bool TavApp::WaitForExit(DWORD timeoutMs) const {
  return WaitForSingleObject(process_.get(), timeoutMs) == WAIT_OBJECT_0;
}

void Session::BeginStep() {
  before_.clear();
  for (const auto& root : roots_) before_.push_back(Snapshot(root));
  console_.Drain();
  console_.Clear();
}

void Session::SetBoxes(const std::wstring& oldExt, const std::wstring& newExt) {
  const bool set = SetTextOf(app_.text1, oldExt) && SetTextOf(app_.text2, newExt);
  if (!set) report_.Fail(L"typing into the extension boxes", L"both texts set", L"no answer");
}

void Session::ClickStart() { PostMessageW(app_.start, BM_CLICK, 0, 0); }

void Session::Menu(int id) { PostMessageW(app_.main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::optional<Notice> Session::TakeNotice(const std::wstring& what) {
  Watchdog::BeginStep(what + L": waiting for a notice");
  auto notice = WaitForNotice(app_.processId(), kShowWaitMs, app_.probe(report_));
  if (!notice) {
    report_.Fail(what, L"a notice",
                 app_.Running() ? L"none " + Within(kShowWaitMs) : L"no notice: the program ended");
  }
  return notice;
}

void Session::ExpectNotice(const std::wstring& what, const std::wstring& text,
                           const std::wstring& title, NoticeIcon icon, int answer) {
  const auto notice = TakeNotice(what);
  if (!notice) return;
  JudgeNotice(what, *notice, text, title, icon);
  if (!AnswerNotice(notice->box, answer)) {
    report_.Fail(what + L": the notice closes", L"gone after the click", L"still open");
  }
}

void Session::JudgeNotice(const std::wstring& what, const Notice& notice, const std::wstring& text,
                          const std::wstring& title, NoticeIcon icon) {
  const Notice expected{nullptr, title, text, true, true, icon};
  const bool same = notice.text == text && notice.title == title && notice.hasOk &&
                    notice.hasCancel && notice.icon == icon;
  report_.Check(same, what + L": notice " + Quote(text), Describe(expected), Describe(notice));
}

DWORD Session::ExpectFailureNotice(const std::wstring& what, std::optional<DWORD> error,
                                   int answer) {
  const auto notice = TakeNotice(what);
  if (!notice) return 0;
  const DWORD number = JudgeFailureNotice(what, *notice, error);
  if (!AnswerNotice(notice->box, answer)) {
    report_.Fail(what + L": the notice closes", L"gone after the click", L"still open");
  }
  return number;
}

DWORD Session::JudgeFailureNotice(const std::wstring& what, const Notice& notice,
                                  std::optional<DWORD> error) {
  const auto number = ErrorNumberIn(notice.text);
  const std::wstring description = number ? ErrorDescription(*number) : L"";
  const bool named = number && *number != 0 && (!error || *number == *error) &&
                     !description.empty() && HoldsDescription(notice.text, description);
  const bool framed = notice.title == kNoticeTitle && notice.hasOk && notice.hasCancel &&
                      notice.icon == NoticeIcon::Stop && EndsWithSentenceMark(notice.text);
  const std::wstring expectedError =
      error ? L"错误 " + std::to_wstring(*error) + L" and " + Quote(ErrorDescription(*error))
            : L"an error number and its description";
  report_.Check(named && framed, what + L": failure notice " + Quote(notice.text),
                L"a stop notice titled \"提示\" with OK+Cancel holding " + expectedError +
                    L", ending with 。 or ！",
                Describe(notice));
  return number.value_or(0);
}

void Session::ExpectNoNotice(const std::wstring& what, DWORD waitMs) {
  Watchdog::BeginStep(what + L": waiting for no notice");
  Sync(app_.main);
  const auto notice = WaitForNotice(app_.processId(), waitMs, app_.probe(report_));
  if (report_.Check(!notice, what + L": no notice", L"no notice",
                    notice ? Describe(*notice) : L"")) {
    return;
  }
  AnswerNotice(notice->box, IDOK);
}

void Session::ExpectBoxes(const std::wstring& what, const std::wstring& text1,
                          const std::wstring& text2) {
  Sync(app_.main);
  const std::wstring got1 = TextOf(app_.text1);
  const std::wstring got2 = TextOf(app_.text2);
  report_.Check(got1 == text1 && got2 == text2,
                what + L": boxes hold " + Quote(text1) + L" and " + Quote(text2),
                Quote(text1) + L" and " + Quote(text2), Quote(got1) + L" and " + Quote(got2));
}

void Session::ExpectLabel2(const std::wstring& what, const std::wstring& caption) {
  std::wstring got;
  WaitUntil(
      [&] {
        got = TextOf(app_.label2);
        return got == caption || !app_.Running();
      },
      kShowWaitMs);
  report_.Check(got == caption, what + L": Label2 reads " + Quote(caption), Quote(caption),
                Quote(got));
}

void Session::MarkLabel2() {
  if (!SetTextOf(app_.label2, kLabelMark)) {
    report_.Fail(L"marking Label2", Quote(kLabelMark), L"no answer");
  }
}

void Session::ExpectLabel2Marked(const std::wstring& what, DWORD waitMs) {
  Sync(app_.main);
  Sleep(waitMs);
  const std::wstring got = TextOf(app_.label2);
  report_.Check(got == kLabelMark, what + L": Label2 is left alone", Quote(kLabelMark), Quote(got));
}

void Session::ExpectTyped(const std::wstring& what, const std::wstring& line) {
  Sync(app_.main);
  console_.Drain();
  const ReceivedText got = console_.Received();
  const std::wstring expected = line + L"\r";
  report_.Check(got.text == expected && !got.notOneKeyPress,
                what + L": console receives " + Quote(line) + L" and a carriage return",
                Quote(expected) + L", each as one key press (lParam 1)",
                Quote(got.text) + (got.notOneKeyPress ? L" with another lParam" : L""));
  ExpectHiddenConsoleUntouched(what);
}

void Session::ExpectNothingTyped(const std::wstring& what) {
  Sync(app_.main);
  console_.Drain();
  const std::wstring got = console_.Received().text;
  report_.Check(got.empty(), what + L": nothing typed into the console", Quote(L""), Quote(got));
  ExpectHiddenConsoleUntouched(what);
}

void Session::ExpectHiddenConsoleUntouched(const std::wstring& what) {
  const std::wstring got = console_.ReceivedByHidden().text;
  report_.Check(got.empty(), what + L": nothing typed into the hidden console above it", Quote(L""),
                Quote(got));
}

void Session::ExpectTypedLineOpens(const std::wstring& what, const RecordingExplorer& explorer,
                                   const std::wstring& folder) {
  std::wstring line = console_.Received().text;
  if (!line.empty() && line.back() == L'\r') line.pop_back();
  const auto arguments = explorer.Run(line);
  const std::vector<std::wstring> expected{folder};
  report_.Check(arguments == expected,
                what + L": the typed line, run by cmd.exe, starts explorer with the folder alone",
                L"explorer " + Quote(folder),
                arguments ? L"explorer " + QuotedList(*arguments) : L"no explorer started");
}

void Session::ExpectFile(const std::wstring& what, const std::wstring& path,
                         const std::string& bytes) {
  const auto got = ReadBytes(path);
  report_.Check(got == bytes, what + L": " + path + L" holds " + QuoteBytes(bytes),
                QuoteBytes(bytes), got ? QuoteBytes(*got) : L"no such file");
}

std::vector<std::wstring> Session::ChangesSinceStep() const {
  std::vector<std::wstring> changed;
  for (size_t i = 0; i < roots_.size() && i < before_.size(); ++i) {
    for (auto& path : Differences(before_[i], Snapshot(roots_[i]))) changed.push_back(path);
  }
  std::sort(changed.begin(), changed.end());
  return changed;
}

void Session::ExpectChanges(const std::wstring& what, std::vector<std::wstring> paths) {
  Sync(app_.main);
  std::sort(paths.begin(), paths.end());
  const auto changed = ChangesSinceStep();
  report_.Check(changed == paths,
                what + (paths.empty() ? L": nothing changed on disk"
                                      : L": on disk only " + PathList(paths) + L" changed"),
                PathList(paths), PathList(changed));
}

void Session::ExpectAlive(const std::wstring& what) {
  Watchdog::BeginStep(what + L": asking for help");
  bool answered = false;
  if (app_.Running()) {
    Menu(ids::kMenuHelp);
    // Only the title counts here, so the icon is not read.
    const auto notice = WaitForNotice(app_.processId(), kShowWaitMs, nullptr);
    if (notice) {
      answered = notice->title == L"帮助";
      AnswerNotice(notice->box, IDOK);
    }
  }
  report_.Check(answered, what + L": TAV still runs and answers the next command",
                L"the help notice", app_.Running() ? L"no help notice" : L"the process ended");
}

bool Session::Drop(const std::wstring& what, const std::vector<std::wstring>& paths) {
  Watchdog::BeginStep(what + L": dropping files");
  Probe* probe = app_.probe(report_);
  if (!probe) return false;
  if (probe->Drop(app_.main, paths)) return true;
  report_.Fail(what + L": the drop reaches the window", L"handled", L"not delivered");
  return false;
}

bool Session::Pick(const std::wstring& what, const std::wstring& path) {
  Watchdog::BeginStep(what + L": picking a file");
  Menu(ids::kMenuDirectory);
  HWND dialog = WaitForOpenDialog(app_.processId(), kShowWaitMs);
  if (!report_.Check(dialog != nullptr, what + L": the Open dialog appears",
                     Quote(kOpenDialogTitle), L"no such dialog")) {
    return false;
  }
  std::wstring remarks;
  const bool chosen = ChooseInOpenDialog(dialog, path, remarks);
  if (!chosen) {
    report_.Fail(what + L": the Open dialog takes " + Quote(path), L"the dialog closed",
                 remarks.empty() ? L"still open" : remarks);
    CancelOpenDialog(dialog);
    return false;
  }
  if (!remarks.empty()) report_.Note(what + L": " + remarks);
  Sync(app_.main);
  return true;
}

bool Session::CancelPick(const std::wstring& what) {
  Watchdog::BeginStep(what + L": cancelling a pick");
  Menu(ids::kMenuDirectory);
  HWND dialog = WaitForOpenDialog(app_.processId(), kShowWaitMs);
  if (!report_.Check(dialog != nullptr, what + L": the Open dialog appears",
                     Quote(kOpenDialogTitle), L"no such dialog")) {
    return false;
  }
  const bool cancelled = CancelOpenDialog(dialog);
  report_.Check(cancelled, what + L": the Open dialog closes on Cancel", L"closed", L"still open");
  Sync(app_.main);
  return cancelled;
}

}  // namespace tav::e2e
