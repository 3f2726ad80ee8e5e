// End-to-end driver: starts the real TAV.exe and uses it the way a user does.
//
//   tav_e2e.exe PHASE C_FOLDER [TAV_EXE]
//
// PHASE "main" expects drive D: to be an empty folder, "nodrive" expects no drive D:, "fulldisk"
// expects D: to be an empty drive of about a megabyte that it may fill, "broken" expects
// D:\duzaz to be an entry that cannot be listed (a link that loops) and cmd.exe to be no
// program, "hidpi" a screen of 144 DPI, where it checks the window as it looks at start;
// "utf8" the ANSI code page UTF-8 (a Unix locale that Wine gives no other code page), where it
// checks the typed line; "pictures" takes the README's pictures with scripts/pictures, in C_FOLDER
// at 96 DPI. C_FOLDER is an empty folder on C: for the chosen-folder stories. TAV_EXE defaults to
// TAV.exe beside the driver. Prints one line per check and "N passed, M failed" last; exits 1 when
// a check failed.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/console_standin.h"
#include "tests/e2e/scenarios.h"
#include "tests/e2e/session.h"
#include "tests/e2e/watchdog.h"

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
  CheckPlantedDlls(session, exe, cRoot);
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
  CheckScriptsRun(session, cRoot);
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

// The phases after the main one: each starts TAV once, plays its stories in one session and
// ends with 退出. Only the full-disk phase has a D: whose every change is watched.
struct ShortPhase {
  const wchar_t* name;
  bool watchesDriveD;
  void (*stories)(Session& session, const std::wstring& cRoot);
};

constexpr ShortPhase kShortPhases[] = {
    {L"nodrive", false,
     [](Session& session, const std::wstring& cRoot) { CheckWithoutDriveD(session, cRoot); }},
    {L"fulldisk", true, [](Session& session, const std::wstring&) { CheckFullDisk(session); }},
    {L"broken", false,
     [](Session& session, const std::wstring&) {
       CheckBrokenCommandInterpreter(session);
       CheckUnreadableWorkFolder(session);
     }},
    {L"hidpi", false,
     [](Session& session, const std::wstring&) { CheckFreshWindow(session, 144); }},
    {L"utf8", false, CheckPickedFoldersInUtf8},
    {L"pictures", false, TakePictures},
};

const ShortPhase* FindShortPhase(const std::wstring& name) {
  for (const ShortPhase& phase : kShortPhases) {
    if (name == phase.name) return &phase;
  }
  return nullptr;
}

void RunShortPhase(const ShortPhase& phase, Report& report, ConsoleStandIn& console,
                   const std::wstring& exe, const std::wstring& cRoot) {
  auto app = TavApp::Launch(exe, cRoot, report);
  if (!app) return;
  std::vector<std::wstring> roots{cRoot};
  if (phase.watchesDriveD) roots.insert(roots.begin(), L"D:\\");
  Session session(report, console, *app, std::move(roots));
  phase.stories(session, cRoot);
  CheckExitButton(session);
}

}  // namespace
}  // namespace tav::e2e

int wmain(int argc, wchar_t** argv) {
  using namespace tav::e2e;
  if (RecordArgumentsAsExplorer(argc, argv)) return 0;
  Report report;
  const Watchdog watchdog(report);
  const std::wstring phase = argc > 1 ? argv[1] : L"";
  const ShortPhase* shortPhase = FindShortPhase(phase);
  if (argc < 3 || (phase != L"main" && shortPhase == nullptr)) {
    report.Fail(
        L"arguments",
        L"PHASE (main, nodrive, fulldisk, broken, hidpi, utf8 or pictures) C_FOLDER [TAV_EXE]",
        std::to_wstring(argc - 1) + L" arguments");
    report.PrintTotals();
    return 2;
  }
  const std::wstring cRoot = argv[2];
  const std::wstring exe = argc > 3 ? argv[3] : BesideDriver(L"TAV.exe");

  // The stand-ins must exist before TAV starts, so that TAV finds them as consoles.
  ConsoleStandIn console;
  if (report.Check(console.ready(),
                   L"console stand-ins of class ConsoleWindowClass, a hidden one first",
                   L"a hidden and a visible window, the hidden one first", L"not so")) {
    if (shortPhase != nullptr) {
      RunShortPhase(*shortPhase, report, console, exe, cRoot);
    } else {
      RunMainPhase(report, console, exe, cRoot);
    }
  }
  report.PrintTotals();
  return report.failed() == 0 ? 0 : 1;
}
