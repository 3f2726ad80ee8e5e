#include "ui/main_window.h"

#include <algorithm>
#include <string_view>

#include "res/resource.h"
#include "ui/control_ids.h"
#include "ui/form_layout.h"

namespace tav::ui {

namespace {

constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
// Files can be dropped on the window; the library that reads a drop is loaded when one arrives.
constexpr DWORD kWindowExStyle = WS_EX_ACCEPTFILES;
constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE;

constexpr wchar_t kHelpTitle[] = L"帮助";
constexpr wchar_t kHelpText[] =
    L"方法1：单击菜单→目录→输入需要修改的扩展名→打开→同2，方法2：单击菜单→创建，创建工作目录，请将"
    L"需要修改的文件，放在工作目录中，将修改前的扩展名输入文本框中，将修改后的扩展名输入文本框中，"
    L"打开工作目录tav.bat并运行，就OK了！（注：*表示修改所有文件。）";
constexpr wchar_t kAboutTitle[] = L"关于";
constexpr wchar_t kAboutText[] =
    TAV_PRODUCT_NAME L"，为需要成批修改文件扩展名的用户编写，作者保留所有权利！";

enum class FontRole { Box, Caption, Status };

struct ControlDef {
  int id;
  const wchar_t* windowClass;
  const wchar_t* text;  // nullptr: the status text of the initial state
  DWORD style;
  DWORD exStyle;
  TwipRect place;
  FontRole font;
};

// In window order, which is the order of creation. A screen reader names a text box after the
// label just before it, so each label comes right before its box; the labels take no focus, so
// the tab key still visits Text1, Text2, 开始 and 退出 in this order. The buttons and the status
// label are read out by their own captions.
constexpr ControlDef kControls[] = {
    {ids::kLabel1, L"STATIC", L"修改前：", kChildStyle | SS_LEFT | SS_NOPREFIX, 0, kLabel1Place,
     FontRole::Caption},
    {ids::kText1, L"EDIT", L"", kChildStyle | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE, kText1Place, FontRole::Box},
    {ids::kLabel3, L"STATIC", L"修改后：", kChildStyle | SS_LEFT | SS_NOPREFIX, 0, kLabel3Place,
     FontRole::Caption},
    {ids::kText2, L"EDIT", L"", kChildStyle | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE, kText2Place, FontRole::Box},
    {ids::kCommand1, L"BUTTON", L"开始", kChildStyle | WS_TABSTOP | BS_PUSHBUTTON, 0,
     kCommand1Place, FontRole::Caption},
    {ids::kCommand2, L"BUTTON", L"退出", kChildStyle | WS_TABSTOP | BS_PUSHBUTTON, 0,
     kCommand2Place, FontRole::Caption},
    // A folder too long for the label keeps its start and its last component, with an
    // ellipsis in between. The label's last row lies under the buttons' top edges; clipped by
    // them, it never paints over their borders when its text changes.
    {ids::kLabel2, L"STATIC", nullptr,
     kChildStyle | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS | SS_NOPREFIX, 0,
     kLabel2Place, FontRole::Status},
};

win32::UniqueFont CreateSongTiFont(int centipoints, UINT dpi) {
  LOGFONTW font{};
  font.lfHeight = FontHeightPixels(centipoints, dpi);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  constexpr std::wstring_view face = L"宋体";
  std::copy(face.begin(), face.end(), font.lfFaceName);
  return win32::UniqueFont(::CreateFontIndirectW(&font));
}

HFONT FontFor(const ControlFonts& fonts, FontRole role) {
  switch (role) {
    case FontRole::Box:
      return fonts.box.get();
    case FontRole::Caption:
      return fonts.caption.get();
    case FontRole::Status:
      return fonts.status.get();
  }
  return nullptr;
}

HMENU BuildMenuBar() {
  const HMENU bar = ::CreateMenu();
  const HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING, ids::kMenuDirectory, L"目录");
  ::AppendMenuW(menu, MF_STRING, ids::kMenuCreate, L"创建");
  ::AppendMenuW(menu, MF_STRING, ids::kMenuClear, L"清除");
  ::AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), L"菜单");
  // Help and About have no items: clicking them on the bar runs them.
  ::AppendMenuW(bar, MF_STRING, ids::kMenuHelp, L"帮助");
  ::AppendMenuW(bar, MF_STRING, ids::kMenuAbout, L"关于");
  return bar;
}

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = ::GetWindowTextW(window, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(std::max(copied, 0)));
  return text;
}

}  // namespace

