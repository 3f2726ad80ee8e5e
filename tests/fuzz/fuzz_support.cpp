#include "fuzz_support.h"

#include <iconv.h>

#include <memory>
#include <type_traits>

#include "gbk.h"

namespace tav::fuzz {

namespace {

struct IconvCloser {
  void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

// Converts GBK bytes to wchar_t units; nullopt on any invalid or incomplete input. The one
// converter is kept for the whole run: opening it for every call would dominate the run time.
std::optional<std::string> GbkToWide(std::string input) {
  static const IconvHandle cd = [] {
    iconv_t opened = iconv_open("WCHAR_T", "GBK");
    if (opened == reinterpret_cast<iconv_t>(-1)) std::abort();
    return IconvHandle(opened);
  }();
  iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  std::string output(input.size() * 4 + 8, '\0');
  char* in = input.data();
  std::size_t inLeft = input.size();
  char* out = output.data();
  std::size_t outLeft = output.size();
  if (iconv(cd.get(), &in, &inLeft, &out, &outLeft) != 0) return std::nullopt;
  output.resize(output.size() - outLeft);
  return output;
}

std::wstring FromWideBytes(const std::string& bytes) {
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()),
                      bytes.size() / sizeof(wchar_t));
}

}  // namespace

std::optional<std::wstring> FromGbk(std::string_view bytes) {
  const auto wide = GbkToWide(std::string(bytes));
  if (!wide) return std::nullopt;
  return FromWideBytes(*wide);
}

bool ExactlyInGbk(std::wstring_view text) {
  const auto bytes = test::ToGbk(text);
  return bytes && FromGbk(*bytes) == std::wstring(text);
}

}  // namespace tav::fuzz
