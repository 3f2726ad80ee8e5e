// Checks the WM_CHAR codes computed for a console line against GBK itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav::fuzz {

// The bytes that the system reads from a WM_CHAR code when it converts the message for a Unicode
// window: bits 0-7 first, then bits 8-15 when they are not zero. Aborts when bits above 15 are set.
std::string BytesReadFrom(std::int32_t code);

// Checks that codes hold one code per character of line, and that the bytes the system reads from
// each decode to that character, and all of them together to the line. Aborts on the first
// violation.
void CheckCodesDecodeTo(const std::vector<std::int32_t>& codes, const std::wstring& line);

}  // namespace tav::fuzz
