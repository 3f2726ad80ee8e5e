// System error texts fetched without arguments keep their insert sequences ("%1 不是有效的 Win32
// 应用程序。"). This fills them in, so that no notice shows a raw "%1". Plain text handling, no
// system calls: it builds and is tested everywhere.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tav {

// text with %1 replaced by subject and every other insert (%2 to %99, with an optional !format!
// after the number) dropped. The escapes %% %. and %! become the character they stand for,
// %n %r and %t a blank, and %0 ends the text. Any other "%" stays as it is.
inline std::wstring FillMessageInserts(std::wstring_view text, std::wstring_view subject) {
  const auto isDigit = [](wchar_t ch) { return ch >= L'0' && ch <= L'9'; };
  std::wstring filled;
  std::size_t i = 0;
  while (i < text.size()) {
    const wchar_t ch = text[i];
    if (ch != L'%' || i + 1 == text.size()) {
      filled += ch;
      ++i;
      continue;
    }
    const wchar_t next = text[i + 1];
    if (next == L'0') break;
    if (isDigit(next)) {
      int number = next - L'0';
      std::size_t end = i + 2;
      if (end < text.size() && isDigit(text[end])) number = number * 10 + (text[end++] - L'0');
      if (end < text.size() && text[end] == L'!') {
        const std::size_t close = text.find(L'!', end + 1);
        if (close != std::wstring_view::npos) end = close + 1;
      }
      if (number == 1) filled += subject;
      i = end;
      continue;
    }
    if (next == L'%' || next == L'.' || next == L'!') {
      filled += next;
    } else if (next == L'n' || next == L'r' || next == L't') {
      filled += L' ';
    } else {
      filled += ch;
      filled += next;
    }
    i += 2;
  }
  return filled;
}

}  // namespace tav
