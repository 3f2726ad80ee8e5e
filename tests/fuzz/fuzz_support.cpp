#include "fuzz_support.h"

#include "gbk.h"

namespace tav::fuzz {

bool ExactlyInGbk(std::wstring_view text) {
  const auto bytes = test::ToGbk(text);
  return bytes && test::FromGbk(*bytes) == std::wstring(text);
}

}  // namespace tav::fuzz
