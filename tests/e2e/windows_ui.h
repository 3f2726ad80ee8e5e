// Driving windows of another process the way a user does: texts, clicks, notices, the Open dialog.
// Anything that may open a modal box is posted, never sent, so the driver cannot block on it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/probe.h"

namespace tav::e2e {

std::wstring ClassOf(HWND window);
// The window's text through WM_GETTEXT (works across processes, for edit controls as well).
std::wstring TextOf(HWND window);
bool SetTextOf(HWND window, const std::wstring& text);
// Returns once the window's thread has handled a message, that is, once it is back in a message
// loop: its own, or the one of a modal box it shows.
bool Sync(HWND window);

std::vector<HWND> TopLevelWindowsOf(DWORD processId);

// The window that has the keyboard focus on the thread of window; nullptr when none has it.
HWND FocusOf(HWND window);
// A key press as the keyboard delivers it, posted to target: WM_KEYDOWN, WM_CHAR with typed,
// WM_KEYUP.
void PostKeyPress(HWND target, UINT key, wchar_t typed);
// A left click in the middle of the control, posted: WM_LBUTTONDOWN, then WM_LBUTTONUP.
void PostClick(HWND control);

std::wstring NameOf(NoticeIcon icon);

// A message box shown by the program under test.
struct Notice {
  HWND box = nullptr;
  std::wstring title;
  std::wstring text;
  bool hasOk = false;
  bool hasCancel = false;
  NoticeIcon icon = NoticeIcon::None;
};

// The first visible message box of the process, or nothing after timeoutMs. Its icon is read
// through the probe inside the process; without one it is left Unknown.
std::optional<Notice> WaitForNotice(DWORD processId, DWORD timeoutMs, Probe* probe);
// Presses button (IDOK or IDCANCEL) of the box and waits until the box is gone.
bool AnswerNotice(HWND box, int button);

inline constexpr wchar_t kOpenDialogTitle[] = L"请打开需要修改的文件";
HWND WaitForOpenDialog(DWORD processId, DWORD timeoutMs);
// Types path into the dialog's file-name box and presses Open; true once the dialog is gone.
// Any message box the dialog raises on the way is answered and its text appended to remarks.
bool ChooseInOpenDialog(HWND dialog, const std::wstring& path, std::wstring& remarks);
bool CancelOpenDialog(HWND dialog);

// How the driver's own thread sees other windows. A DPI-unaware or system-aware thread is handed
// the sizes, places and metrics of a per-monitor aware window scaled to its own DPI; only a
// per-monitor aware one reads them as the window has them.
enum class DpiAwareness { Unaware, SystemAware, PerMonitor, Unknown };
DpiAwareness DriverDpiAwareness();
// What a thread of that awareness reads, for a report line.
std::wstring NameOf(DpiAwareness awareness);
// The window's DPI as the system reports it to the driver; 0 where GetDpiForWindow is missing.
unsigned DpiOf(HWND window);
// The system's message font for a window at dpi; nothing where SystemParametersInfoForDpi is
// missing or fails.
std::optional<LOGFONTW> MessageFontAt(unsigned dpi);

}  // namespace tav::e2e
