#include "workflow/rules.h"

#include <algorithm>

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

bool IsBlank(wchar_t ch) { return ch == L' ' || ch == L'\t'; }

// The space separators besides the ASCII blank; PowerShell splits words at each of them.
bool IsUnicodeSpace(wchar_t ch) {
  return ch == 0x00A0 || ch == 0x1680 || (ch >= 0x2000 && ch <= 0x200A) || ch == 0x202F ||
         ch == 0x205F || ch == 0x3000;
}

// ‘ ’ ‚ ‛ “ ” „: PowerShell takes each of them for a quote mark of its own.
bool IsTypographicQuote(wchar_t ch) { return ch >= 0x2018 && ch <= 0x201E; }

// Where the arguments of a command line start: past the program's name, in which quotes group
// and backslashes are plain characters, and past the blanks after it.
std::size_t StartOfArguments(std::wstring_view line) {
  std::size_t i = 0;
  for (bool quoted = false; i < line.size() && (quoted || !IsBlank(line[i])); ++i) {
    if (line[i] == L'"') quoted = !quoted;
  }
  while (i < line.size() && IsBlank(line[i])) ++i;
  return i;
}

// Reads the run of backslashes at i into argument: before a quote, half of them, and for an odd
// run the quote itself as a literal one; elsewhere all of them. Returns where reading goes on.
std::size_t ReadBackslashes(std::wstring_view line, std::size_t i, std::wstring& argument) {
  std::size_t run = 0;
  while (i + run < line.size() && line[i + run] == kPathSeparator) ++run;
  i += run;
  if (i == line.size() || line[i] != L'"') {
    argument.append(run, kPathSeparator);
    return i;
  }
  argument.append(run / 2, kPathSeparator);
  if (run % 2 == 0) return i;  // the quote groups
  argument += L'"';
  return i + 1;
}

// The argument that starts at i, up to the first blank outside quotes.
std::wstring ArgumentAt(std::wstring_view line, std::size_t i) {
  std::wstring argument;
  bool quoted = false;
  while (i < line.size() && (quoted || !IsBlank(line[i]))) {
    if (line[i] == kPathSeparator) {
      i = ReadBackslashes(line, i, argument);
    } else if (line[i] != L'"') {
      argument += line[i++];
    } else if (quoted && i + 1 < line.size() && line[i + 1] == L'"') {
      argument += L'"';
      i += 2;
    } else {
      quoted = !quoted;
      ++i;
    }
  }
  return argument;
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

std::wstring WithoutTrailingBackslashes(std::wstring_view folder) {
  const auto end = folder.find_last_not_of(kPathSeparator);
  return std::wstring(folder.substr(0, end == std::wstring_view::npos ? 0 : end + 1));
}

std::optional<std::wstring> PathArgument(std::wstring_view commandLine) {
  std::wstring argument = ArgumentAt(commandLine, StartOfArguments(commandLine));
  if (argument.empty()) return std::nullopt;
  if (argument.back() == L'"') argument.back() = kPathSeparator;
  return argument;
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
  if (folder.find_first_of(L" &|<>^()%!,;='{}@#") != std::wstring_view::npos) return true;
  return std::any_of(folder.begin(), folder.end(), IsUnicodeSpace);
}

bool QuotesCannotProtect(std::wstring_view line) {
  return line.find_first_of(L"%$`") != std::wstring_view::npos ||
         std::any_of(line.begin(), line.end(), IsTypographicQuote);
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
  if (bytes.size() == 2) return byteAt(0) | (byteAt(1) << 8);
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
