// Two top-level windows of the console's class "ConsoleWindowClass", on a thread of their own,
// that record every character they receive: a visible one, off-screen, where TAV must type its
// folder-opening command, and a hidden one above it in the window order, as the console of a
// program started hidden would be, which must receive nothing.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/e2e/support.h"

namespace tav::e2e {

// The characters a stand-in received, as its Unicode window procedure got them from WM_CHAR,
// and whether any message said other than one key press: repeat count 1 in the low word of lParam
// and bit 31 clear (key down). The Windows console host merges equal key events that wait unread
// by adding their repeat counts, and reads a count of 0 as one character (microsoft/terminal,
// src/host/inputBuffer.cpp: _CoalesceEvent, InputBuffer::Read): with any other lParam the doubled
// letters of a line typed in one go could arrive as one.
struct ReceivedText {
  std::wstring text;
  bool notOneKeyPress = false;
};

class ConsoleStandIn {
 public:
  ConsoleStandIn();
  ~ConsoleStandIn();
  ConsoleStandIn(const ConsoleStandIn&) = delete;
  ConsoleStandIn& operator=(const ConsoleStandIn&) = delete;

  // Both windows exist, and the hidden one comes first in the window order, so that a program
  // typing into the first console window it finds would type into the hidden one.
  bool ready() const;

  // Forgets everything received so far.
  void Clear();
  // Waits until every message posted to either window before this call has been handled.
  bool Drain();
  ReceivedText Received() const;
  ReceivedText ReceivedByHidden() const;

 private:
  static DWORD WINAPI ThreadMain(void* self);
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void Record(HWND window, wchar_t ch, LPARAM lParam);

  HWND visible_ = nullptr;
  HWND hidden_ = nullptr;
  UniqueHandle started_;
  UniqueHandle thread_;
  mutable CRITICAL_SECTION lock_;
  ReceivedText received_;
  ReceivedText receivedByHidden_;
  LONG drained_ = 0;
  LONG nextToken_ = 0;
};

}  // namespace tav::e2e
