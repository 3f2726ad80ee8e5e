// Turns a fuzzer's bytes into the wide strings that the workflow sees on Windows.
//
// The first byte picks the reading: even means the rest is UTF-8, odd means it is raw 16-bit
// units (little-endian), lone surrogates included. Either way the result holds UTF-16 units, as a
// Windows std::wstring would, even where wchar_t is wider. The rest is split into fields: at each
// byte 0xFF in UTF-8 (never part of valid UTF-8) and at each unit 0xFFFF in 16-bit reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tav::fuzz {

inline void AppendUtf16(std::wstring& text, std::uint32_t codePoint) {
  if (codePoint > 0x10FFFF) codePoint = 0xFFFD;
  if (codePoint < 0x10000) {
    text += static_cast<wchar_t>(codePoint);
    return;
  }
  codePoint -= 0x10000;
  text += static_cast<wchar_t>(0xD800 + (codePoint >> 10));
  text += static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF));
}

// Length of the UTF-8 sequence that starts with lead, or 0 when lead cannot start one.
inline std::size_t SequenceLength(std::uint8_t lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 0;
}

// Lenient UTF-8: a malformed byte becomes U+FFFD; encoded surrogates are kept as they are, so
// this reading can produce lone surrogates too.
inline std::wstring DecodeUtf8(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  std::size_t i = 0;
  while (i < size) {
    const std::uint8_t lead = data[i];
    const std::size_t length = SequenceLength(lead);
    if (length == 0 || i + length > size) {
      AppendUtf16(text, 0xFFFD);
      ++i;
      continue;
    }
    std::uint32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
    bool wellFormed = true;
    for (std::size_t k = 1; k < length; ++k) {
      if ((data[i + k] & 0xC0) != 0x80) wellFormed = false;
      codePoint = (codePoint << 6) | (data[i + k] & 0x3F);
    }
    if (!wellFormed) {
      AppendUtf16(text, 0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(text, codePoint);
    i += length;
  }
  return text;
}

inline std::vector<std::wstring> Fields(const std::uint8_t* data, std::size_t size) {
  std::vector<std::wstring> fields(1);
  if (size == 0) return fields;
  const bool raw16 = (data[0] & 1) != 0;
  const std::uint8_t* rest = data + 1;
  const std::size_t restSize = size - 1;
  if (raw16) {
    for (std::size_t i = 0; i + 1 < restSize; i += 2) {
      const auto unit = static_cast<wchar_t>(rest[i] | (rest[i + 1] << 8));
      if (unit == 0xFFFF) {
        fields.emplace_back();
      } else {
        fields.back() += unit;
      }
    }
    return fields;
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i <= restSize; ++i) {
    if (i == restSize || rest[i] == 0xFF) {
      fields.back() = DecodeUtf8(rest + start, i - start);
      if (i < restSize) fields.emplace_back();
      start = i + 1;
    }
  }
  return fields;
}

// The field at index, or the empty string when the input has fewer fields.
inline std::wstring FieldAt(const std::vector<std::wstring>& fields, std::size_t index) {
  return index < fields.size() ? fields[index] : std::wstring();
}

}  // namespace tav::fuzz