bool MainWindow::Create(int showCommand, const std::optional<std::wstring>& path) {
  if (!RegisterWindowClass()) return false;
  const HMENU menu = BuildMenuBar();
  // Sized for the system DPI, the window mostly needs no second sizing once its own DPI is known.
  const UINT dpi = DpiSupport::SystemDpi();
  const RECT frame = dpi_.WindowRectForClient(TwipsToPixels(kClientWidthTwips, dpi),
                                              TwipsToPixels(kClientHeightTwips, dpi), kWindowStyle,
                                              kWindowExStyle, true, dpi);
  const HWND window =
      ::CreateWindowExW(kWindowExStyle, ids::kWindowClass, ids::kWindowCaption, kWindowStyle,
                        CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                        frame.bottom - frame.top, nullptr, menu, instance_, this);
  if (window == nullptr) {
    ::DestroyMenu(menu);
    return false;
  }
  ::ShowWindow(window, showCommand);
  ::UpdateWindow(window);
  // The load step runs once the window is on the screen, so that starting the command
  // interpreter does not hold it back, and still before the message loop delivers any input.
  commands_.OnStartup();
  // A file dropped on the program's icon, sent with Send To or opened with the program comes as
  // its path on the command line; Exit may have ended the program during a start-up notice.
  if (path && !Closed()) RunExclusive([&] { commands_.OpenArgumentPath(*path); });
  ShowCurrentFolder();
  return true;
}

int MainWindow::RunMessageLoop() {
  MSG message{};
  for (;;) {
    const BOOL result = ::GetMessageW(&message, nullptr, 0, 0);
    if (result == 0) return static_cast<int>(message.wParam);
    if (result == -1) return 1;
    // Gives the window the keyboard handling of a dialog: the tab key moves between controls.
    if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
}

std::wstring MainWindow::Text1() const { return WindowText(Control(ids::kText1)); }

void MainWindow::SetText1(const std::wstring& text) {
  ::SetWindowTextW(Control(ids::kText1), text.c_str());
}

std::wstring MainWindow::Text2() const { return WindowText(Control(ids::kText2)); }

void MainWindow::SetText2(const std::wstring& text) {
  ::SetWindowTextW(Control(ids::kText2), text.c_str());
}

bool MainWindow::RegisterWindowClass() const {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance_;
  windowClass.hIcon = static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAV),
                                                      IMAGE_ICON, ::GetSystemMetrics(SM_CXICON),
                                                      ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  windowClass.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TAV), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = ::GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = ids::kWindowClass;
  return ::RegisterClassExW(&windowClass) != 0;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<MainWindow*>(reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->window_ = window;
    self->platform_.SetOwner(window);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      const UINT dpi = dpi_.WindowDpi(window_);
      CreateControls(dpi);
      SizeWindowToClient(dpi);
      lastFocus_ = Control(ids::kText1);
      return 0;
    }
    case WM_COMMAND:
      // Menu items and button clicks both come with notification code 0.
      if (HIWORD(wParam) == 0) {
        OnCommand(LOWORD(wParam));
        ShowCurrentFolder();
      }
      return 0;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      ShowCurrentFolder();
      return 0;
    case WM_CTLCOLORSTATIC: {
      // Labels are drawn on the window's own button-face background.
      const HDC dc = reinterpret_cast<HDC>(wParam);
      ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
      ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_DPICHANGED:
      ApplyDpi(LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_ACTIVATE:
      OnActivate(wParam);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY: {
      const HWND window = window_;
      ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      return ::DefWindowProcW(window, message, wParam, lParam);
    }
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

// Every pixel size of the window comes from the DPI of the monitor the window is on: the control
// places, the fonts and the size of the client area.
ControlFonts MainWindow::CreateFonts(UINT dpi) const {
  const LOGFONTW messageFont = dpi_.MessageFont(dpi);
  return ControlFonts{CreateSongTiFont(kBoxFontCentipoints, dpi),
                      CreateSongTiFont(kCaptionFontCentipoints, dpi),
                      win32::UniqueFont(::CreateFontIndirectW(&messageFont))};
}

// Each control is made in its final place with its font, as the window's DPI is known here.
void MainWindow::CreateControls(UINT dpi) {
  fonts_ = CreateFonts(dpi);
  statusCaption_ = StatusText(state_);
  for (const ControlDef& def : kControls) {
    const wchar_t* text = def.text != nullptr ? def.text : statusCaption_.c_str();
    const PixelRect place = ToPixels(def.place, dpi);
    const HWND control = ::CreateWindowExW(
        def.exStyle, def.windowClass, text, def.style, place.left, place.top, place.width,
        place.height, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance_,
        nullptr);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fonts_, def.font)), FALSE);
  }
}

