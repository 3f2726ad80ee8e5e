// Entry point: creates the main window and runs the event loop until it is closed.
//
// The controls are plain buttons, edit boxes and labels. The manifest's dependency on version 6
// of the common controls gives them the visual styles: the system loads that library itself
// when the first control is created, so the program neither imports nor initialises it.
#include <windows.h>

#include "platform/win32_platform.h"
#include "ui/main_window.h"
#include "workflow/rules.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything can load a DLL: the program is often started from a Downloads folder, where
  // a DLL named like one that Windows loads into it may lie beside it.
  tav::LimitDllSearchToTrustedFolders();
  // D: is often a card reader or an optical drive: without a disk, looking for D:\duzaz must
  // fail quietly and lead to the program's own notice, not to a system "no disk" box.
  ::SetErrorMode(::SetErrorMode(SEM_FAILCRITICALERRORS) | SEM_FAILCRITICALERRORS);
  tav::ui::MainWindow window(instance);
  // Read from the command line itself: the shell's parser would load its library at start-up.
  if (!window.Create(showCommand, tav::PathArgument(::GetCommandLineW()))) return 1;
  return window.RunMessageLoop();
}
