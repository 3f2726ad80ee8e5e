// Shared pieces of the fuzz targets: the property check and whether text survives GBK.
#pragma once

#include <cstdio>
#include <cstdlib>
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

// True when text has GBK bytes that decode back to exactly text.
bool ExactlyInGbk(std::wstring_view text);

}  // namespace tav::fuzz
