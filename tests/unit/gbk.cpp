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

namespace {

constexpr UINT kGbk = 936;

}  // namespace

std::optional<std::string> ToGbk(std::wstring_view text) {
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

std::optional<std::wstring> FromGbk(std::string_view bytes) {
  if (bytes.empty()) return std::wstring();
  if (bytes.size() > static_cast<std::size_t>(INT_MAX)) return std::nullopt;
  const int length = static_cast<int>(bytes.size());
  const int size =
      MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), length, text.data(), size) !=
      size) {
    return std::nullopt;
  }
  return text;
}

#else

namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv has no GBK converter");
  return IconvHandle(cd);
}

// Converts all of input with cd, or nullopt on any invalid or incomplete input. Without
// //TRANSLIT iconv stops with EILSEQ at a character the target lacks; a positive result counts
// irreversible conversions, which are not exact either.
std::optional<std::string> Convert(iconv_t cd, std::string input, std::size_t outputSize) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string output(outputSize, '\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* out = output.data();
  std::size_t outLeft = output.size();
  if (iconv(cd, &in, &inLeft, &out, &outLeft) != 0) return std::nullopt;
  output.resize(output.size() - outLeft);
  return output;
}

}  // namespace

// Each converter is opened once: opening one for every call would dominate a fuzzer's run time.
std::optional<std::string> ToGbk(std::wstring_view text) {
  static const IconvHandle cd = OpenConverter("GBK", "WCHAR_T");
  const std::string wide(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
  return Convert(cd.get(), wide, text.size() * 4 + 4);
}

std::optional<std::wstring> FromGbk(std::string_view bytes) {
  static const IconvHandle cd = OpenConverter("WCHAR_T", "GBK");
  const auto wide = Convert(cd.get(), std::string(bytes), (bytes.size() + 1) * sizeof(wchar_t));
  if (!wide) return std::nullopt;
  return std::wstring(reinterpret_cast<const wchar_t*>(wide->data()),
                      wide->size() / sizeof(wchar_t));
}

#endif

namespace {

// The characters that the longest valid GBK start of bytes decodes to; empty when none.
std::wstring FromGbkPrefix(std::string_view bytes) {
  for (std::size_t length = bytes.size(); length > 0; --length) {
    const auto text = FromGbk(bytes.substr(0, length));
    if (text && !text->empty()) return *text;
  }
  return {};
}

}  // namespace

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
