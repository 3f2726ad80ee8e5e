#include "tests/e2e/windows_ui.h"

#include "tests/e2e/support.h"
#include "ui/user32_function.h"

namespace tav::e2e {

namespace {

// A click that a button has not acted on by then is sent once more as the command it stands for.
constexpr DWORD kClickTakenMs = 2000;
constexpr int kNoticeTextId = 0xFFFF;
constexpr int kFileNameCombo = 0x47C;  // cmb13 of the common Open dialog
constexpr int kFileNameEdit = 0x480;   // edt1 of the common Open dialog

struct WindowsOfProcess {
  DWORD processId;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowsOfProcess*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) search->found.push_back(window);
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM param) {
  reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
  return TRUE;
}

std::vector<HWND> DescendantsOf(HWND window) {
  std::vector<HWND> found;
  EnumChildWindows(window, &CollectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Compares only the low 16 bits: dialog templates store control IDs as 16-bit words.
HWND FindDescendant(HWND window, int id, const wchar_t* className) {
  for (HWND child : DescendantsOf(window)) {
    if ((GetDlgCtrlID(child) & 0xFFFF) != (id & 0xFFFF)) continue;
    if (className && _wcsicmp(ClassOf(child).c_str(), className) != 0) continue;
    return child;
  }
  return nullptr;
}

bool IsDialog(HWND window) { return ClassOf(window) == L"#32770" && IsWindowVisible(window); }

bool IsNoticeBox(HWND window) {
  return IsDialog(window) && FindDescendant(window, kNoticeTextId, L"Static") != nullptr;
}

bool Press(HWND dialog, int id) {
  HWND button = FindDescendant(dialog, id, L"Button");
  if (button) PostMessageW(button, BM_CLICK, 0, 0);
  const auto gone = [&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); };
  if (WaitUntil(gone, kClickTakenMs)) return true;
  // The button did not react to the click: fall back to the command it would send.
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return WaitUntil(gone, kShowWaitMs);
}

// Whether the process has ended; a wait for one of its windows need not go on then.
class ProcessEnd {
 public:
  explicit ProcessEnd(DWORD processId) : process_(OpenProcess(SYNCHRONIZE, FALSE, processId)) {}
  bool reached() const {
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
  }

 private:
  UniqueHandle process_;
};

// The static control that shows the box's icon; nullptr when the box shows none.
HWND NoticeIconControl(HWND box) {
  for (HWND child : DescendantsOf(box)) {
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (ClassOf(child) == L"Static" && (style & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child)) {
      return child;
    }
  }
  return nullptr;
}

// An icon cannot be read across processes, and the box may lie partly off the screen, so the
// probe recognises it inside the program.
NoticeIcon ReadNoticeIcon(HWND box, Probe* probe) {
  const HWND control = NoticeIconControl(box);
  if (!control) return NoticeIcon::None;
  if (!probe) return NoticeIcon::Unknown;
  return probe->ReadIcon(control).value_or(NoticeIcon::Unknown);
}

}  // namespace

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  // A busy TAV answers late, not never: the watchdog ends the run if it stops answering at all.
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kShowWaitMs, &length)) {
    return L"<no answer>";
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_NORMAL, kShowWaitMs, &copied)) {
    return L"<no answer>";
  }
  text.resize(copied);
  return text;
}

bool SetTextOf(HWND window, const std::wstring& text) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                             SMTO_NORMAL, kShowWaitMs, &result) != 0;
}

bool Sync(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kShowWaitMs, &result) != 0;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId) {
  WindowsOfProcess search{processId, {}};
  EnumWindows(&CollectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void PostKeyPress(HWND target, UINT key, wchar_t typed) {
  // Repeat count 1 and the scan code; a release also sets the previous-state and transition bits.
  const LPARAM down = 1 | static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  const LPARAM up = down | static_cast<LPARAM>(0xC0000000u);
  PostMessageW(target, WM_KEYDOWN, key, down);
  PostMessageW(target, WM_CHAR, typed, down);
  PostMessageW(target, WM_KEYUP, key, up);
}

void PostClick(HWND control) {
  RECT area = {};
  GetClientRect(control, &area);
  const LPARAM middle = MAKELPARAM((area.right - area.left) / 2, (area.bottom - area.top) / 2);
  PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, middle);
  PostMessageW(control, WM_LBUTTONUP, 0, middle);
}

std::wstring NameOf(NoticeIcon icon) {
  switch (icon) {
    case NoticeIcon::None:
      return L"no icon";
    case NoticeIcon::Stop:
      return L"stop";
    case NoticeIcon::Information:
      return L"information";
    case NoticeIcon::Warning:
      return L"warning";
    case NoticeIcon::Question:
      return L"question";
    case NoticeIcon::Unknown:
      break;
  }
  return L"unrecognised icon";
}

std::optional<Notice> WaitForNotice(DWORD processId, DWORD timeoutMs, Probe* probe) {
  HWND box = nullptr;
  const ProcessEnd end(processId);
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindowsOf(processId)) {
          if (IsNoticeBox(window)) box = window;
        }
        return box != nullptr || end.reached();
      },
      timeoutMs);
  if (!box) return std::nullopt;
  Notice notice;
  notice.box = box;
  notice.title = TextOf(box);
  notice.text = TextOf(FindDescendant(box, kNoticeTextId, L"Static"));
  const auto visibleButton = [&](int id) {
    HWND button = FindDescendant(box, id, L"Button");
    return button && IsWindowVisible(button);
  };
  notice.hasOk = visibleButton(IDOK);
  notice.hasCancel = visibleButton(IDCANCEL);
  notice.icon = ReadNoticeIcon(box, probe);
  return notice;
}

