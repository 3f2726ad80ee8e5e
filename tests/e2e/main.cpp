// End-to-end driver: starts the real TAV.exe and uses it the way a user does.
//
//   tav_e2e.exe PHASE C_FOLDER [TAV_EXE]
//
// PHASE "main" expects drive D: to be an empty folder, "nodrive" expects no drive D:, "fulldisk"
// expects D: to be an empty drive of about a megabyte that it may fill, "broken" expects
// D:\duzaz to be an entry that cannot be listed (a link that loops) and cmd.exe to be no
// program, "hidpi" a screen of 144 DPI, where it checks the window as it looks at start. C_FOLDER
// is an empty folder on C: for the chosen-folder stories. TAV_EXE defaults to TAV.exe beside the
// driver. Prints one line per check and "N passed, M failed" last; exits 1 when a check failed.
#include <windows.h>

#include <string>

#include "tests/e2e/console_standin.h"
#include "tests/e2e/scenarios.h"
#include "tests/e2e/session.h"

namespace tav::e2e {
namespace {

void RunMainPhase(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                  const std::wstring& cRoot) {
  CheckVersionRecord(report, exe);
  report.Check(Snapshot(L"D:\\").empty(), L"drive D: starts empty", L"an empty drive",
               Exists(L"D:\\") ? L"entries on it" : L"no drive D:");
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {L"D:\\", cRoot});
  CheckFreshWindow(session, 96);
  CheckMenu(session);
  CheckHelpAndAbout(session);
  CheckEnterKey(session);
  CheckOneCommandAtATime(session);
  CheckFixedFolderRefusals(session);
  CheckWorkFolderThatIsAFile(session);
  CheckCreateWorkFolder(session);
  CheckFixedFolderScripts(session);
  CheckRefusedExtensions(session);
  CheckClearInWorkFolder(session);
  CheckLockedScript(session);
  CheckChosenFolder(session, cRoot);
  CheckPickedFolders(session, cRoot);
  CheckChosenFolderFailures(session, cRoot);
  CheckLongPickedPath(session, cRoot);
  CheckCancelledPick(session);
  CheckDrops(session, cRoot);
  CheckExitButton(session);
  CheckCloseMessages(report, exe, cRoot);
  CheckExitDuringNotice(report, console, exe, cRoot);
  CheckPathArguments(report, console, exe, cRoot);
}

void RunNoDrivePhase(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                     const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {cRoot});
  CheckWithoutDriveD(session, cRoot);
  CheckExitButton(session);
}

void RunFullDiskPhase(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                      const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {L"D:\\", cRoot});
  CheckFullDisk(session);
  CheckExitButton(session);
}

void RunBrokenPhase(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                    const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {cRoot});
  CheckBrokenCommandInterpreter(session);
  CheckUnreadableWorkFolder(session);
  CheckExitButton(session);
}

void RunHighDpiPhase(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                     const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  Session session(report, console, *app, {cRoot});
  CheckFreshWindow(session, 144);
  CheckExitButton(session);
}

}  // namespace
}  // namespace tav::e2e

int wmain(int argc, wchar_t** argv) {
  using namespace tav::e2e;
  Report report;
  const std::wstring phase = argc > 1 ? argv[1] : L"";
  if (argc < 3 || (phase != L"main" && phase != L"nodrive" && phase != L"fulldisk" &&
                   phase != L"broken" && phase != L"hidpi")) {
    report.Fail(L"arguments",
                L"PHASE (main, nodrive, fulldisk, broken or hidpi) C_FOLDER [TAV_EXE]",
                std::to_wstring(argc - 1) + L" arguments");
    report.PrintTotals();
    return 2;
  }
  const std::wstring cRoot = argv[2];
  const std::wstring exe = argc > 3 ? argv[3] : BesideDriver(L"TAV.exe");

  // The stand-in must exist before TAV starts, so that TAV finds it as its console.
  ConsoleStandIn console;
  if (report.Check(console.ready(), L"console stand-in window of class ConsoleWindowClass",
                   L"a window", L"none")) {
    if (phase == L"main") {
      RunMainPhase(report, console, exe, cRoot);
    } else if (phase == L"fulldisk") {
      RunFullDiskPhase(report, console, exe, cRoot);
    } else if (phase == L"broken") {
      RunBrokenPhase(report, console, exe, cRoot);
    } else if (phase == L"nodrive") {
      RunNoDrivePhase(report, console, exe, cRoot);
    } else {
      RunHighDpiPhase(report, console, exe, cRoot);
    }
  }
  report.PrintTotals();
  return report.failed() == 0 ? 0 : 1;
}
