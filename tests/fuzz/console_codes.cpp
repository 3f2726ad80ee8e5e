#include "console_codes.h"

#include "fuzz_support.h"

namespace tav::fuzz {

std::string BytesReadFrom(std::int32_t code) {
  // Nothing above bit 15 belongs to the character.
  FUZZ_CHECK(code >= 0 && code <= 0xFFFF);
  std::string bytes(1, static_cast<char>(code & 0xFF));
  if ((code & 0xFF00) != 0) bytes += static_cast<char>(code >> 8);
  return bytes;
}

void CheckCodesDecodeTo(const std::vector<std::int32_t>& codes, const std::wstring& line) {
  FUZZ_CHECK(codes.size() == line.size());
  std::string all;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string bytes = BytesReadFrom(codes[i]);
    // A lead byte alone would be half a character: every code must be a whole one.
    FUZZ_CHECK(FromGbk(bytes) == std::wstring(1, line[i]));
    all += bytes;
  }
  FUZZ_CHECK(FromGbk(all) == line);
}

}  // namespace tav::fuzz
