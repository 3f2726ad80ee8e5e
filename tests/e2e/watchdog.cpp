#include "tests/e2e/watchdog.h"

#include <cstdlib>

namespace tav::e2e {

namespace {

// The one watchdog of the run, reached by the static functions.
Watchdog* current = nullptr;

constexpr DWORD kPatrolMs = 1000;
constexpr UINT kPingTimeoutMs = 1000;

class Locked {
 public:
  explicit Locked(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Locked() { ReleaseSRWLockExclusive(&lock_); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;

 private:
  SRWLOCK& lock_;
};

std::FILE* OpenStepLog() {
  const wchar_t* path = _wgetenv(L"TAV_E2E_STEP_LOG");
  return path && *path ? _wfopen(path, L"ab") : nullptr;
}

}  // namespace

Watchdog::Watchdog(Report& report)
    : report_(report), stepLog_(OpenStepLog()), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
  current = this;
  thread_ = UniqueHandle(CreateThread(nullptr, 0, &Watchdog::ThreadMain, this, 0, nullptr));
}

Watchdog::~Watchdog() {
  SetEvent(stop_.get());
  if (thread_) WaitForSingleObject(thread_.get(), kStallMs);
  current = nullptr;
  if (stepLog_) std::fclose(stepLog_);
}

DWORD WINAPI Watchdog::ThreadMain(void* self) {
  static_cast<Watchdog*>(self)->Patrol();
  return 0;
}

void Watchdog::Patrol() {
  std::wstring why;
  while (WaitForSingleObject(stop_.get(), kPatrolMs) == WAIT_TIMEOUT) {
    if (!Stalled(why)) continue;
    std::wstring step;
    {
      const Locked locked(lock_);
      step = step_;
    }
    // With TAV answering nothing, every later step would only fail more slowly: the run ends
    // here, its totals counting this failure.
    report_.FailAndEnd(L"TAV stopped answering in the step " + Quote(step),
                       L"an answer within " + std::to_wstring(kStallMs / 1000) + L" s", why);
  }
}

bool Watchdog::Stalled(std::wstring& why) {
  const Locked locked(lock_);
  const ULONGLONG now = GetTickCount64();
  if (!window_ || !IsWindow(window_) || WaitForSingleObject(process_, 0) != WAIT_TIMEOUT) {
    lastAnswer_ = now;
    return false;
  }
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeoutMs, &result)) {
    lastAnswer_ = GetTickCount64();
    return false;
  }
  if (now - lastAnswer_ < kStallMs) return false;
  why =
      L"its window answered no message for " + std::to_wstring((now - lastAnswer_) / 1000) + L" s";
  return true;
}

void Watchdog::BeginStep(std::wstring_view step) {
  if (!current) return;
  const Locked locked(current->lock_);
  current->step_ = step;
  if (current->stepLog_) {
    const std::string line = Utf8(step) + "\n";
    std::fwrite(line.data(), 1, line.size(), current->stepLog_);
    std::fflush(current->stepLog_);
  }
}

void Watchdog::Watch(HWND window, HANDLE process) {
  if (!current) return;
  const Locked locked(current->lock_);
  current->window_ = window;
  current->process_ = process;
  current->lastAnswer_ = GetTickCount64();
}

void Watchdog::Unwatch(HWND window) {
  if (!current) return;
  const Locked locked(current->lock_);
  if (current->window_ != window) return;
  current->window_ = nullptr;
  current->process_ = nullptr;
}

}  // namespace tav::e2e
