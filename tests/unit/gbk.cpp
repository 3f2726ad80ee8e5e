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

#endif

}  // namespace tav::test
