// Real code page 936 (GBK) conversion, the ANSI code page of a Simplified Chinese Windows: the
// system's own on Windows, iconv elsewhere. The tests use it to check script bytes and console
// codes against true values.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tav::test {

// The GBK bytes of text, or nullopt when some character has no exact GBK representation.
std::optional<std::string> ToGbk(std::wstring_view text);

// The text that GBK bytes stand for, or nullopt when they are no valid GBK.
std::optional<std::wstring> FromGbk(std::string_view bytes);

// The UTF-8 bytes of text, the ANSI code page of a Windows set to use UTF-8 for it; nullopt for
// a lone surrogate.
std::optional<std::string> ToUtf8(std::wstring_view text);

// The text that a window with a Unicode window procedure, such as a console's, receives for ANSI
// WM_CHAR messages with these wParam values in a GBK system. The system reads each one as it
// does: bits 0-7 as the first byte and, when they are not zero, bits 8-15 as the second byte of
// a GBK sequence; the window gets the first character that those bytes decode to (U+FFFD when
// none) and the upper 16 bits are dropped.
std::wstring ReceivedText(const std::vector<std::int32_t>& wParams);

}  // namespace tav::test
