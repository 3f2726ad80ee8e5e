// Real code page 936 (GBK) conversion, the ANSI code page of a Simplified Chinese Windows: the
// system's own on Windows, iconv elsewhere. The tests use it to check script bytes and console
// codes against true values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tav::test {

// The GBK bytes of text, or nullopt when some character has no exact GBK representation.
std::optional<std::string> ToGbk(std::wstring_view text);

}  // namespace tav::test
