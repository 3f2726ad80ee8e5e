#include "workflow/commands.h"

#include "workflow/rules.h"

namespace tav {

namespace {

constexpr wchar_t kOldExtensionMissing[] = L"请输入修改前的扩展名。";
constexpr wchar_t kNewExtensionMissing[] = L"请输入修改后的扩展名。";
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
// the ANSI code page holds each of its characters exactly.
bool IsUsableExtension(Platform& platform, const std::wstring& ext) {
  return HasOnlyAllowedCharacters(ext) && platform.ToAnsi(ext).has_value();
}

}  // namespace

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
  if (!IsUsableExtension(platform_, oldExt)) return Refuse(platform_, kOldExtensionInvalid);
  if (!IsUsableExtension(platform_, newExt)) return Refuse(platform_, kNewExtensionInvalid);

  const bool chosen = InChosenFolderMode(state_);
  const std::wstring folder = chosen ? state_.WorkDir : std::wstring(kWorkFolder);
  if (!chosen && platform_.FirstMatch(kWorkFolder).empty()) {
    return Refuse(platform_, L"没有找到" + folder + L"文件夹，请单击创建。");
  }

  const std::wstring script = chosen ? state_.WorkDir + kScriptSuffix : kWorkFolderScript;
  const OpStatus status = platform_.WriteScriptLine(script, RenameLine(oldExt, newExt));
  if (!status.ok()) return ReportFailure(platform_, L"无法写入" + script, status);

  platform_.NoticeBox(L"请打开" + script + L"并运行。", kNoticeTitle, Icon::Information);
  TypeIntoConsole(ExplorerCommand(folder));
}

void Commands::AnalyseChosenFile() {
  const PickedFile picked = platform_.PickFile();
  // Without a dialog there is no answer: the mode and the boxes stay as they were.
  if (!picked.status.ok()) return ReportFailure(platform_, L"无法打开文件对话框", picked.status);
  const std::wstring& name = picked.name;
  state_.FilePath = name;
  state_.WorkDir = FolderOfPickedName(name);
  if (auto ext = ExtensionOfPickedName(name)) view_.SetText1(*ext);
}

void Commands::CreateWorkFolder() {
  if (!platform_.FirstMatch(kWorkFolder).empty()) return Refuse(platform_, kWorkFolderExists);
  const OpStatus status = platform_.MakeFolder(kWorkFolder);
  if (!status.ok()) {
    ReportFailure(platform_, std::wstring(L"无法创建") + kWorkFolder + L"文件夹", status);
  }
}

void Commands::ClearScripts() {
  const std::wstring pattern =
      InChosenFolderMode(state_) ? state_.WorkDir + kCleanSuffix : kWorkFolderCleanPattern;
  if (platform_.FirstMatch(pattern).empty()) {
    return Refuse(platform_, L"没有找到" + pattern + L"文件！");
  }
  // The boxes are emptied only once the scripts are gone, so a failed deletion leaves the
  // user's extensions in place.
  const OpStatus status = platform_.DeleteMatching(pattern);
  if (!status.ok()) return ReportFailure(platform_, L"无法删除" + pattern + L"文件", status);
  view_.SetText1(L"");
  view_.SetText2(L"");
}

void Commands::TypeIntoConsole(const std::wstring& line) {
  state_.ConsoleWnd = platform_.FindConsoleWindow();
  state_.ConsoleLine = line;
  const auto codes =
      ConsoleCodes(line, [this](std::wstring_view text) { return platform_.ToAnsi(text); });
  // A character without an exact ANSI code would reach the console as something else and run a
  // different command, so such a line is not typed at all.
  if (!codes) return;
  for (const std::int32_t code : *codes) platform_.PostChar(state_.ConsoleWnd, code);
  platform_.PostChar(state_.ConsoleWnd, kCarriageReturn);
}

}  // namespace tav
