#include "gbk.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>
#else
#include <iconv.h>

#include <memory>
#include <stdexcept>
#include <type_traits>
#endif

namespace tav::test {

#ifdef _WIN32

std::optional<std::string> ToGbk(std::wstring_view text) {
  constexpr UINT kGbk = 936;
  if (text.empty()) return std::string();
  if (text.size() > static_cast<std::size_t>(INT_MAX) / 4) return std::nullopt;
  const int length = static_cast<int>(text.size());
  // No best-fit substitutes: a character without its own GBK code is reported as not exact.
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text.data(), length, nullptr, 0,
                                       nullptr, &usedDefault);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string output(static_cast<std::size_t>(size), '\0');
  if (WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, text.data(), length, output.data(), size,
                          nullptr, &usedDefault) != size ||
      usedDefault) {
    return std::nullopt;
  }
  return output;
}

namespace {

// The characters that GBK bytes decode to, up to the first byte that is no valid GBK.
std::wstring FromGbkPrefix(std::string_view bytes) {
  constexpr UINT kGbk = 936;
  std::wstring text;
  for (std::size_t length = bytes.size(); length > 0 && text.empty(); --length) {
    const int n = static_cast<int>(length);
    const int size = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), n, nullptr, 0);
    if (size <= 0) continue;
    text.resize(static_cast<std::size_t>(size));
    MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), n, text.data(), size);
  }
  return text;
}

}  // namespace

#else

namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenWideToGbk() {
  iconv_t cd = iconv_open("GBK", "WCHAR_T");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no GBK converter");
  return IconvHandle(cd);
}

}  // namespace

std::optional<std::string> ToGbk(std::wstring_view text) {
  const IconvHandle cd = OpenWideToGbk();
  std::wstring input(text);
  std::string output(text.size() * 4 + 4, '\0');
  char* in = reinterpret_cast<char*>(input.data());
  std::size_t inLeft = input.size() * sizeof(wchar_t);
  char* out = output.data();
  std::size_t outLeft = output.size();
  // Without //TRANSLIT iconv stops with EILSEQ at a character GBK lacks; a positive result counts
  // irreversible conversions, which are not exact either.
  if (iconv(cd.get(), &in, &inLeft, &out, &outLeft) != 0) return std::nullopt;
  output.resize(output.size() - outLeft);
  return output;
}

namespace {

IconvHandle OpenGbkToWide() {
  iconv_t cd = iconv_open("WCHAR_T", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no GBK converter");
  return IconvHandle(cd);
}

// The characters that GBK bytes decode to, up to the first byte that is no valid GBK.
std::wstring FromGbkPrefix(std::string_view bytes) {
  const IconvHandle cd = OpenGbkToWide();
  std::string input(bytes);
  std::wstring output(bytes.size() + 1, L'\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* out = reinterpret_cast<char*>(output.data());
  std::size_t outLeft = output.size() * sizeof(wchar_t);
  iconv(cd.get(), &in, &inLeft, &out, &outLeft);  // stops at an invalid or incomplete sequence
  output.resize(output.size() - outLeft / sizeof(wchar_t));
  return output;
}

}  // namespace

#endif

std::wstring ReceivedText(const std::vector<std::int32_t>& wParams) {
  std::wstring text;
  for (const std::int32_t wParam : wParams) {
    const auto bits = static_cast<std::uint32_t>(wParam);
    std::string bytes(1, static_cast<char>(bits & 0xFF));
    if ((bits & 0xFF00) != 0) bytes += static_cast<char>((bits >> 8) & 0xFF);
    const std::wstring decoded = FromGbkPrefix(bytes);
    text += decoded.empty() ? L'\uFFFD' : decoded.front();
  }
  return text;
}

}  // namespace tav::test
