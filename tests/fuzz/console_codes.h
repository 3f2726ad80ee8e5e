// Checks the WM_CHAR codes computed for a console line against GBK itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tav::fuzz {

// Checks that codes hold one code per character of line, that each one-byte code lies in 0..255
// and each two-byte code is negative with its upper 16 bits set, and that the codes decode back
// to the line, character by character. Aborts on the first violation.
void CheckCodesDecodeTo(const std::vector<std::int32_t>& codes, const std::wstring& line);

}  // namespace tav::fuzz
