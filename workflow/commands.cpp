#include "workflow/commands.h"

#include "workflow/rules.h"

namespace tav {

namespace {

constexpr wchar_t kOldExtensionMissing[] = L"请输入修改前的扩展名。";
constexpr wchar_t kNewExtensionMissing[] = L"请输入修改后的扩展名。";
constexpr wchar_t kOldExtensionTooLong[] = L"修改前的扩展名太长。";
constexpr wchar_t kNewExtensionTooLong[] = L"修改后的扩展名太长。";
constexpr wchar_t kOldExtensionInvalid[] = L"修改前的扩展名含有无效字符。";
constexpr wchar_t kNewExtensionInvalid[] = L"修改后的扩展名含有无效字符。";
constexpr wchar_t kWorkFolderExists[] = L"D:\\duzaz文件夹已存在。";
constexpr std::int32_t kCarriageReturn = 13;

void Refuse(Platform& platform, const std::wstring& text) {
  platform.NoticeBox(text, kNoticeTitle, Icon::Stop);
}

void ReportFailure(Platform& platform, const std::wstring& what, const OpStatus& status) {
  platform.NoticeBox(FailureNotice(what, status), kNoticeTitle, Icon::Stop);
}

// An extension goes into the script only when the command interpreter reads it as plain text and
// the ANSI code page holds each of its characters exactly. Where the interpreter reads the script
// in another code page, only ASCII reads back as the same characters.
bool IsUsableExtension(Platform& platform, const std::wstring& ext) {
  return HasOnlyAllowedCharacters(ext) && platform.ToAnsi(ext).has_value() &&
         (IsAscii(ext) || platform.ConsoleReadsAnsi());
}

}  // namespace

std::optional<bool> Commands::AnyMatch(const std::wstring& pattern, const std::wstring& folder) {
  const FoundEntry found = platform_.FirstMatch(pattern);
  if (!found.status.ok()) {
    ReportFailure(platform_, L"无法读取" + folder, found.status);
    return std::nullopt;
  }
  return !found.name.empty();
}

void Commands::OnStartup() {
  state_.FilePath.clear();
  const OpStatus status = platform_.LaunchHidden(kStartupCommand);
  if (!status.ok()) ReportFailure(platform_, std::wstring(L"无法启动") + kStartupCommand, status);
}

void Commands::WriteRenameScript() {
  const std::wstring oldExt = view_.Text1();
  if (oldExt.empty()) return Refuse(platform_, kOldExtensionMissing);
  const std::wstring newExt = view_.Text2();
  if (newExt.empty()) return Refuse(platform_, kNewExtensionMissing);
  if (IsTooLongForExtension(oldExt)) return Refuse(platform_, kOldExtensionTooLong);
  if (IsTooLongForExtension(newExt)) return Refuse(platform_, kNewExtensionTooLong);
  if (!IsUsableExtension(platform_, oldExt)) return Refuse(platform_, kOldExtensionInvalid);
  if (!IsUsableExtension(platform_, newExt)) return Refuse(platform_, kNewExtensionInvalid);

  const bool chosen = InChosenFolderMode(state_);
  const std::wstring folder = ModeFolder(state_);
  if (!chosen) {
    const auto found = AnyMatch(kWorkFolder, kWorkFolder);
    if (!found) return;
    if (!*found) return Refuse(platform_, L"没有找到" + folder + L"文件夹，请单击创建。");
  }

  const auto line = ScriptLine(folder, oldExt, newExt);
  if (!line) return;
  const std::wstring script = chosen ? state_.WorkDir + kScriptSuffix : kWorkFolderScript;
  const OpStatus status = platform_.WriteScriptLine(script, *line);
  if (!status.ok()) return ReportFailure(platform_, L"无法写入" + script, status);

  platform_.NoticeBox(L"请打开" + script + L"并运行。", kNoticeTitle, Icon::Information);
  if (view_.Closed()) return;  // the program ended while the notice was open
  TypeIntoConsole(ExplorerCommand(folder));
}

std::optional<std::wstring> Commands::ScriptLine(const std::wstring& folder,
                                                 const std::wstring& oldExt,
                                                 const std::wstring& newExt) {
  // What ren *.old would find, short names included: when that is only files of the old
  // extension, the plain line renames exactly them.
  const FoundEntry stranger = platform_.FirstMatchThat(
      folder + L"\\*." + oldExt,
      [&](std::wstring_view name) { return !CarriesExtension(name, oldExt); });
  if (!stranger.status.ok()) {
    ReportFailure(platform_, L"无法读取" + folder, stranger.status);
    return std::nullopt;
  }
  if (stranger.name.empty()) return PlainScriptLine(oldExt, newExt);
  if (CanRenameFileByFile(oldExt, newExt)) return PerFileScriptLine(oldExt, newExt);
  // No line renames exactly the files of this extension here. With a plain old extension it is
  // the new one that stands in the way (its last part is the old one or holds a wildcard).
  Refuse(platform_, IsPlainExtension(oldExt) ? kNewExtensionInvalid : kOldExtensionInvalid);
  return std::nullopt;
}

void Commands::AnalyseChosenFile() {
  const PickedFile picked = platform_.PickFile();
  // Without a dialog there is no answer: the mode and the boxes stay as they were.
  if (!picked.status.ok()) return ReportFailure(platform_, L"无法打开文件对话框", picked.status);
  UseChosenFile(picked.name);
}

void Commands::UseChosenFile(const std::wstring& name) {
  state_.FilePath = name;
  state_.WorkDir = FolderOfPickedName(name);
  if (auto ext = ExtensionOfPickedName(name)) view_.SetText1(*ext);
}

void Commands::ChooseFolder(const std::wstring& folder) {
  // The folder stands in for a picked file: not empty, so the mode is the chosen folder's.
  state_.FilePath = folder;
  state_.WorkDir = WithoutTrailingBackslashes(folder);
}

std::optional<PathKind> Commands::TakePath(const std::wstring& path) {
  const PathEntry entry = platform_.ExaminePath(path);
  if (!entry.status.ok()) {
    ReportFailure(platform_, L"无法读取" + path, entry.status);
    return std::nullopt;
  }
  if (entry.kind == PathKind::File) UseChosenFile(entry.fullPath);
  if (entry.kind == PathKind::Folder) ChooseFolder(entry.fullPath);
  return entry.kind;
}

void Commands::OpenDroppedPath(const std::wstring& path) { TakePath(path); }

void Commands::OpenArgumentPath(const std::wstring& path) {
  if (TakePath(path) == PathKind::Missing) Refuse(platform_, L"没有找到" + path + L"。");
}

void Commands::CreateWorkFolder() {
  const auto found = AnyMatch(kWorkFolder, kWorkFolder);
  if (!found) return;
  if (*found) return Refuse(platform_, kWorkFolderExists);
  const OpStatus status = platform_.MakeFolder(kWorkFolder);
  if (!status.ok()) {
    ReportFailure(platform_, std::wstring(L"无法创建") + kWorkFolder + L"文件夹", status);
  }
}

void Commands::ClearScripts() {
  const std::wstring folder = ModeFolder(state_);
  const std::wstring pattern =
      InChosenFolderMode(state_) ? state_.WorkDir + kCleanSuffix : kWorkFolderCleanPattern;
  const auto found = AnyMatch(pattern, folder);
  if (!found) return;
  if (!*found) return Refuse(platform_, L"没有找到" + pattern + L"文件！");
  // The boxes are emptied only once the files are gone, so a failed move leaves the user's
  // extensions in place. The notice names the file that stayed, where the failure tells it.
  const OpStatus status = platform_.RecycleMatching(pattern);
  if (!status.ok()) {
    const std::wstring& named = status.path.empty() ? pattern : status.path;
    return ReportFailure(platform_, L"无法删除" + named + L"文件", status);
  }
  view_.SetText1(L"");
  view_.SetText2(L"");
}

std::optional<std::vector<std::int32_t>> Commands::CodesToType(const std::wstring& line) {
  // The interpreter would expand, run or unquote parts of a line that holds % $ ` or a
  // typographic quote.
  if (QuotesCannotProtect(line)) return std::nullopt;
  // The system makes a posted ANSI character Unicode only from one byte, or from the lead and
  // trail byte of a double-byte code page. UTF-8, which newer Windows can use as its ANSI code
  // page, has no lead bytes: there only ASCII arrives as itself.
  if (platform_.AnsiMaxCharBytes() > 2 && !IsAscii(line)) return std::nullopt;
  // A character without an exact ANSI code would reach the console as something else and run a
  // different command.
  return ConsoleCodes(line, [this](std::wstring_view text) { return platform_.ToAnsi(text); });
}

bool Commands::CanTypeInto(WindowHandle console) {
  // Nobody reads a hidden console (of a program started hidden, this program's own start-up
  // command among them) or one on another virtual desktop, and the system drops what is posted to
  // the console of a program run as administrator: the next console gets the line.
  return platform_.IsShown(console) && !platform_.IsCloaked(console) &&
         !platform_.RunsAboveThisProgram(console);
}

void Commands::TypeIntoConsole(const std::wstring& line) {
  state_.ConsoleWnd = 0;
  state_.ConsoleLine = line;
  auto keys = CodesToType(line);
  if (!keys) return;
  keys->push_back(kCarriageReturn);
  for (const WindowHandle console : platform_.ConsoleWindows()) {
    if (!CanTypeInto(console)) continue;
    // A console that refuses the first character has taken nothing: the next one may take the
    // line. One that refuses a later one has part of it, and gets no more, not even the Enter
    // that would run the part.
    if (!platform_.PostChar(console, keys->front())) continue;
    state_.ConsoleWnd = console;
    for (std::size_t i = 1; i < keys->size(); ++i) {
      if (!platform_.PostChar(console, (*keys)[i])) return;
    }
    return;
  }
}

}  // namespace tav
