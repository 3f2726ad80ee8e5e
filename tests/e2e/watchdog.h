// Ends the phase when TAV stops answering: a stall then fails at once, naming the step it came
// in, instead of leaving the driver waiting until the script's time-out. TAV counts as not
// answering when its window has answered no message for kStallMs.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "tests/e2e/support.h"

namespace tav::e2e {

inline constexpr DWORD kStallMs = 10000;

class Watchdog {
 public:
  // One per driver run; the static functions below act on it, and do nothing without one.
  explicit Watchdog(Report& report);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

  // A step of a story begins. It is named in the failure, and written to the file that the
  // environment variable TAV_E2E_STEP_LOG names, for run-phase.sh to show if the driver itself
  // stops.
  static void BeginStep(std::wstring_view step);
  // The program whose window must keep answering; Unwatch when it is about to end.
  static void Watch(HWND window, HANDLE process);
  static void Unwatch(HWND window);

 private:
  static DWORD WINAPI ThreadMain(void* self);
  void Patrol();
  // Checks once; true when TAV has stopped answering, with the reason in why.
  bool Stalled(std::wstring& why);

  Report& report_;
  SRWLOCK lock_ = SRWLOCK_INIT;
  std::wstring step_ = L"starting";
  HWND window_ = nullptr;
  HANDLE process_ = nullptr;
  ULONGLONG lastAnswer_ = 0;
  std::FILE* stepLog_ = nullptr;
  UniqueHandle stop_;
  UniqueHandle thread_;
};

}  // namespace tav::e2e
