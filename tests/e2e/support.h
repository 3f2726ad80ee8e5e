// Small pieces every part of the end-to-end driver uses: result reporting, text conversion,
// bounded waiting and an owning handle.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <string_view>

namespace tav::e2e {

std::string Utf8(std::wstring_view text);

// Text in double quotes, control characters and characters outside the BMP written as \x{...},
// so that a report line shows exactly what was compared.
std::wstring Quote(std::wstring_view text);

// Bytes in double quotes, printable ASCII as is and every other byte as \xNN.
std::wstring QuoteBytes(std::string_view bytes);

// Prints one line per check ("ok - ..." / "FAIL - ... expected ... got ...") and counts them.
class Report {
 public:
  void Pass(std::wstring_view what);
  void Fail(std::wstring_view what, std::wstring_view expected, std::wstring_view got);
  // Passes or fails on condition; expected and got are printed only on failure.
  bool Check(bool condition, std::wstring_view what, std::wstring_view expected,
             std::wstring_view got);
  bool Same(std::wstring_view what, std::wstring_view expected, std::wstring_view got);
  // A line that is no check, for facts worth knowing when reading a run.
  void Note(std::wstring_view text);
  void PrintTotals() const;
  // Fails, prints the totals and ends the driver at once, whatever its other threads are doing.
  [[noreturn]] void FailAndEnd(std::wstring_view what, std::wstring_view expected,
                               std::wstring_view got);
  int failed() const { return failed_; }

 private:
  // Lines may come from the watchdog's thread too; each is written whole.
  static void Line(std::wstring_view text);
  int passed_ = 0;
  int failed_ = 0;
};

// Calls done every 20 ms until it returns true or timeoutMs has passed; returns its last answer.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The longest the driver waits for something TAV shows or does: a window, a notice, the Open
// dialog, a label, the focus, a console line, an answer to a message, the end of the process.
// Each such wait ends as soon as the thing is there or the process has ended; a TAV that stops
// answering ends the run within the watchdog's 10 s. So only a program that answers yet never
// shows it waits this long, and a busy machine, which only makes TAV slow, never reaches it.
// Waits that check that nothing happens are short and fixed instead (see session.h).
inline constexpr DWORD kShowWaitMs = 60000;

// The bound for a report line: "none within 60 s".
std::wstring Within(DWORD timeoutMs);

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle)
      : handle_(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void Reset() {
    if (handle_) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

// The full path of the file name in the driver's own folder.
std::wstring BesideDriver(const std::wstring& name);

// The system's description of an error number, without trailing blanks, line breaks or a
// closing period.
std::wstring ErrorDescription(DWORD error);

}  // namespace tav::e2e
