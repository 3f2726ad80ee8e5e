#include "workflow/rules.h"

namespace tav {

namespace {

constexpr wchar_t kPathSeparator = L'\\';
constexpr wchar_t kExtensionSeparator = L'.';

bool IsControl(wchar_t ch) { return ch < 0x20 || (ch >= 0x7F && ch <= 0x9F); }

bool EndsWithSentenceMark(std::wstring_view text) {
  return !text.empty() && (text.back() == L'。' || text.back() == L'！');
}

// A system description as the closing sentence of a notice: trailing blanks dropped, an ASCII
// period or exclamation mark made full-width, and "。" added when no sentence mark ends it.
// Empty when the description is blank.
std::wstring NoticeSentence(std::wstring_view description) {
  while (!description.empty() && (description.back() == L' ' || description.back() == L'\r' ||
                                  description.back() == L'\n')) {
    description.remove_suffix(1);
  }
  std::wstring sentence(description);
  if (sentence.empty() || EndsWithSentenceMark(sentence)) return sentence;
  if (sentence.back() == L'.') {
    sentence.back() = L'。';
  } else if (sentence.back() == L'!') {
    sentence.back() = L'！';
  } else {
    sentence += L'。';
  }
  return sentence;
}

}  // namespace

std::wstring FolderOfPickedName(std::wstring_view name) {
  const auto last = name.rfind(kPathSeparator);
  if (last == std::wstring_view::npos) return {};
  return std::wstring(name.substr(0, last));
}

std::optional<std::wstring> ExtensionOfPickedName(std::wstring_view name) {
  const auto last = name.rfind(kPathSeparator);
  const auto fileName = last == std::wstring_view::npos ? name : name.substr(last + 1);
  if (fileName.empty()) return std::nullopt;
  const auto dot = fileName.rfind(kExtensionSeparator);
  if (dot == std::wstring_view::npos) return std::wstring(fileName);
  return std::wstring(fileName.substr(dot + 1));
}

bool IsForbiddenInExtension(wchar_t ch) {
  return IsControl(ch) ||
         std::wstring_view(L" \\/:\"<>|&^%,;=").find(ch) != std::wstring_view::npos;
}

bool IsTooLongForExtension(std::wstring_view ext) { return ext.size() > kMaxExtensionLength; }

bool HasOnlyAllowedCharacters(std::wstring_view ext) {
  for (const wchar_t ch : ext) {
    if (IsForbiddenInExtension(ch)) return false;
  }
  return true;
}

std::wstring RenameLine(std::wstring_view oldExt, std::wstring_view newExt) {
  std::wstring line = L"ren *.";
  line += oldExt;
  line += L" *.";
  line += newExt;
  return line;
}

bool NeedsQuotesOnCommandLine(std::wstring_view folder) {
  return folder.find_first_of(L" &|<>^()%!,;='{}@#") != std::wstring_view::npos;
}

bool HasInterpreterExpansion(std::wstring_view line) {
  return line.find_first_of(L"%$`") != std::wstring_view::npos;
}

std::wstring ExplorerCommand(std::wstring_view folder) {
  std::wstring command = L"explorer ";
  if (NeedsQuotesOnCommandLine(folder)) {
    command += L'"';
    command += folder;
    command += L'"';
  } else {
    command += folder;
  }
  return command;
}

std::optional<std::int32_t> CharCodeFromAnsi(std::string_view bytes) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  if (bytes.size() == 1) return byteAt(0);
  if (bytes.size() == 2) {
    const auto word = static_cast<std::uint16_t>(byteAt(0) * 256 + byteAt(1));
    return static_cast<std::int16_t>(word);
  }
  return std::nullopt;
}

std::optional<std::vector<std::int32_t>> ConsoleCodes(std::wstring_view line,
                                                      const AnsiEncoder& toAnsi) {
  std::vector<std::int32_t> codes;
  codes.reserve(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    const auto bytes = toAnsi(line.substr(i, 1));
    if (!bytes) return std::nullopt;
    const auto code = CharCodeFromAnsi(*bytes);
    if (!code) return std::nullopt;
    codes.push_back(*code);
  }
  return codes;
}

std::wstring FailureNotice(std::wstring_view what, const OpStatus& status) {
  std::wstring text(what);
  text += L"。错误 ";
  text += std::to_wstring(status.error);
  const std::wstring sentence = NoticeSentence(status.description);
  if (sentence.empty()) return text + L'。';
  text += L'：';
  text += sentence;
  return text;
}

}  // namespace tav