// Runs whenever the window moves to a monitor of another scale; suggestedWindowRect is where
// Windows wants the window to go.
void MainWindow::ApplyDpi(UINT dpi, const RECT* suggestedWindowRect) {
  ControlFonts fonts = CreateFonts(dpi);
  for (const ControlDef& def : kControls) {
    const HWND control = Control(def.id);
    const PixelRect place = ToPixels(def.place, dpi);
    ::SetWindowPos(control, nullptr, place.left, place.top, place.width, place.height,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(fonts, def.font)), FALSE);
  }
  // The controls hold the new fonts now, so the old ones can be deleted.
  fonts_ = std::move(fonts);

  if (suggestedWindowRect != nullptr) {
    const RECT& rect = *suggestedWindowRect;
    ::SetWindowPos(window_, nullptr, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  SizeWindowToClient(dpi);
  ::InvalidateRect(window_, nullptr, TRUE);
}

void MainWindow::SizeWindowToClient(UINT dpi) {
  // A minimized or maximized window keeps the size the system gives it.
  if (::IsIconic(window_) || ::IsZoomed(window_)) return;
  const int width = TwipsToPixels(kClientWidthTwips, dpi);
  const int height = TwipsToPixels(kClientHeightTwips, dpi);
  RECT client{};
  ::GetClientRect(window_, &client);
  if (client.right == width && client.bottom == height) return;

  const RECT frame =
      dpi_.WindowRectForClient(width, height, kWindowStyle, kWindowExStyle, true, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  // The calculation assumes a menu bar of one line; a bar that wraps takes more height, which
  // the actual client area reveals. Two corrections settle it, as a narrower window only wraps
  // the bar once more.
  for (int attempt = 0; attempt < 2; ++attempt) {
    ::GetClientRect(window_, &client);
    if (client.right == width && client.bottom == height) return;
    RECT window{};
    ::GetWindowRect(window_, &window);
    ::SetWindowPos(window_, nullptr, 0, 0, window.right - window.left + width - client.right,
                   window.bottom - window.top + height - client.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void MainWindow::OnCommand(int id) {
  if (id == IDOK) {
    // The Enter key, as the dialog keyboard handling reports it: it presses the button that has
    // the focus, also when the focus came there by a mouse click rather than the tab key.
    id = ::GetDlgCtrlID(::GetFocus());
    if (id != ids::kCommand1 && id != ids::kCommand2) return;
  }
  if (id == ids::kCommand2) {
    // Exit: the program ends at once, without a question, also while a notice is open; the
    // notice goes with its window, and the command under it stops there.
    ::DestroyWindow(window_);
    return;
  }
  RunExclusive([this, id] { RunCommand(id); });
}

// A drop is taken as a pick of its first path with 目录, or a folder as the work folder; like any
// command it is ignored while another one runs.
void MainWindow::OnDropFiles(HDROP drop) {
  const std::wstring path = platform_.TakeFirstDroppedPath(drop);
  if (path.empty()) return;
  RunExclusive([&] { commands_.OpenDroppedPath(path); });
}

// Commands never nest: one that arrives while another still shows its notice or dialog is
// dropped.
void MainWindow::RunExclusive(const std::function<void()>& command) {
  if (commandRunning_) return;
  commandRunning_ = true;
  command();
  commandRunning_ = false;
}

void MainWindow::RunCommand(int id) {
  switch (id) {
    case ids::kCommand1:
      commands_.WriteRenameScript();
      break;
    case ids::kMenuDirectory:
      commands_.AnalyseChosenFile();
      break;
    case ids::kMenuCreate:
      commands_.CreateWorkFolder();
      break;
    case ids::kMenuClear:
      commands_.ClearScripts();
      break;
    case ids::kMenuHelp:
      ShowHelp();
      break;
    case ids::kMenuAbout:
      ShowAbout();
      break;
    default:
      break;
  }
}

// The control that had the focus gets it back when the window is activated again, for example
// after a notice closes.
void MainWindow::OnActivate(WPARAM wParam) {
  if (LOWORD(wParam) == WA_INACTIVE) {
    const HWND focus = ::GetFocus();
    if (focus != nullptr && ::IsChild(window_, focus)) lastFocus_ = focus;
  } else if (HIWORD(wParam) == 0 && lastFocus_ != nullptr) {
    ::SetFocus(lastFocus_);
  }
}

// Only the commands change the mode, so the label is brought up to date after each of them and
// needs no timer. It is written only when its text changes: an idle window does no work at all.
void MainWindow::ShowCurrentFolder() {
  if (window_ == nullptr) return;  // Exit has closed the window
  if (UpdateStatusText(state_, statusCaption_)) {
    ::SetWindowTextW(Control(ids::kLabel2), statusCaption_.c_str());
  }
}

void MainWindow::ShowHelp() { platform_.NoticeBox(kHelpText, kHelpTitle, Icon::Information); }

void MainWindow::ShowAbout() { platform_.NoticeBox(kAboutText, kAboutTitle, Icon::Information); }

}  // namespace tav::ui
