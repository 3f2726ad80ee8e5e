#include "tests/e2e/console_standin.h"

#include <cstdint>

namespace tav::e2e {

namespace {

constexpr wchar_t kConsoleClass[] = L"ConsoleWindowClass";
constexpr UINT kDrainMarker = WM_APP + 1;

}  // namespace

ConsoleStandIn::ConsoleStandIn() {
  InitializeCriticalSection(&lock_);
  started_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  thread_ = UniqueHandle(CreateThread(nullptr, 0, &ConsoleStandIn::ThreadMain, this, 0, nullptr));
  if (thread_) WaitForSingleObject(started_.get(), kShowWaitMs);
}

ConsoleStandIn::~ConsoleStandIn() {
  if (hidden_) PostMessageW(hidden_, WM_CLOSE, 0, 0);
  if (visible_) PostMessageW(visible_, WM_CLOSE, 0, 0);
  if (thread_) WaitForSingleObject(thread_.get(), 5000);
  DeleteCriticalSection(&lock_);
}

bool ConsoleStandIn::ready() const {
  return visible_ && hidden_ && FindWindowW(kConsoleClass, nullptr) == hidden_;
}

DWORD WINAPI ConsoleStandIn::ThreadMain(void* self) {
  auto* standIn = static_cast<ConsoleStandIn*>(self);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &ConsoleStandIn::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kConsoleClass;
  RegisterClassW(&windowClass);
  // Visible, yet off the screen and never active: it covers none of the notices whose icons the
  // driver reads from the screen, and it takes the focus from nobody.
  HWND visible =
      CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kConsoleClass, L"e2e console", WS_POPUP,
                      -400, -400, 200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  HWND hidden = CreateWindowExW(0, kConsoleClass, L"e2e hidden console", WS_OVERLAPPEDWINDOW, 0, 0,
                                200, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
  for (HWND window : {visible, hidden}) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(standIn));
  }
  if (visible) ShowWindow(visible, SW_SHOWNOACTIVATE);
  if (hidden) {
    SetWindowPos(hidden, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }
  standIn->visible_ = visible;
  standIn->hidden_ = hidden;
  SetEvent(standIn->started_.get());
  if (!visible || !hidden) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

LRESULT CALLBACK ConsoleStandIn::WindowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  auto* standIn = reinterpret_cast<ConsoleStandIn*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CHAR:
      // A Unicode window receives the character itself, whatever code page the sender used.
      if (standIn) standIn->Record(window, static_cast<wchar_t>(wParam), lParam);
      return 0;
    case kDrainMarker:
      if (standIn) InterlockedExchange(&standIn->drained_, static_cast<LONG>(wParam));
      return 0;
    case WM_DESTROY:
      if (standIn && window == standIn->visible_) PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ConsoleStandIn::Record(HWND window, wchar_t ch, LPARAM lParam) {
  EnterCriticalSection(&lock_);
  ReceivedText& received = window == hidden_ ? receivedByHidden_ : received_;
  received.text += ch;
  const auto bits = static_cast<std::uint32_t>(lParam);
  const bool oneKeyPress = (bits & 0xFFFFu) == 1 && (bits & 0x80000000u) == 0;
  received.notOneKeyPress = received.notOneKeyPress || !oneKeyPress;
  LeaveCriticalSection(&lock_);
}

void ConsoleStandIn::Clear() {
  EnterCriticalSection(&lock_);
  received_ = {};
  receivedByHidden_ = {};
  LeaveCriticalSection(&lock_);
}

bool ConsoleStandIn::Drain() {
  // Both windows belong to one thread, whose queue hands out posted messages in order.
  const LONG token = ++nextToken_;
  if (!visible_ || !PostMessageW(visible_, kDrainMarker, static_cast<WPARAM>(token), 0)) {
    return false;
  }
  return WaitUntil([&] { return InterlockedCompareExchange(&drained_, 0, 0) == token; },
                   kShowWaitMs);
}

ReceivedText ConsoleStandIn::Received() const {
  EnterCriticalSection(&lock_);
  ReceivedText copy = received_;
  LeaveCriticalSection(&lock_);
  return copy;
}

ReceivedText ConsoleStandIn::ReceivedByHidden() const {
  EnterCriticalSection(&lock_);
  ReceivedText copy = receivedByHidden_;
  LeaveCriticalSection(&lock_);
  return copy;
}

}  // namespace tav::e2e
