#include "console_codes.h"

#include "fuzz_support.h"

namespace tav::fuzz {

namespace {

// The bytes that one WM_CHAR code stands for.
std::string BytesOfCode(std::int32_t code) {
  if (code >= 0 && code <= 0xFF) return std::string(1, static_cast<char>(code));
  FUZZ_CHECK(code < 0);
  FUZZ_CHECK((static_cast<std::uint32_t>(code) & 0xFFFF0000u) == 0xFFFF0000u);
  const auto word = static_cast<std::uint32_t>(code) & 0xFFFFu;
  return {static_cast<char>(word >> 8), static_cast<char>(word & 0xFF)};
}

}  // namespace

void CheckCodesDecodeTo(const std::vector<std::int32_t>& codes, const std::wstring& line) {
  FUZZ_CHECK(codes.size() == line.size());
  std::string all;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    const std::string bytes = BytesOfCode(codes[i]);
    // A lead byte alone would be half a character: every code must be a whole one.
    FUZZ_CHECK(FromGbk(bytes) == std::wstring(1, line[i]));
    all += bytes;
  }
  FUZZ_CHECK(FromGbk(all) == line);
}

}  // namespace tav::fuzz
