// Shared pieces of the fuzz targets: the property check, an independent statement of which
// characters an extension may not carry into the rename script, and the way back from GBK.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

// A property that failed is a finding: report it and abort, which libFuzzer records as a crash
// together with the input.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (false)

namespace tav::fuzz {

// Characters that must never reach the script through an extension: control characters, the
// blank, and those the command interpreter reads as separators, redirections, escapes, variable
// references or the end of a group. Written out here on its own, not taken from the program.
inline bool IsRefusedInScript(wchar_t ch) {
  if (ch < 0x20 || (ch >= 0x7F && ch <= 0x9F)) return true;
  return std::wstring_view(L" \\/:\"<>|&^%,;=()").find(ch) != std::wstring_view::npos;
}

// The text that GBK bytes stand for, or nullopt when they are no valid GBK.
std::optional<std::wstring> FromGbk(std::string_view bytes);

// True when text has GBK bytes that decode back to exactly text.
bool ExactlyInGbk(std::wstring_view text);

}  // namespace tav::fuzz
