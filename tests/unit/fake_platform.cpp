#include "fake_platform.h"

#include <algorithm>
#include <cwctype>
#include <stdexcept>

#include "gbk.h"
#include "workflow/rules.h"

namespace tav::test {

namespace {

const OpStatus kPathNotFound{3, L"系统找不到指定的路径。"};
const OpStatus kFileNotFound{2, L"系统找不到指定的文件。"};
const OpStatus kAccessDenied{5, L"拒绝访问。"};
const OpStatus kAlreadyExists{183, L"当文件已存在时，无法创建该文件。"};
const OpStatus kNoTranslation{1113,
                              L"在多字节的目标代码页中，没有此 Unicode 字符可以映射到的字符。"};

std::wstring ParentOf(const std::wstring& path) {
  const auto last = path.rfind(L'\\');
  return last == std::wstring::npos ? std::wstring() : path.substr(0, last);
}

std::wstring NameOf(const std::wstring& path) {
  const auto last = path.rfind(L'\\');
  return last == std::wstring::npos ? path : path.substr(last + 1);
}

bool SameLetter(wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); }

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameLetter);
}

bool IsDriveRoot(const std::wstring& path) { return path.size() == 2 && path[1] == L':'; }

}  // namespace

bool FakePlatform::IsFolder(const std::wstring& path) const {
  const auto it = entries_.find(path);
  return it != entries_.end() && it->second.folder;
}

std::optional<std::string> FakePlatform::FileBytes(const std::wstring& path) const {
  const auto it = entries_.find(path);
  if (it == entries_.end() || it->second.folder) return std::nullopt;
  return it->second.bytes;
}

std::optional<OpStatus> FakePlatform::ForcedFailure(Op op) const {
  const auto it = failures_.find(op);
  if (it == failures_.end()) return std::nullopt;
  return it->second;
}

bool FakePlatform::FolderExists(const std::wstring& path) const {
  return IsDriveRoot(path) || IsFolder(path);
}

std::vector<std::wstring> FakePlatform::Matches(const std::wstring& pattern) const {
  const std::wstring folder = ParentOf(pattern);
  const std::wstring namePattern = NameOf(pattern);
  std::vector<std::wstring> found;
  for (const auto& [path, entry] : entries_) {
    const bool matches =
        MatchesNamePattern(namePattern, NameOf(path)) ||
        (!entry.shortName.empty() && MatchesNamePattern(namePattern, entry.shortName));
    if (SamePath(ParentOf(path), folder) && matches) {
      found.push_back(path);
    }
  }
  return found;
}

void FakePlatform::NoticeBox(const std::wstring& text, const std::wstring& title, Icon icon) {
  journal_.push_back(L"NoticeBox " + text);
  notices.push_back({text, title, icon});
  if (whileNoticeOpen) whileNoticeOpen();
}

PickedFile FakePlatform::PickFile() {
  journal_.push_back(L"PickFile");
  if (auto failure = ForcedFailure(Op::PickFile)) return {{}, *failure};
  return {pickAnswer, OpStatus::Success()};
}

FoundEntry FakePlatform::FirstMatch(const std::wstring& pattern) {
  journal_.push_back(L"FirstMatch " + pattern);
  if (auto failure = ForcedFailure(Op::FirstMatch)) return {{}, *failure};
  const auto found = Matches(pattern);
  return {found.empty() ? std::wstring() : NameOf(found.front()), OpStatus::Success()};
}

FoundEntry FakePlatform::FirstMatchThat(const std::wstring& pattern,
                                        const std::function<bool(std::wstring_view)>& test) {
  journal_.push_back(L"FirstMatchThat " + pattern);
  if (auto failure = ForcedFailure(Op::FirstMatchThat)) return {{}, *failure};
  for (const auto& path : Matches(pattern)) {
    if (test(NameOf(path))) return {NameOf(path), OpStatus::Success()};
  }
  return {};
}

