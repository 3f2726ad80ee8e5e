// A top-level window of the console's class "ConsoleWindowClass", on a thread of its own, that
// records every WM_CHAR it receives. TAV types its folder-opening command into the first window of
// that class it finds, so with this window in place the driver sees exactly what was typed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/e2e/support.h"

namespace tav::e2e {

// One received WM_CHAR: the low 16 bits of the wParam that the sender posted (a byte, or
// lead * 256 + trail for a double-byte character) and the message's lParam.
struct TypedChar {
  std::uint16_t code = 0;
  LPARAM lParam = 0;
};

class ConsoleStandIn {
 public:
  ConsoleStandIn();
  ~ConsoleStandIn();
  ConsoleStandIn(const ConsoleStandIn&) = delete;
  ConsoleStandIn& operator=(const ConsoleStandIn&) = delete;

  bool ready() const { return window_ != nullptr; }

  // Forgets everything received so far.
  void Clear();
  // Waits until every message posted to the window before this call has been handled.
  bool Drain();
  std::vector<TypedChar> Received() const;

  // The codes a correct sender posts for line: one per character in code page 936, then 13.
  // Empty when a character has no exact representation there.
  static std::vector<std::uint16_t> ExpectedCodes(const std::wstring& line);

 private:
  static DWORD WINAPI ThreadMain(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Record(wchar_t ch, LPARAM lParam);

  HWND window_ = nullptr;
  UniqueHandle started_;
  UniqueHandle thread_;
  mutable CRITICAL_SECTION lock_;
  std::vector<TypedChar> received_;
  LONG drained_ = 0;
  LONG nextToken_ = 0;
};

// Code page 936 code of one character: the byte, or lead * 256 + trail; -1 without an exact one.
int GbkCode(wchar_t ch);

}  // namespace tav::e2e