bool AnswerNotice(HWND box, int button) { return Press(box, button); }

HWND WaitForOpenDialog(DWORD processId, DWORD timeoutMs) {
  HWND dialog = nullptr;
  const ProcessEnd end(processId);
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindowsOf(processId)) {
          if (IsDialog(window) && TextOf(window) == kOpenDialogTitle) dialog = window;
        }
        return dialog != nullptr || end.reached();
      },
      timeoutMs);
  return dialog;
}

bool ChooseInOpenDialog(HWND dialog, const std::wstring& path, std::wstring& remarks) {
  // The file-name box is an edit control, inside a combo box (cmb13) or on its own (edt1).
  HWND nameBox = FindDescendant(dialog, kFileNameCombo, L"Edit");
  if (!nameBox) nameBox = FindDescendant(dialog, kFileNameEdit, L"Edit");
  if (!nameBox) {
    for (HWND child : DescendantsOf(dialog)) {
      if (!nameBox && ClassOf(child) == L"Edit" && IsWindowVisible(child)) nameBox = child;
    }
  }
  if (!nameBox || !SetTextOf(nameBox, path)) {
    remarks += L"no file-name box found";
    return false;
  }
  HWND open = FindDescendant(dialog, IDOK, L"Button");
  if (open) PostMessageW(open, BM_CLICK, 0, 0);
  DWORD processId = 0;
  GetWindowThreadProcessId(dialog, &processId);
  bool gone = false;
  WaitUntil(
      [&] {
        gone = !IsWindow(dialog) || !IsWindowVisible(dialog);
        if (gone) return true;
        for (HWND window : TopLevelWindowsOf(processId)) {
          if (window != dialog && IsNoticeBox(window)) {
            remarks += L"the dialog said " +
                       Quote(TextOf(FindDescendant(window, kNoticeTextId, L"Static"))) + L"; ";
            Press(window, IDOK);
          }
        }
        return false;
      },
      kShowWaitMs);
  return gone;
}

bool CancelOpenDialog(HWND dialog) { return Press(dialog, IDCANCEL); }

// Looked up at run time: the per-monitor DPI functions came with Windows 10.
DpiAwareness DriverDpiAwareness() {
  using GetThreadContextFn = DPI_AWARENESS_CONTEXT(WINAPI*)();
  using AwarenessFromContextFn = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
  const auto threadContext =
      ui::LoadUser32Function<GetThreadContextFn>("GetThreadDpiAwarenessContext");
  const auto awarenessOf =
      ui::LoadUser32Function<AwarenessFromContextFn>("GetAwarenessFromDpiAwarenessContext");
  if (!threadContext || !awarenessOf) return DpiAwareness::Unknown;
  switch (awarenessOf(threadContext())) {
    case DPI_AWARENESS_UNAWARE:
      return DpiAwareness::Unaware;
    case DPI_AWARENESS_SYSTEM_AWARE:
      return DpiAwareness::SystemAware;
    case DPI_AWARENESS_PER_MONITOR_AWARE:
      return DpiAwareness::PerMonitor;
    default:
      return DpiAwareness::Unknown;
  }
}

std::wstring NameOf(DpiAwareness awareness) {
  switch (awareness) {
    case DpiAwareness::Unaware:
      return L"DPI-unaware: it reads other windows scaled to 96 DPI";
    case DpiAwareness::SystemAware:
      return L"system DPI aware: it reads windows of another DPI scaled to the system's";
    case DpiAwareness::PerMonitor:
      return L"per-monitor DPI aware: it reads other windows at their own DPI";
    case DpiAwareness::Unknown:
      break;
  }
  return L"of unknown DPI awareness (GetThreadDpiAwarenessContext missing or unknown answer)";
}

unsigned DpiOf(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  const auto getDpi = ui::LoadUser32Function<GetDpiForWindowFn>("GetDpiForWindow");
  return getDpi ? getDpi(window) : 0;
}

std::optional<LOGFONTW> MessageFontAt(unsigned dpi) {
  using SystemParametersInfoForDpiFn = BOOL(WINAPI*)(UINT, UINT, void*, UINT, UINT);
  const auto forDpi =
      ui::LoadUser32Function<SystemParametersInfoForDpiFn>("SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics = {};
  metrics.cbSize = sizeof metrics;
  if (!forDpi || !forDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    return std::nullopt;
  }
  return metrics.lfMessageFont;
}

}  // namespace tav::e2e
