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

std::optional<std::string> ToUtf8(std::wstring_view text) {
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto point = static_cast<std::uint32_t>(text[i]);
    // Where wchar_t is UTF-16 (Windows), a character beyond the BMP comes as a surrogate pair.
    if (point >= 0xD800 && point <= 0xDBFF && i + 1 < text.size()) {
      const auto low = static_cast<std::uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        point = 0x10000 + ((point - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return std::nullopt;
    const auto put = [&](std::uint32_t b) { bytes += static_cast<char>(b); };
    if (point < 0x80) {
      put(point);
    } else if (point < 0x800) {
      put(0xC0 | point >> 6);
      put(0x80 | (point & 0x3F));
    } else if (point < 0x10000) {
      put(0xE0 | point >> 12);
      put(0x80 | (point >> 6 & 0x3F));
      put(0x80 | (point & 0x3F));
    } else {
      put(0xF0 | point >> 18);
      put(0x80 | (point >> 12 & 0x3F));
      put(0x80 | (point >> 6 & 0x3F));
      put(0x80 | (point & 0x3F));
    }
  }
  return bytes;
}

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