PathEntry FakePlatform::ExaminePath(const std::wstring& path) {
  journal_.push_back(L"ExaminePath " + path);
  if (auto failure = ForcedFailure(Op::ExaminePath)) return {PathKind::Missing, {}, *failure};
  const bool absolute = path.starts_with(L"\\\\") || (path.size() > 1 && path[1] == L':');
  const std::wstring full = absolute ? path : currentFolder + L"\\" + path;
  // A folder may be named with a closing backslash.
  std::wstring entry = full;
  while (entry.size() > 2 && entry.back() == L'\\') entry.pop_back();
  const PathKind kind = FolderExists(entry) ? PathKind::Folder
                        : Exists(entry)     ? PathKind::File
                                            : PathKind::Missing;
  return {kind, full, OpStatus::Success()};
}

OpStatus FakePlatform::MakeFolder(const std::wstring& path) {
  journal_.push_back(L"MakeFolder " + path);
  madeFolders.push_back(path);
  if (auto failure = ForcedFailure(Op::MakeFolder)) return *failure;
  if (Exists(path)) return kAlreadyExists;
  if (!FolderExists(ParentOf(path))) return kPathNotFound;
  AddFolder(path);
  return OpStatus::Success();
}

// The fake file system has no Recycle Bin: the files leave it.
OpStatus FakePlatform::RecycleMatching(const std::wstring& pattern) {
  journal_.push_back(L"RecycleMatching " + pattern);
  recycled.push_back(pattern);
  if (auto failure = ForcedFailure(Op::RecycleMatching)) return *failure;
  bool moved = false;
  for (const auto& path : Matches(pattern)) {
    if (!IsFolder(path)) moved = entries_.erase(path) > 0 || moved;
  }
  return moved ? OpStatus::Success() : kFileNotFound;
}

OpStatus FakePlatform::WriteScriptLine(const std::wstring& path, const std::wstring& line) {
  journal_.push_back(L"WriteScriptLine " + path);
  writtenPaths.push_back(path);
  if (auto failure = ForcedFailure(Op::WriteScriptLine)) return *failure;
  if (!FolderExists(ParentOf(path))) return kPathNotFound;
  if (IsFolder(path)) return kAccessDenied;
  const auto bytes = ToAnsi(line);
  if (!bytes) return kNoTranslation;
  AddFile(path, *bytes + "\r\n");
  return OpStatus::Success();
}

OpStatus FakePlatform::LaunchHidden(const std::wstring& commandLine) {
  journal_.push_back(L"LaunchHidden " + commandLine);
  launches.push_back(commandLine);
  if (auto failure = ForcedFailure(Op::LaunchHidden)) return *failure;
  return OpStatus::Success();
}

std::vector<WindowHandle> FakePlatform::ConsoleWindows() {
  journal_.push_back(L"ConsoleWindows");
  std::vector<WindowHandle> windows;
  for (const auto& console : consoles) windows.push_back(console.window);
  return windows;
}

FakeConsole& FakePlatform::Console(WindowHandle window) {
  const auto it = std::find_if(consoles.begin(), consoles.end(),
                               [&](const FakeConsole& c) { return c.window == window; });
  if (it == consoles.end()) throw std::logic_error("no such console window");
  return *it;
}

bool FakePlatform::PostChar(WindowHandle window, std::int32_t code) {
  FakeConsole& console = Console(window);
  journal_.push_back(L"PostChar " + std::to_wstring(code));
  if (console.offered++ == console.refuses) return false;
  posts.push_back({window, code});
  return true;
}

std::optional<std::string> FakePlatform::ToAnsi(std::wstring_view text) {
  return ansiCodePage == 65001 ? ToUtf8(text) : ToGbk(text);
}

void FakeView::SetText1(const std::wstring& text) {
  journal_.push_back(L"SetText1 " + text);
  text1 = text;
}

void FakeView::SetText2(const std::wstring& text) {
  journal_.push_back(L"SetText2 " + text);
  text2 = text;
}

}  // namespace tav::test
