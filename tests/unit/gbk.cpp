#include "gbk.h"

#include <iconv.h>

#include <memory>
#include <stdexcept>
#include <type_traits>

namespace tav::test {

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

}  // namespace tav::test
