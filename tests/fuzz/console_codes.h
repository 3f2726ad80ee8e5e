// Checks the WM_CHAR codes computed for a console line against what the console receives.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav::fuzz {

// The bytes that the system reads from a WM_CHAR code when it converts the message for a Unicode
// window: bits 0-7 first, then bits 8-15 when they are not zero. Aborts when bits above 15 are set.
std::string BytesReadFrom(std::int32_t code);

// Checks that a console receives exactly line for codes, decoded as the system does, and that
// each code holds one whole character and nothing more. Aborts on the first violation.
void CheckConsoleReceives(const std::vector<std::int32_t>& codes, const std::wstring& line);

}  // namespace tav::fuzz
