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

// Converts bytes between two iconv encodings; nullopt on any invalid or irreversible input.
std::optional<std::string> Convert(const char* to, const char* from, std::string input) {
  const IconvHandle cd(iconv_open(to, from));
  if (cd.get() == reinterpret_cast<iconv_t>(-1)) std::abort();
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
  const auto wide = Convert("WCHAR_T", "GBK", std::string(bytes));
  if (!wide) return std::nullopt;
  return FromWideBytes(*wide);
}

bool ExactlyInGbk(std::wstring_view text) {
  const auto bytes = test::ToGbk(text);
  return bytes && FromGbk(*bytes) == std::wstring(text);
}

}  // namespace tav::fuzz
