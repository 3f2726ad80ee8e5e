#include "ui/dpi.h"

#include "ui/user32_function.h"

namespace tav::ui {

DpiSupport::DpiSupport()
    : getDpiForWindow_(LoadUser32Function<GetDpiForWindowFn>("GetDpiForWindow")),
      adjustWindowRectExForDpi_(
          LoadUser32Function<AdjustWindowRectExForDpiFn>("AdjustWindowRectExForDpi")),
      systemParametersInfoForDpi_(
          LoadUser32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi")) {}

UINT DpiSupport::SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSX) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

UINT DpiSupport::WindowDpi(HWND window) const {
  if (getDpiForWindow_ != nullptr) {
    const UINT dpi = getDpiForWindow_(window);
    if (dpi != 0) return dpi;
  }
  return SystemDpi();
}

RECT DpiSupport::WindowRectForClient(int width, int height, DWORD style, DWORD exStyle,
                                     bool hasMenu, UINT dpi) const {
  RECT rect{0, 0, width, height};
  if (adjustWindowRectExForDpi_ == nullptr ||
      !adjustWindowRectExForDpi_(&rect, style, hasMenu, exStyle, dpi)) {
    rect = RECT{0, 0, width, height};
    ::AdjustWindowRectEx(&rect, style, hasMenu, exStyle);
  }
  return rect;
}

LOGFONTW DpiSupport::MessageFont(UINT dpi) const {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (systemParametersInfoForDpi_ != nullptr &&
      systemParametersInfoForDpi_(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return metrics.lfMessageFont;
  }
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    // The metrics are those of the system DPI; scale them to the window's.
    LOGFONTW font = metrics.lfMessageFont;
    font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
    return font;
  }
  LOGFONTW font{};
  ::GetObjectW(::GetStockObject(DEFAULT_GUI_FONT), sizeof font, &font);
  font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(SystemDpi()));
  return font;
}

}  // namespace tav::ui
