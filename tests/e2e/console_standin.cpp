#include "tests/e2e/console_standin.h"

namespace tav::e2e {

namespace {

constexpr wchar_t kConsoleClass[] = L"ConsoleWindowClass";
constexpr UINT kDrainMarker = WM_APP + 1;
constexpr UINT kGbk = 936;

}  // namespace

int GbkCode(wchar_t ch) {
  char bytes[4] = {};
  BOOL usedDefault = FALSE;
  const int n =
      WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, &ch, 1, bytes, 4, nullptr, &usedDefault);
  if (usedDefault || n < 1 || n > 2) return -1;
  const auto byte = [&](int i) { return static_cast<unsigned char>(bytes[i]); };
  return n == 1 ? byte(0) : byte(0) * 256 + byte(1);
}

ConsoleStandIn::ConsoleStandIn() {
  InitializeCriticalSection(&lock_);
  started_ = UniqueHandle(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  thread_ = UniqueHandle(CreateThread(nullptr, 0, &ConsoleStandIn::ThreadMain, this, 0, nullptr));
  if (thread_) WaitForSingleObject(started_.get(), 5000);
}

ConsoleStandIn::~ConsoleStandIn() {
  if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
  if (thread_) WaitForSingleObject(thread_.get(), 5000);
  DeleteCriticalSection(&lock_);
}

DWORD WINAPI ConsoleStandIn::ThreadMain(void* self) {
  auto* standIn = static_cast<ConsoleStandIn*>(self);
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = &ConsoleStandIn::WindowProc;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.lpszClassName = kConsoleClass;
  RegisterClassW(&windowClass);
  // Never shown: FindWindowA finds hidden top-level windows too, and a hidden window cannot cover
  // the notices whose icons the driver reads from the screen.
  HWND window = CreateWindowExW(0, kConsoleClass, L"e2e console", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                                100, nullptr, nullptr, windowClass.hInstance, nullptr);
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(standIn));
  standIn->window_ = window;
  SetEvent(standIn->started_.get());
  if (!window) return 1;
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
      if (standIn) standIn->Record(static_cast<wchar_t>(wParam), lParam);
      return 0;
    case kDrainMarker:
      if (standIn) InterlockedExchange(&standIn->drained_, static_cast<LONG>(wParam));
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}

void ConsoleStandIn::Record(wchar_t ch, LPARAM lParam) {
  // Wine turns a posted double-byte WM_CHAR into one Unicode character before delivery, reading
  // the low byte of wParam as the first byte of the code page 936 sequence and the high byte as
  // the second; the upper 16 bits are dropped. Converting the character back and putting the two
  // bytes where they came from gives the low 16 bits that were posted.
  const int code = GbkCode(ch);
  std::uint16_t posted = 0xFFFF;
  if (code >= 0 && code < 0x100) posted = static_cast<std::uint16_t>(code);
  if (code >= 0x100) posted = static_cast<std::uint16_t>(((code & 0xFF) << 8) | (code >> 8));
  EnterCriticalSection(&lock_);
  received_.push_back({posted, lParam});
  LeaveCriticalSection(&lock_);
}

void ConsoleStandIn::Clear() {
  EnterCriticalSection(&lock_);
  received_.clear();
  LeaveCriticalSection(&lock_);
}

bool ConsoleStandIn::Drain() {
  const LONG token = ++nextToken_;
  if (!window_ || !PostMessageW(window_, kDrainMarker, static_cast<WPARAM>(token), 0)) return false;
  return WaitUntil([&] { return InterlockedCompareExchange(&drained_, 0, 0) == token; }, 3000);
}

std::vector<TypedChar> ConsoleStandIn::Received() const {
  EnterCriticalSection(&lock_);
  std::vector<TypedChar> copy = received_;
  LeaveCriticalSection(&lock_);
  return copy;
}

std::vector<std::uint16_t> ConsoleStandIn::ExpectedCodes(const std::wstring& line) {
  std::vector<std::uint16_t> codes;
  for (const wchar_t ch : line) {
    const int code = GbkCode(ch);
    if (code < 0) return {};
    codes.push_back(static_cast<std::uint16_t>(code));
  }
  codes.push_back(13);
  return codes;
}

}  // namespace tav::e2e
