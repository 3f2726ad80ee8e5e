// The user stories the driver plays through the real program, grouped by the folder they work in.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "tests/e2e/session.h"

namespace tav::e2e {

inline constexpr wchar_t kWorkFolder[] = L"D:\\duzaz";
inline constexpr wchar_t kWorkScript[] = L"D:\\duzaz\\tav.bat";
inline constexpr wchar_t kFixedLabel[] = L"当前目录 D:\\duzaz";

// The bytes of text in code page 936 (the script's encoding).
std::string Gbk(const std::wstring& text);
// The bytes of the script that renames *.old to *.new in its own folder, when *.old finds only
// files of that extension there.
std::string PlainScript(const std::wstring& oldExt, const std::wstring& newExt);

// Version record of the executable.
void CheckVersionRecord(Report& report, const std::wstring& exe);
// DLLs planted beside exe and in its current folder cRoot are not loaded by their bare names; one
// in a folder that code inside TAV adds for its own DLLs is.
void CheckPlantedDlls(Session& session, const std::wstring& exe, const std::wstring& cRoot);

// The window right after start, at the screen's DPI: the focus, the caption, the status label,
// each control's class, text, place and font, and the window order a screen reader reads.
void CheckFreshWindow(Session& session, unsigned dpi);
// The menu's captions, and the command each item runs; D: must be empty.
void CheckMenu(Session& session);
void CheckHelpAndAbout(Session& session);
// The Enter key on 开始 and in a text box; D:\duzaz must be missing.
void CheckEnterKey(Session& session);

// 清除 in folder, which holds the files in deleted and gets a folder tav.d: the files go, the
// folder stays and the boxes are emptied; a second 清除, without the folder, then finds nothing
// and keeps the boxes.
void CheckClearTwice(Session& session, const std::wstring& folder,
                     std::vector<std::wstring> deleted);

// Fixed-folder mode: D: is an empty drive when these start.
void CheckFixedFolderRefusals(Session& session);
void CheckWorkFolderThatIsAFile(Session& session);
void CheckCreateWorkFolder(Session& session);
void CheckFixedFolderScripts(Session& session);
void CheckRefusedExtensions(Session& session);
void CheckClearInWorkFolder(Session& session);
void CheckLockedScript(Session& session);
// The script run by cmd.exe renames exactly the files of the old extension in its own folder,
// whatever folder cmd starts in, in fixed-folder mode and in a picked folder under cRoot; D:\duzaz
// must exist.
void CheckScriptsRun(Session& session, const std::wstring& cRoot);
// D: is a small empty drive that this fills up.
void CheckFullDisk(Session& session);

// Chosen-folder mode: cRoot is a fresh folder on C:.
void CheckChosenFolder(Session& session, const std::wstring& cRoot);
void CheckPickedFolders(Session& session, const std::wstring& cRoot);
// The same where Windows uses UTF-8 as its ANSI code page: only an ASCII line is typed.
void CheckPickedFoldersInUtf8(Session& session, const std::wstring& cRoot);
// A file picked in folder with 目录, then 开始 and 清除: the box, the label, the notice, the script
// and what the console receives (typed, or nothing where typed is empty).
struct PickedFolder {
  const wchar_t* what;
  std::wstring folder;
  std::wstring file;
  std::wstring ext;    // Text1 after the pick
  std::wstring typed;  // the console line; empty when nothing may be typed
};
void PlayPickedFolders(Session& session, std::span<const PickedFolder> cases);
void CheckChosenFolderFailures(Session& session, const std::wstring& cRoot);
void CheckLongPickedPath(Session& session, const std::wstring& cRoot);
void CheckCancelledPick(Session& session);
// Drops on the window, from fixed-folder mode on; D:\duzaz must exist.
void CheckDrops(Session& session, const std::wstring& cRoot);
// Starts of the program with a path on its command line; D:\duzaz must exist.
void CheckPathArguments(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                        const std::wstring& cRoot);

// D:\duzaz cannot be listed: the failure is reported, not taken for "nothing there".
void CheckUnreadableWorkFolder(Session& session);
// cmd.exe in the system folder is no program: the start-up notice names it, with no raw "%1".
void CheckBrokenCommandInterpreter(Session& session);

// Drive D: missing.
void CheckWithoutDriveD(Session& session, const std::wstring& cRoot);

// The README's pictures, taken by scripts/pictures: the window as it starts, and at 96 DPI also
// after picking a file in cRoot, the notice of 开始 there and the Help text.
void TakePictures(Session& session, const std::wstring& cRoot);

// Commands delivered while a notice or the Open dialog is open are dropped.
void CheckOneCommandAtATime(Session& session);

// Ending the program: the Exit button, WM_CLOSE and the close box.
void CheckExitButton(Session& session);
// 退出 while the notice of 开始 is open: the program ends and types nothing. Leaves D:\duzaz.
void CheckExitDuringNotice(Report& report, ConsoleStandIn& console, const std::wstring& exe,
                           const std::wstring& cRoot);
void CheckCloseMessages(Report& report, const std::wstring& exe, const std::wstring& workingDir);

}  // namespace tav::e2e
