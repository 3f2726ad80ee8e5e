// The character codes typed into the console: the console receives exactly the line, one whole
// character per code. Also the code of any byte string of one or two bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console_codes.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "gbk.h"
#include "workflow/rules.h"

namespace tav::fuzz {
namespace {

void CheckLine(const std::wstring& line) {
  const auto codes = ConsoleCodes(line, [](std::wstring_view text) { return test::ToGbk(text); });
  // A line has codes exactly when GBK holds all of it, and then the console receives the line.
  FUZZ_CHECK(codes.has_value() == ExactlyInGbk(line));
  if (codes) CheckConsoleReceives(*codes, line);
}

void CheckCodeOfBytes(std::string_view bytes) {
  const auto code = CharCodeFromAnsi(bytes);
  // A trail byte is never zero in a double-byte code page; such a pair cannot be read back.
  if (bytes.size() == 1 || (bytes.size() == 2 && bytes[1] != '\0')) {
    FUZZ_CHECK(code && BytesReadFrom(*code) == bytes);
  } else if (bytes.size() != 2) {
    FUZZ_CHECK(!code);
  }
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (const auto& field : tav::fuzz::Fields(data, size)) tav::fuzz::CheckLine(field);
  const std::string_view raw(reinterpret_cast<const char*>(data), size);
  for (std::size_t length = 0; length <= 3 && length <= size; ++length) {
    tav::fuzz::CheckCodeOfBytes(raw.substr(size - length));
  }
  return 0;
}
