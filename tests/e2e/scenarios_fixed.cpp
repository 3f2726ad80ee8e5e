// Fixed-folder mode: nothing picked, every command works on D:\duzaz.
#include <algorithm>
#include <utility>

#include "tests/e2e/scenarios.h"
#include "ui/control_ids.h"

namespace tav::e2e {

namespace {

constexpr wchar_t kScriptWritten[] = L"请打开D:\\duzaz\\tav.bat并运行。";
constexpr wchar_t kNoWorkFolder[] = L"没有找到D:\\duzaz文件夹，请单击创建。";
constexpr wchar_t kNoScripts[] = L"没有找到D:\\duzaz\\tav.*文件！";
constexpr wchar_t kFolderExists[] = L"D:\\duzaz文件夹已存在。";
constexpr wchar_t kOldInvalid[] = L"修改前的扩展名含有无效字符。";
constexpr wchar_t kNewInvalid[] = L"修改后的扩展名含有无效字符。";
// The longest extension a file name can have, and one character more.
const std::wstring kLongestExtension(255, L'x');
const std::wstring kTooLongExtension(256, L'x');

// Wine's Recycle Bin: the files folder of the XDG trash that run-phase.sh gives this run
// (TAV_E2E_TRASH); empty when the variable is not set.
std::wstring TrashFiles() {
  wchar_t folder[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(L"TAV_E2E_TRASH", folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length) + L"\\files";
}

}  // namespace

std::string Gbk(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                       0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(936, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

std::string PlainScript(const std::wstring& oldExt, const std::wstring& newExt) {
  return Gbk(L"pushd \"%~dp0\" && (ren *." + oldExt + L" *." + newExt + L" & popd)\r\n");
}

void CheckFixedFolderRefusals(Session& session) {
  const struct {
    const wchar_t* what;
    const wchar_t* oldExt;
    const wchar_t* newExt;
    const wchar_t* notice;
    int answer;
  } cases[] = {
      {L"开始 with both boxes empty", L"", L"", L"请输入修改前的扩展名。", IDCANCEL},
      {L"开始 with only Text1 filled", L"txt", L"", L"请输入修改后的扩展名。", IDOK},
      {L"开始 with only Text2 filled", L"", L"doc", L"请输入修改前的扩展名。", IDOK},
      {L"开始 without D:\\duzaz", L"txt", L"doc", kNoWorkFolder, IDCANCEL},
  };
  for (const auto& c : cases) {
    session.BeginStep();
    session.SetBoxes(c.oldExt, c.newExt);
    session.ClickStart();
    session.ExpectNotice(c.what, c.notice, kNoticeTitle, NoticeIcon::Stop, c.answer);
    session.ExpectNoNotice(std::wstring(c.what) + L", second look");
    session.ExpectNothingTyped(c.what);
    session.ExpectChanges(c.what, {});
  }
  session.ExpectBoxes(L"开始 without D:\\duzaz", L"txt", L"doc");

  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectNotice(L"清除 without D:\\duzaz", kNoScripts, kNoticeTitle, NoticeIcon::Stop);
  session.ExpectBoxes(L"清除 without D:\\duzaz", L"txt", L"doc");
  session.ExpectChanges(L"清除 without D:\\duzaz", {});
}

void CheckWorkFolderThatIsAFile(Session& session) {
  // An ordinary file named D:\duzaz counts as the folder being there, and writing into it fails.
  WriteBytes(kWorkFolder, "not a folder");
  session.BeginStep();
  session.Menu(ids::kMenuCreate);
  session.ExpectNotice(L"创建 with a file named D:\\duzaz", kFolderExists, kNoticeTitle,
                       NoticeIcon::Stop);
  session.ExpectChanges(L"创建 with a file named D:\\duzaz", {});

  session.BeginStep();
  session.SetBoxes(L"txt", L"doc");
  session.ClickStart();
  session.ExpectFailureNotice(L"开始 with a file named D:\\duzaz", ERROR_PATH_NOT_FOUND);
  session.ExpectNothingTyped(L"开始 with a file named D:\\duzaz");
  session.ExpectChanges(L"开始 with a file named D:\\duzaz", {});
  session.ExpectAlive(L"开始 with a file named D:\\duzaz");

  // Nothing can be inside a file: no script is there to delete.
  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectNotice(L"清除 with a file named D:\\duzaz", L"没有找到D:\\duzaz\\tav.*文件！",
                       kNoticeTitle, NoticeIcon::Stop);
  session.ExpectBoxes(L"清除 with a file named D:\\duzaz", L"txt", L"doc");
  session.ExpectChanges(L"清除 with a file named D:\\duzaz", {});
  RemoveTree(kWorkFolder);
}

void CheckCreateWorkFolder(Session& session) {
  session.BeginStep();
  session.Menu(ids::kMenuCreate);
  session.ExpectNoNotice(L"创建");
  session.report().Check(IsFolder(kWorkFolder), L"创建 makes the folder D:\\duzaz", L"a folder",
                         Exists(kWorkFolder) ? L"something else" : L"nothing");
  session.ExpectChanges(L"创建", {kWorkFolder});

  session.BeginStep();
  session.Menu(ids::kMenuCreate);
  session.ExpectNotice(L"创建 a second time", kFolderExists, kNoticeTitle, NoticeIcon::Stop);
  session.ExpectChanges(L"创建 a second time", {});
}

void CheckFixedFolderScripts(Session& session) {
  // The "jpeg" line is shorter than the one before it, so a file not truncated would show.
  const struct {
    const wchar_t* oldExt;
    const wchar_t* newExt;
    std::string line;
  } cases[] = {
      {L"txt", L"doc", "pushd \"%~dp0\" && (ren *.txt *.doc & popd)\r\n"},
      {L"*", L"txt", "pushd \"%~dp0\" && (ren *.* *.txt & popd)\r\n"},
      {L".txt", L"doc", "pushd \"%~dp0\" && (ren *..txt *.doc & popd)\r\n"},
      {L"t?t", L"DOC", "pushd \"%~dp0\" && (ren *.t?t *.DOC & popd)\r\n"},
      {L"文本", L"文档", PlainScript(L"文本", L"文档")},
      {kLongestExtension.c_str(), L"doc", PlainScript(kLongestExtension, L"doc")},
      {L"jpeg", L"jpg", "pushd \"%~dp0\" && (ren *.jpeg *.jpg & popd)\r\n"},
  };
  bool first = true;
  for (const auto& c : cases) {
    const std::wstring what = L"开始 with " + Quote(c.oldExt) + L" → " + Quote(c.newExt);
    session.BeginStep();
    session.SetBoxes(c.oldExt, c.newExt);
    session.ClickStart();
    if (first) {
      // The folder is typed only once the user has closed the notice.
      if (const auto notice = session.TakeNotice(what)) {
        session.JudgeNotice(what, *notice, kScriptWritten, kNoticeTitle, NoticeIcon::Information);
        session.ExpectNothingTyped(what + L", notice still open");
        AnswerNotice(notice->box, IDOK);
      }
      first = false;
    } else {
      session.ExpectNotice(what, kScriptWritten, kNoticeTitle, NoticeIcon::Information);
    }
    session.ExpectTyped(what, L"explorer D:\\duzaz");
    session.ExpectFile(what, kWorkScript, c.line);
    session.ExpectChanges(what, {kWorkScript});
  }
  session.ExpectLabel2(L"after 开始 in D:\\duzaz", kFixedLabel);
}

void CheckRefusedExtensions(Session& session) {
  const wchar_t* refused[] = {
      L" ",
      L"\\",
      L"/",
      L":",
      L"\"",
      L"<",
      L">",
      L"|",
      L"&",
      L"^",
      L"%",
      L",",
      L";",
      L"=",
      L"(",
      L")",
      L"\t",
      L"\x01",
      L"\x7F",
      L"À",
      L"²",
      L"\x0301",
      L"\xD83D\xDE00",
      L"\x00A0",
  };
  for (const wchar_t* bad : refused) {
    const std::wstring ext = L"a" + std::wstring(bad) + L"b";
    const struct {
      std::wstring oldExt;
      std::wstring newExt;
      const wchar_t* notice;
    } sides[] = {
        {ext, L"doc", kOldInvalid},
        {L"txt", ext, kNewInvalid},
    };
    for (const auto& side : sides) {
      const std::wstring what = L"开始 with " + Quote(side.oldExt) + L" → " + Quote(side.newExt);
      session.BeginStep();
      session.SetBoxes(side.oldExt, side.newExt);
      const bool held =
          TextOf(session.app().text1) == side.oldExt && TextOf(session.app().text2) == side.newExt;
      if (!held) {
        session.report().Note(what + L": the box does not keep this text; skipped");
        continue;
      }
      session.ClickStart();
      session.ExpectNotice(what, side.notice, kNoticeTitle, NoticeIcon::Stop);
      session.ExpectNothingTyped(what);
      session.ExpectChanges(what, {});
    }
  }
  const struct {
    std::wstring oldExt;
    std::wstring newExt;
    const wchar_t* notice;
  } tooLong[] = {
      {kTooLongExtension, L"doc", L"修改前的扩展名太长。"},
      {L"txt", kTooLongExtension, L"修改后的扩展名太长。"},
      // Length is checked before the characters.
      {L"a b", kTooLongExtension, L"修改后的扩展名太长。"},
  };
  for (const auto& c : tooLong) {
    const std::wstring what = L"开始 with " + std::to_wstring(c.oldExt.size()) + L" → " +
                              std::to_wstring(c.newExt.size()) + L" characters";
    session.BeginStep();
    session.SetBoxes(c.oldExt, c.newExt);
    session.ClickStart();
    session.ExpectNotice(what, c.notice, kNoticeTitle, NoticeIcon::Stop);
    session.ExpectNothingTyped(what);
    session.ExpectChanges(what, {});
  }
  // Both boxes refused: the old extension is named first.
  session.BeginStep();
  session.SetBoxes(L"a b", L"c|d");
  session.ClickStart();
  session.ExpectNotice(L"开始 with both extensions refused", kOldInvalid, kNoticeTitle,
                       NoticeIcon::Stop);
  session.ExpectNoNotice(L"开始 with both extensions refused, second look");
}

void CheckClearInWorkFolder(Session& session) {
  const std::wstring folder = kWorkFolder;
  // Every file that tav.* finds, with the name it must have in the Recycle Bin; none for the name
  // that ends in a blank, which the bin may keep under its short name.
  const struct {
    std::wstring path;
    std::string bytes;
    std::wstring nameInBin;
  } files[] = {
      {kWorkScript, "ren *.a *.b\r\n", L"tav.bat"},
      {folder + L"\\tav.xlsx", "a sheet of the user's own", L"tav.xlsx"},
      {folder + L"\\tav", "bare", L"tav"},
      // Another name than tav.bat, which only the prefixed form of its path reaches.
      {folder + L"\\tav.bat ", "blank", L""},
  };
  std::vector<std::wstring> cleared;
  for (const auto& file : files) {
    WriteBytes(L"\\\\?\\" + file.path, file.bytes);
    cleared.push_back(file.path);
  }
  WriteBytes(folder + L"\\keep.txt", "keep");
  WriteBytes(folder + L"\\tavern.txt", "keep");

  const std::wstring bin = TrashFiles();
  const TreeSnapshot binBefore = bin.empty() ? TreeSnapshot() : Snapshot(bin);
  CheckClearTwice(session, folder, cleared);
  Report& report = session.report();
  if (!report.Check(!bin.empty(), L"TAV_E2E_TRASH names Wine's Recycle Bin", L"a folder",
                    L"not set")) {
    return;
  }

  // Each file is in the Recycle Bin with its bytes: none was destroyed for good.
  const TreeSnapshot binAfter = Snapshot(bin);
  TreeSnapshot added;
  for (const std::wstring& path : Differences(binBefore, binAfter)) {
    if (const auto entry = binAfter.find(path); entry != binAfter.end()) added.insert(*entry);
  }
  for (const auto& file : files) {
    const std::string content = "file:" + file.bytes;
    const auto named = added.find(bin + L"\\" + file.nameInBin);
    const bool there =
        file.nameInBin.empty()
            ? std::ranges::any_of(added, [&](const auto& entry) { return entry.second == content; })
            : named != added.end() && named->second == content;
    report.Check(there, L"清除 moves " + Quote(file.path) + L" to the Recycle Bin",
                 QuoteBytes(file.bytes) + L" in " + bin + L"\\" + file.nameInBin, L"not there");
  }
}

void CheckClearTwice(Session& session, const std::wstring& folder,
                     std::vector<std::wstring> deleted) {
  // A folder that tav.* finds as well: 清除 leaves it and what it holds alone.
  const std::wstring subfolder = folder + L"\\tav.d";
  MakeFolder(subfolder);
  WriteBytes(subfolder + L"\\inside.txt", "inside");
  const std::wstring first = L"清除 in " + folder;
  session.BeginStep();
  session.SetBoxes(L"x", L"y");
  session.Menu(ids::kMenuClear);
  session.ExpectNoNotice(first);
  session.ExpectBoxes(first, L"", L"");
  session.ExpectChanges(first, std::move(deleted));
  RemoveTree(subfolder);

  const std::wstring second = first + L" with no tav.* left";
  session.BeginStep();
  session.SetBoxes(L"x", L"y");
  session.Menu(ids::kMenuClear);
  session.ExpectNotice(second, L"没有找到" + folder + L"\\tav.*文件！", kNoticeTitle,
                       NoticeIcon::Stop);
  session.ExpectBoxes(second, L"x", L"y");
  session.ExpectChanges(second, {});
}

void CheckLockedScript(Session& session) {
  WriteBytes(kWorkScript, "old\r\n");
  ExclusiveHold hold(kWorkScript);
  if (!session.report().Check(hold.held(), L"the driver holds D:\\duzaz\\tav.bat open",
                              L"an exclusive handle", L"none")) {
    return;
  }
  session.BeginStep();
  session.SetBoxes(L"txt", L"doc");
  session.ClickStart();
  session.ExpectFailureNotice(L"开始 with tav.bat held open", ERROR_SHARING_VIOLATION);
  session.ExpectNothingTyped(L"开始 with tav.bat held open");
  session.ExpectChanges(L"开始 with tav.bat held open", {});
  session.ExpectAlive(L"开始 with tav.bat held open");

  const std::wstring what = L"清除 with tav.bat held open";
  session.BeginStep();
  session.Menu(ids::kMenuClear);
  if (const auto notice = session.TakeNotice(what)) {
    session.JudgeFailureNotice(what, *notice, ERROR_SHARING_VIOLATION);
    session.report().Check(notice->text.starts_with(L"无法删除D:\\duzaz\\tav.bat文件。"),
                           what + L": the notice names the file",
                           L"无法删除D:\\duzaz\\tav.bat文件。…", Quote(notice->text));
    AnswerNotice(notice->box, IDCANCEL);
  }
  session.ExpectBoxes(what, L"txt", L"doc");
  session.ExpectChanges(what, {});
  session.ExpectAlive(what);

  hold.Release();
  session.BeginStep();
  session.Menu(ids::kMenuClear);
  session.ExpectNoNotice(L"清除 once tav.bat is free");
  session.ExpectBoxes(L"清除 once tav.bat is free", L"", L"");
  session.ExpectChanges(L"清除 once tav.bat is free", {kWorkScript});
}

void CheckUnreadableWorkFolder(Session& session) {
  const std::wstring what = L"清除 where D:\\duzaz cannot be read";
  session.BeginStep();
  session.SetBoxes(L"txt", L"doc");
  session.Menu(ids::kMenuClear);
  if (const auto notice = session.TakeNotice(what)) {
    session.JudgeFailureNotice(what, *notice, std::nullopt);
    session.report().Check(notice->text.starts_with(L"无法读取D:\\duzaz。"),
                           what + L": the notice names the folder", L"无法读取D:\\duzaz。…",
                           Quote(notice->text));
    AnswerNotice(notice->box, IDOK);
  }
  session.ExpectBoxes(what, L"txt", L"doc");
  session.ExpectChanges(what, {});
  session.ExpectAlive(what);
}

void CheckFullDisk(Session& session) {
  const std::string oldScript = "ren *.old *.new\r\n";
  MakeFolder(kWorkFolder);
  WriteBytes(kWorkScript, oldScript);
  Report& report = session.report();
  if (!report.Check(FillDrive(L"D:\\filler1"), L"the driver fills drive D:", L"a full drive",
                    L"no disk-full error")) {
    return;
  }
  session.SetBoxes(L"txt", L"doc");

  // With an old script: it stays exactly as it was.
  std::wstring what = L"开始 on a full drive with an old tav.bat";
  session.BeginStep();
  session.ClickStart();
  session.ExpectFailureNotice(what, ERROR_DISK_FULL);
  session.ExpectFile(what, kWorkScript, oldScript);
  session.ExpectChanges(what, {});
  session.ExpectNothingTyped(what);
  session.ExpectBoxes(what, L"txt", L"doc");
  session.ExpectAlive(what);

  // Without one: no script appears at all, not even an empty one.
  RemoveTree(kWorkScript);
  FillDrive(L"D:\\filler2");
  what = L"开始 on a full drive without a tav.bat";
  session.BeginStep();
  session.ClickStart();
  session.ExpectFailureNotice(what, ERROR_DISK_FULL);
  session.ExpectChanges(what, {});
  session.ExpectNothingTyped(what);
  session.ExpectAlive(what);

  // Room again: the script is written whole.
  RemoveTree(L"D:\\filler1");
  RemoveTree(L"D:\\filler2");
  what = L"开始 once the drive has room";
  session.BeginStep();
  session.ClickStart();
  session.ExpectNotice(what, kScriptWritten, kNoticeTitle, NoticeIcon::Information);
  session.ExpectFile(what, kWorkScript, PlainScript(L"txt", L"doc"));
  session.ExpectChanges(what, {kWorkScript});
  session.ExpectTyped(what, L"explorer D:\\duzaz");
}

}  // namespace tav::e2e
