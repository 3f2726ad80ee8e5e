#include "console_codes.h"

#include "fuzz_support.h"
#include "gbk.h"

namespace tav::fuzz {

std::string BytesReadFrom(std::int32_t code) {
  // Nothing above bit 15 belongs to the character.
  FUZZ_CHECK(code >= 0 && code <= 0xFFFF);
  std::string bytes(1, static_cast<char>(code & 0xFF));
  if ((code & 0xFF00) != 0) bytes += static_cast<char>(code >> 8);
  return bytes;
}

void CheckConsoleReceives(const std::vector<std::int32_t>& codes, const std::wstring& line) {
  FUZZ_CHECK(test::ReceivedText(codes) == line);
  // A lead byte alone would be half a character, a byte more another one.
  for (const std::int32_t code : codes) {
    const auto character = test::FromGbk(BytesReadFrom(code));
    FUZZ_CHECK(character && character->size() == 1);
  }
}

}  // namespace tav::fuzz
