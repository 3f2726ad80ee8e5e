// Entry point: creates the main window and runs the event loop until it is closed.
#include <windows.h>

#include <commctrl.h>

#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  INITCOMMONCONTROLSEX controls{};
  controls.dwSize = sizeof controls;
  controls.dwICC = ICC_STANDARD_CLASSES;
  ::InitCommonControlsEx(&controls);

  tav::ui::MainWindow window(instance);
  if (!window.Create(showCommand)) return 1;
  return window.RunMessageLoop();
}
