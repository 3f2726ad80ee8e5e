#include "tests/e2e/support.h"

#include <cstdio>
#include <cwchar>

namespace tav::e2e {

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                      nullptr, nullptr);
  return out;
}

namespace {

SRWLOCK outputLock = SRWLOCK_INIT;

void Write(std::wstring_view text) {
  const std::string line = Utf8(text) + "\n";
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

std::wstring Totals(int passed, int failed) {
  return std::to_wstring(passed) + L" passed, " + std::to_wstring(failed) + L" failed";
}

std::wstring Hex(unsigned value, int digits) {
  wchar_t buffer[16];
  swprintf(buffer, 16, L"%0*X", digits, value);
  return buffer;
}

}  // namespace

std::wstring Quote(std::wstring_view text) {
  std::wstring out = L"\"";
  for (size_t i = 0; i < text.size(); ++i) {
    const wchar_t ch = text[i];
    const bool surrogate = ch >= 0xD800 && ch <= 0xDFFF;
    if (ch < 0x20 || ch == 0x7F || surrogate) {
      out += L"\\x{" + Hex(ch, 2) + L"}";
    } else {
      out += ch;
    }
  }
  return out + L"\"";
}

std::wstring QuoteBytes(std::string_view bytes) {
  std::wstring out = L"\"";
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7F && byte != '\\') {
      out += static_cast<wchar_t>(byte);
    } else {
      out += L"\\x" + Hex(byte, 2);
    }
  }
  return out + L"\"";
}

void Report::Line(std::wstring_view text) {
  AcquireSRWLockExclusive(&outputLock);
  Write(text);
  ReleaseSRWLockExclusive(&outputLock);
}

void Report::Pass(std::wstring_view what) {
  ++passed_;
  Line(L"ok - " + std::wstring(what));
}

void Report::Fail(std::wstring_view what, std::wstring_view expected, std::wstring_view got) {
  ++failed_;
  Line(L"FAIL - " + std::wstring(what) + L" expected " + std::wstring(expected) + L" got " +
       std::wstring(got));
}

bool Report::Check(bool condition, std::wstring_view what, std::wstring_view expected,
                   std::wstring_view got) {
  if (condition) {
    Pass(what);
  } else {
    Fail(what, expected, got);
  }
  return condition;
}

bool Report::Same(std::wstring_view what, std::wstring_view expected, std::wstring_view got) {
  return Check(expected == got, what, Quote(expected), Quote(got));
}

void Report::Note(std::wstring_view text) { Line(L"# " + std::wstring(text)); }

void Report::PrintTotals() const { Line(Totals(passed_, failed_)); }

void Report::FailAndEnd(std::wstring_view what, std::wstring_view expected, std::wstring_view got) {
  Fail(what, expected, got);
  // Held to the end, so that the totals stay the last line.
  AcquireSRWLockExclusive(&outputLock);
  Write(Totals(passed_, failed_));
  TerminateProcess(GetCurrentProcess(), 1);
  for (;;) Sleep(INFINITE);
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return done();
    Sleep(20);
  }
}

std::wstring Within(DWORD timeoutMs) {
  return L"within " + std::to_wstring(timeoutMs / 1000) + L" s";
}

std::wstring BesideDriver(const std::wstring& name) {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  folder.resize(folder.rfind(L'\\') + 1);
  return folder + name;
}

std::wstring ErrorDescription(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n' ||
                           text.back() == L'.' || text.back() == L'。')) {
    text.pop_back();
  }
  return text;
}

}  // namespace tav::e2e
