// The window's DPI and what depends on it. Windows 7 lacks the per-window DPI functions, so
// they are looked up at run time and the system DPI stands in for them there.
#pragma once

#include <windows.h>

namespace tav::ui {

class DpiSupport {
 public:
  DpiSupport();

  // The DPI the window is drawn at.
  UINT WindowDpi(HWND window) const;

  // The system's DPI: that of the primary monitor, where a new window normally opens.
  static UINT SystemDpi();

  // The window rectangle (at 0, 0) whose client area is width x height at dpi.
  RECT WindowRectForClient(int width, int height, DWORD style, DWORD exStyle, bool hasMenu,
                           UINT dpi) const;

  // The system's message font, sized for dpi.
  LOGFONTW MessageFont(UINT dpi) const;

 private:
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);

  GetDpiForWindowFn getDpiForWindow_ = nullptr;
  AdjustWindowRectExForDpiFn adjustWindowRectExForDpi_ = nullptr;
  SystemParametersInfoForDpiFn systemParametersInfoForDpi_ = nullptr;
};

}  // namespace tav::ui
