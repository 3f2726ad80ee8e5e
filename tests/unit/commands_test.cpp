#include "workflow/commands.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "fake_platform.h"
#include "gbk.h"
#include "workflow/rules.h"

namespace tav {
namespace {

using test::Notice;
using test::Op;
using test::PostedChar;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Optional;

Notice StopNotice(std::wstring text) { return {std::move(text), L"提示", Icon::Stop}; }
Notice InfoNotice(std::wstring text) { return {std::move(text), L"提示", Icon::Information}; }

class CommandsTest : public ::testing::Test {
 protected:
  // Picks a file through the dialog, as the Directory command does.
  void Pick(const std::wstring& name) {
    platform.pickAnswer = name;
    commands.AnalyseChosenFile();
  }

  // The codes posted, to every window or only to the one given.
  std::vector<std::int32_t> PostedCodes(std::optional<WindowHandle> window = {}) const {
    std::vector<std::int32_t> codes;
    for (const auto& post : platform.posts) {
      if (!window || post.window == *window) codes.push_back(post.code);
    }
    return codes;
  }

  std::ptrdiff_t JournalIndex(const std::wstring& entry) const {
    return std::find(journal.begin(), journal.end(), entry) - journal.begin();
  }

  test::Journal journal;
  test::FakePlatform platform{journal};
  test::FakeView view{journal};
  FormState state;
  Commands commands{state, view, platform};
};

// --- start-up ---

TEST_F(CommandsTest, StartupForgetsThePickedFileAndLaunchesTheInterpreterHidden) {
  state.FilePath = L"C:\\data\\a.txt";
  commands.OnStartup();
  EXPECT_EQ(state.FilePath, L"");
  EXPECT_THAT(platform.launches, ElementsAre(L"cmd.exe /c"));
  EXPECT_THAT(platform.notices, IsEmpty());
}

TEST_F(CommandsTest, StartupReportsALaunchFailureAndGoesOn) {
  platform.Fail(Op::LaunchHidden, {2, L"系统找不到指定的文件。"});
  state.FilePath = L"C:\\data\\a.txt";
  commands.OnStartup();
  EXPECT_EQ(state.FilePath, L"");
  EXPECT_THAT(platform.notices,
              ElementsAre(StopNotice(L"无法启动cmd.exe /c。错误 2：系统找不到指定的文件。")));
}

// --- Start: refusals ---

struct Refusal {
  std::wstring oldExt;
  std::wstring newExt;
  std::wstring notice;
};

void PrintTo(const Refusal& r, std::ostream* os) {
  *os << ::testing::PrintToString(r.oldExt) << " / " << ::testing::PrintToString(r.newExt);
}

class StartRefusalTest : public CommandsTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(StartRefusalTest, ShowsOneStopNoticeAndWritesNothing) {
  platform.AddFolder(L"D:\\duzaz");
  view.text1 = GetParam().oldExt;
  view.text2 = GetParam().newExt;
  commands.WriteRenameScript();
  EXPECT_THAT(platform.notices, ElementsAre(StopNotice(GetParam().notice)));
  EXPECT_THAT(platform.writtenPaths, IsEmpty());
  EXPECT_THAT(platform.posts, IsEmpty());
  EXPECT_EQ(state.ConsoleLine, L"");
  EXPECT_EQ(view.text1, GetParam().oldExt);
  EXPECT_EQ(view.text2, GetParam().newExt);
}

const wchar_t kOldMissing[] = L"请输入修改前的扩展名。";
const wchar_t kNewMissing[] = L"请输入修改后的扩展名。";
const wchar_t kOldInvalid[] = L"修改前的扩展名含有无效字符。";
const wchar_t kNewInvalid[] = L"修改后的扩展名含有无效字符。";
const wchar_t kOldTooLong[] = L"修改前的扩展名太长。";
const wchar_t kNewTooLong[] = L"修改后的扩展名太长。";
// One character more than a file name component can hold.
const std::wstring kLong(256, L'x');

INSTANTIATE_TEST_SUITE_P(
    Extensions, StartRefusalTest,
    ::testing::Values(Refusal{L"", L"", kOldMissing}, Refusal{L"", L"doc", kOldMissing},
                      Refusal{L"t t", L"", kNewMissing}, Refusal{L"txt", L"", kNewMissing},
                      Refusal{L"t t", L"d d", kOldInvalid}, Refusal{L"txt ", L"doc", kOldInvalid},
                      Refusal{L"a&del", L"doc", kOldInvalid},
                      Refusal{L"txt\r\nformat", L"doc", kOldInvalid},
                      Refusal{L"a\"b", L"doc", kOldInvalid}, Refusal{L"%x%", L"doc", kOldInvalid},
                      Refusal{L"한", L"doc", kOldInvalid}, Refusal{L"txt", L"d>c", kNewInvalid},
                      Refusal{L"txt", L"a/b", kNewInvalid}, Refusal{L"txt", L"a\\b", kNewInvalid},
                      Refusal{L"txt", L"x,y", kNewInvalid}, Refusal{L"txt", L"ก", kNewInvalid},
                      Refusal{L"txt", L"d\tc", kNewInvalid}, Refusal{L"(1)", L"doc", kOldInvalid},
                      Refusal{L"txt", L"a)b", kNewInvalid}, Refusal{kLong, L"doc", kOldTooLong},
                      Refusal{L"txt", kLong, kNewTooLong}, Refusal{kLong, L"", kNewMissing},
                      Refusal{kLong + L" ", L"d d", kOldTooLong},
                      Refusal{L"a b", kLong, kNewTooLong},
                      Refusal{std::wstring(30000, L'a'), L"doc", kOldTooLong}));

TEST_F(CommandsTest, StartTakesOnlyAsciiExtensionsWhereTheConsoleReadsAnotherCodePage) {
  const struct {
    std::wstring oldExt;
    std::wstring newExt;
    std::optional<std::wstring> refusal;
  } cases[] = {
      {L"txt", L"doc", std::nullopt},
      {L"é", L"doc", kOldInvalid},
      {L"txt", L"文档", kNewInvalid},
  };
  platform.AddFolder(L"D:\\duzaz");
  platform.consoleReadsAnsi = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.oldExt + L" / " + c.newExt);
    platform.notices.clear();
    platform.writtenPaths.clear();
    view.text1 = c.oldExt;
    view.text2 = c.newExt;
    commands.WriteRenameScript();
    if (c.refusal) {
      EXPECT_THAT(platform.notices, ElementsAre(StopNotice(*c.refusal)));
      EXPECT_THAT(platform.writtenPaths, IsEmpty());
    } else {
      EXPECT_THAT(platform.writtenPaths, ElementsAre(L"D:\\duzaz\\tav.bat"));
    }
  }
}

TEST_F(CommandsTest, StartInFixedModeRefusesWhenTheWorkFolderIsMissing) {
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.WriteRenameScript();
  EXPECT_THAT(platform.notices, ElementsAre(StopNotice(L"没有找到D:\\duzaz文件夹，请单击创建。")));
  EXPECT_THAT(platform.writtenPaths, IsEmpty());
  EXPECT_THAT(platform.posts, IsEmpty());
}

// --- Start: the script ---

// A file in the folder, and the short 8.3 name the file system also matches it by.
struct FolderFile {
  std::wstring name;
  std::wstring shortName;
};

struct ScriptCase {
  std::wstring oldExt;
  std::wstring newExt;
  std::vector<FolderFile> files;
  std::string line;  // of the script, without CR LF; empty when the extensions are refused
  const wchar_t* refusal = kOldInvalid;  // the notice when they are
};

void PrintTo(const ScriptCase& c, std::ostream* os) {
  *os << ::testing::PrintToString(c.oldExt) << " / " << ::testing::PrintToString(c.newExt);
}

class StartScriptTest : public CommandsTest, public ::testing::WithParamInterface<ScriptCase> {};

TEST_P(StartScriptTest, WritesTheLineThatRenamesExactlyTheFilesOfTheOldExtension) {
  platform.AddFolder(L"D:\\duzaz");
  for (const auto& file : GetParam().files) {
    platform.AddFileWithShortName(L"D:\\duzaz\\" + file.name, file.shortName);
  }
  view.text1 = GetParam().oldExt;
  view.text2 = GetParam().newExt;
  commands.WriteRenameScript();
  if (GetParam().line.empty()) {
    EXPECT_THAT(platform.notices, ElementsAre(StopNotice(GetParam().refusal)));
    EXPECT_THAT(platform.writtenPaths, IsEmpty());
    EXPECT_THAT(platform.posts, IsEmpty());
    return;
  }
  EXPECT_THAT(platform.FileBytes(L"D:\\duzaz\\tav.bat"), Optional(GetParam().line + "\r\n"));
  EXPECT_THAT(platform.notices, ElementsAre(InfoNotice(L"请打开D:\\duzaz\\tav.bat并运行。")));
}

// report.docx is found by *.doc through its short name REPORT~1.DOC, d.doc.bak is not.
const std::vector<FolderFile> kDocFiles = {{L"a.doc", L""},
                                           {L"B.DOC", L""},
                                           {L"report.docx", L"REPORT~1.DOC"},
                                           {L"d.doc.bak", L"DDOC~1.BAK"}};

// A long listing of files of the old extension that ends with one found only through its short
// name.
std::vector<FolderFile> ManyDocFilesThenAShortNameMatch() {
  std::vector<FolderFile> files;
  for (int i = 0; i < 10000; ++i)
    files.push_back({L"f" + std::to_wstring(10000 + i) + L".doc", L""});
  files.push_back({L"x.docx", L"X~1.DOC"});
  return files;
}

std::string Plain(const std::string& rename) {
  return "pushd \"%~dp0\" && (" + rename + " & popd)";
}

INSTANTIATE_TEST_SUITE_P(
    Extensions, StartScriptTest,
    ::testing::Values(
        ScriptCase{L"txt", L"doc", {}, Plain("ren *.txt *.doc")},
        ScriptCase{L"doc",
                   L"txt",
                   {{L"a.doc", L""}, {L"d.doc.bak", L"DDOC~1.BAK"}},
                   Plain("ren *.doc *.txt")},
        ScriptCase{L"*", L"txt", kDocFiles, Plain("ren *.* *.txt")},
        ScriptCase{L".txt", L"doc", {{L"a..txt", L"A~1.TXT"}}, Plain("ren *..txt *.doc")},
        ScriptCase{L"tar.gz", L"tgz", {{L"a.tar.gz", L"ATAR~1.GZ"}}, Plain("ren *.tar.gz *.tgz")},
        ScriptCase{L"t?t", L"JPG", {{L"a.txt", L""}, {L"b.TXT", L""}}, Plain("ren *.t?t *.JPG")},
        ScriptCase{L"txt", L"文档", {{L"a.TXT", L""}}, Plain("ren *.txt *.\xCE\xC4\xB5\xB5")},
        ScriptCase{std::wstring(255, L'x'),
                   L"doc",
                   {},
                   Plain("ren *." + std::string(255, 'x') + " *.doc")},
        // Something found only through its short name: file by file, each renamed as the plain
        // line would rename it.
        ScriptCase{L"doc", L"txt", kDocFiles,
                   "pushd \"%~dp0\" && ((for %%f in (*.doc) do if /i \"%%~xf\"==\".doc\" ren "
                   "\"%%f\" \"%%~nf.txt\") & popd)"},
        ScriptCase{L"doc", L"txt", ManyDocFilesThenAShortNameMatch(),
                   "pushd \"%~dp0\" && ((for %%f in (*.doc) do if /i \"%%~xf\"==\".doc\" ren "
                   "\"%%f\" \"%%~nf.txt\") & popd)"},
        ScriptCase{L"txt",
                   L"?x",
                   {{L"a.txt", L""}, {L"b.txtx", L"B~1.TXT"}},
                   "pushd \"%~dp0\" && ((for %%f in (*.txt) do if /i \"%%~xf\"==\".txt\" ren "
                   "\"%%f\" \"%%~nf.?x\") & popd)"},
        ScriptCase{L"doc", L"bak.txt", kDocFiles,
                   "pushd \"%~dp0\" && ((for %%f in (*.doc) do if /i \"%%~xf\"==\".doc\" ren "
                   "\"%%f\" \"%%~nf.bak.txt\") & popd)"},
        // No one line renames exactly the files of a wildcard extension (*.doc* also finds
        // d.doc.bak), nor one whose new names the loop would find and rename again: the notice
        // names the box that is the reason.
        ScriptCase{L"do?", L"txt", kDocFiles, ""}, ScriptCase{L"*c", L"txt", kDocFiles, ""},
        ScriptCase{L"doc*", L"txt", kDocFiles, ""},
        ScriptCase{L"doc", L"x.DOC", kDocFiles, "", kNewInvalid},
        ScriptCase{L"doc", L"bak.doc", kDocFiles, "", kNewInvalid},
        ScriptCase{L"doc", L"x.d?c", kDocFiles, "", kNewInvalid},
        ScriptCase{L"doc", L"bak.*", kDocFiles, "", kNewInvalid},
        ScriptCase{L"do?", L"x.doc", kDocFiles, ""}));

TEST_F(CommandsTest, StartInFixedModeTypesSeventeenCodesThenReturnAfterTheNotice) {
  platform.AddFolder(L"D:\\duzaz");
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.WriteRenameScript();

  std::vector<PostedChar> expected;
  for (const wchar_t ch : std::wstring_view(L"explorer D:\\duzaz")) {
    expected.push_back({platform.consoleWindow, ch});
  }
  expected.push_back({platform.consoleWindow, 13});
  EXPECT_EQ(expected.size(), 18u);
  EXPECT_EQ(platform.posts, expected);
  EXPECT_EQ(state.ConsoleWnd, platform.consoleWindow);
  EXPECT_EQ(state.ConsoleLine, L"explorer D:\\duzaz");
  EXPECT_LT(JournalIndex(L"NoticeBox 请打开D:\\duzaz\\tav.bat并运行。"),
            JournalIndex(L"ConsoleWindows"));
}

TEST_F(CommandsTest, StartRunTwiceLeavesOnlyTheSecondLine) {
  platform.AddFolder(L"D:\\duzaz");
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.WriteRenameScript();
  view.text2 = L"md";
  commands.WriteRenameScript();
  EXPECT_THAT(platform.FileBytes(L"D:\\duzaz\\tav.bat"),
              Optional(std::string("pushd \"%~dp0\" && (ren *.txt *.md & popd)\r\n")));
}

TEST_F(CommandsTest, StartInChosenModeWritesIntoThePickedFilesFolder) {
  platform.AddFolder(L"C:\\data");
  Pick(L"C:\\data\\photo.JPG");
  view.text2 = L"png";
  commands.WriteRenameScript();
  EXPECT_THAT(platform.writtenPaths, ElementsAre(L"C:\\data\\tav.bat"));
  EXPECT_THAT(platform.FileBytes(L"C:\\data\\tav.bat"),
              Optional(std::string("pushd \"%~dp0\" && (ren *.JPG *.png & popd)\r\n")));
  EXPECT_THAT(platform.notices, ElementsAre(InfoNotice(L"请打开C:\\data\\tav.bat并运行。")));
  EXPECT_EQ(state.ConsoleLine, L"explorer C:\\data");
  EXPECT_EQ(JournalIndex(L"FirstMatch D:\\duzaz"), std::ssize(journal));
}

TEST_F(CommandsTest, StartForAFileInADriveRootUsesTheBareDrive) {
  Pick(L"C:\\a.txt");
  view.text2 = L"doc";
  commands.WriteRenameScript();
  EXPECT_THAT(platform.writtenPaths, ElementsAre(L"C:\\tav.bat"));
  EXPECT_EQ(state.ConsoleLine, L"explorer C:");
  EXPECT_EQ(PostedCodes().back(), 13);
}

TEST_F(CommandsTest, TheConsoleReceivesTheFolderAsItIsNamedOrNothing) {
  // What the console's window receives, one message per character. 億 (83 7C), 俙 (82 60) and
  // 乗 (81 5C) have an ASCII trail byte: | ` and \. With UTF-8 as the ANSI code page (an option
  // of Windows 10 1903 and later) GetCPInfo reports characters of up to 4 bytes and no lead
  // bytes, and the system cannot make a posted character of more than one byte Unicode again:
  // é (C3 A9) would arrive as something else, so only ASCII is typed there.
  const struct {
    std::wstring folder;
    std::wstring received;
    unsigned codePage = 936;
  } cases[] = {
      {L"C:\\数据", L"explorer C:\\数据\r"},
      {L"C:\\x億calc", L"explorer C:\\x億calc\r"},
      {L"C:\\俙", L"explorer C:\\俙\r"},
      {L"C:\\乗", L"explorer C:\\乗\r"},
      {L"C:\\新建 文件夹", L"explorer \"C:\\新建 文件夹\"\r"},
      {L"C:\\新建\u3000文件夹", L"explorer \"C:\\新建\u3000文件夹\"\r"},
      {L"C:\\Summer 2022", L"explorer \"C:\\Summer 2022\"\r", 65001},
      {L"C:\\café", L"", 65001},
      {L"C:\\Жук", L"", 65001},
      {L"C:\\数据", L"", 65001},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    platform.posts.clear();
    platform.ansiCodePage = c.codePage;
    platform.AddFolder(c.folder);
    Pick(c.folder + L"\\a.txt");
    view.text2 = L"doc";
    commands.WriteRenameScript();
    EXPECT_EQ(test::ReceivedText(PostedCodes()), c.received);
    EXPECT_EQ(platform.posts.size(), c.received.size());
  }
}

TEST_F(CommandsTest, StartQuotesAFolderTheInterpreterWouldSplit) {
  platform.AddFolder(L"C:\\R&D");
  Pick(L"C:\\R&D\\a.txt");
  view.text2 = L"doc";
  commands.WriteRenameScript();
  std::vector<std::int32_t> expected(std::begin(L"explorer \"C:\\R&D\""),
                                     std::end(L"explorer \"C:\\R&D\"") - 1);
  expected.push_back(13);
  EXPECT_EQ(PostedCodes(), expected);
}

TEST_F(CommandsTest, StartTypesNothingForAFolderTheConsoleWouldMisread) {
  // No exact ANSI form, or a part an interpreter expands or runs even inside quotes: the script
  // is written and named, but nothing is typed.
  for (const std::wstring folder : {L"C:\\한국", L"C:\\p%PATH%q", L"C:\\x\\$(calc)", L"C:\\a`b",
                                    L"C:\\$env", L"C:\\a”;calc;“"}) {
    SCOPED_TRACE(folder);
    platform.notices.clear();
    platform.posts.clear();
    platform.AddFolder(folder);
    Pick(folder + L"\\a.txt");
    view.text2 = L"doc";
    commands.WriteRenameScript();
    EXPECT_THAT(platform.FileBytes(folder + L"\\tav.bat"),
                Optional(std::string("pushd \"%~dp0\" && (ren *.txt *.doc & popd)\r\n")));
    EXPECT_THAT(platform.notices,
                ElementsAre(InfoNotice(L"请打开" + folder + L"\\tav.bat并运行。")));
    EXPECT_EQ(state.ConsoleWnd, 0u);
    EXPECT_EQ(state.ConsoleLine, ExplorerCommand(folder));
    EXPECT_THAT(platform.posts, IsEmpty());
  }
}

TEST_F(CommandsTest, StartTypesNothingOnceTheWindowClosedDuringTheNotice) {
  platform.AddFolder(L"D:\\duzaz");
  view.text1 = L"txt";
  view.text2 = L"doc";
  platform.whileNoticeOpen = [this] { view.closed = true; };
  commands.WriteRenameScript();
  EXPECT_THAT(platform.FileBytes(L"D:\\duzaz\\tav.bat"),
              Optional(std::string("pushd \"%~dp0\" && (ren *.txt *.doc & popd)\r\n")));
  EXPECT_THAT(platform.posts, IsEmpty());
  EXPECT_THAT(journal, ::testing::Not(::testing::Contains(L"ConsoleWindows")));
}

TEST_F(CommandsTest, StartTypesNothingWhenNoConsoleIsVisible) {
  platform.AddFolder(L"D:\\duzaz");
  platform.consoles[0].shown = false;
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.WriteRenameScript();
  EXPECT_THAT(platform.notices, ElementsAre(InfoNotice(L"请打开D:\\duzaz\\tav.bat并运行。")));
  EXPECT_THAT(platform.posts, IsEmpty());
  EXPECT_EQ(state.ConsoleWnd, 0u);
  EXPECT_EQ(state.ConsoleLine, L"explorer D:\\duzaz");
}

// The system drops posts to the console of a program run as administrator (user interface
// privilege isolation, PostMessage's documentation) and may report success all the same; a
// console on another virtual desktop is shown but cloaked. Neither is a console to type into.
TEST_F(CommandsTest, TheLineGoesToTheFirstConsoleTheUserSeesThatTakesIt) {
  constexpr WindowHandle kFirst = 0x1001;
  constexpr WindowHandle kSecond = 0x1002;
  const std::wstring whole = L"explorer D:\\duzaz\r";
  const struct {
    const char* what;
    test::FakeConsole first;
    std::wstring toFirst;
    std::wstring toSecond;
    test::FakeConsole second = {.window = kSecond};
  } cases[] = {
      {"the first takes it", {.window = kFirst}, whole, L""},
      {"the first hidden", {.window = kFirst, .shown = false}, L"", whole},
      {"the first on another desktop", {.window = kFirst, .cloaked = true}, L"", whole},
      {"the first run as administrator", {.window = kFirst, .above = true}, L"", whole},
      {"the first refuses the first post", {.window = kFirst, .refuses = 0}, L"", whole},
      {"the first refuses the second post", {.window = kFirst, .refuses = 1}, L"e", L""},
      {"the first refuses the Enter", {.window = kFirst, .refuses = 17}, whole.substr(0, 17), L""},
      {"all refuse",
       {.window = kFirst, .refuses = 0},
       L"",
       L"",
       {.window = kSecond, .above = true}},
  };
  platform.AddFolder(L"D:\\duzaz");
  view.text1 = L"txt";
  view.text2 = L"doc";
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform.notices.clear();
    platform.posts.clear();
    platform.consoles = {c.first, c.second};
    commands.WriteRenameScript();
    EXPECT_EQ(test::ReceivedText(PostedCodes(kFirst)), c.toFirst);
    EXPECT_EQ(test::ReceivedText(PostedCodes(kSecond)), c.toSecond);
    const WindowHandle typedInto = !c.toFirst.empty() ? kFirst : !c.toSecond.empty() ? kSecond : 0;
    EXPECT_EQ(state.ConsoleWnd, typedInto);
    EXPECT_THAT(platform.notices, ElementsAre(InfoNotice(L"请打开D:\\duzaz\\tav.bat并运行。")));
  }
}

TEST_F(CommandsTest, StartReportsAFailedWriteAndStops) {
  platform.AddFolder(L"C:\\data");
  Pick(L"C:\\data\\a.txt");
  view.text2 = L"doc";
  platform.Fail(Op::WriteScriptLine, {5, L"拒绝访问。"});
  commands.WriteRenameScript();
  EXPECT_THAT(platform.notices,
              ElementsAre(StopNotice(L"无法写入C:\\data\\tav.bat。错误 5：拒绝访问。")));
  EXPECT_THAT(platform.posts, IsEmpty());
  EXPECT_EQ(state.ConsoleLine, L"");
}

TEST_F(CommandsTest, StartReportsAWorkFolderThatIsAFile) {
  platform.AddFile(L"D:\\duzaz");
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.WriteRenameScript();
  EXPECT_THAT(
      platform.notices,
      ElementsAre(StopNotice(L"无法写入D:\\duzaz\\tav.bat。错误 3：系统找不到指定的路径。")));
  EXPECT_THAT(platform.posts, IsEmpty());
}

// --- Directory ---

struct PickedName {
  std::wstring name;
  std::wstring workDir;
  std::wstring text1;
};

void PrintTo(const PickedName& p, std::ostream* os) { *os << ::testing::PrintToString(p.name); }

class DirectoryTest : public CommandsTest, public ::testing::WithParamInterface<PickedName> {};

TEST_P(DirectoryTest, DerivesTheFolderAndTheOldExtension) {
  // A name taken from outside the dialog (a dropped file) goes the same way as a picked one.
  for (const bool picked : {true, false}) {
    SCOPED_TRACE(picked ? "picked with 目录" : "taken without the dialog");
    state = {};
    view.text1 = L"old";
    view.text2 = L"new";
    if (picked) {
      Pick(GetParam().name);
    } else {
      commands.UseChosenFile(GetParam().name);
    }
    EXPECT_EQ(state.FilePath, GetParam().name);
    EXPECT_EQ(state.WorkDir, GetParam().workDir);
    EXPECT_EQ(view.text1, GetParam().text1);
    EXPECT_EQ(view.text2, L"new");
    EXPECT_THAT(platform.notices, IsEmpty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Names, DirectoryTest,
    ::testing::Values(PickedName{L"C:\\data\\photo.JPG", L"C:\\data", L"JPG"},
                      PickedName{L"C:\\photo.jpg", L"C:", L"jpg"},
                      PickedName{L"C:\\data\\README", L"C:\\data", L"README"},
                      PickedName{L"C:\\data\\a.tar.gz", L"C:\\data", L"gz"},
                      PickedName{L"C:\\data\\abc.", L"C:\\data", L""},
                      PickedName{L"\\\\server\\share\\f.txt", L"\\\\server\\share", L"txt"},
                      PickedName{L"C:\\a\\\\b\\f.txt", L"C:\\a\\\\b", L"txt"},
                      PickedName{L"C:\\文件\\报告.文档", L"C:\\文件", L"文档"},
                      PickedName{L"C:\\data\\", L"C:\\data", L"old"},
                      PickedName{L"f.txt", L"", L"txt"}, PickedName{L"C:/data/f.txt", L"", L"txt"},
                      PickedName{L"", L"", L"old"}));

TEST_F(CommandsTest, ACancelledDialogReturnsToTheWorkFolder) {
  Pick(L"C:\\data\\a.txt");
  EXPECT_EQ(StatusText(state), L"当前目录 C:\\data");
  Pick(L"");
  EXPECT_FALSE(InChosenFolderMode(state));
  EXPECT_EQ(StatusText(state), L"当前目录 D:\\duzaz");
}

TEST_F(CommandsTest, ADialogThatCannotBeShownIsReportedAndChangesNothing) {
  Pick(L"C:\\data\\a.txt");
  view.text1 = L"jpg";
  platform.Fail(Op::PickFile, {126, L"找不到指定的模块。"});
  commands.AnalyseChosenFile();
  EXPECT_THAT(platform.notices,
              ElementsAre(StopNotice(L"无法打开文件对话框。错误 126：找不到指定的模块。")));
  EXPECT_EQ(state.FilePath, L"C:\\data\\a.txt");
  EXPECT_EQ(state.WorkDir, L"C:\\data");
  EXPECT_EQ(view.text1, L"jpg");
}

// --- a path dropped on the window or named on the command line ---

struct OutsidePath {
  std::wstring path;  // as dropped or named
  std::wstring filePath;
  std::wstring workDir;
  std::wstring text1;  // afterwards; "old" when it keeps its text
};

void PrintTo(const OutsidePath& p, std::ostream* os) { *os << ::testing::PrintToString(p.path); }

class OutsidePathTest : public CommandsTest, public ::testing::WithParamInterface<OutsidePath> {
 protected:
  void SetUp() override {
    for (const wchar_t* folder : {L"C:\\data", L"C:\\work", L"C:\\文件", L"\\\\server\\share"}) {
      platform.AddFolder(folder);
    }
    for (const wchar_t* file : {L"C:\\data\\photo.JPG", L"C:\\data\\README", L"C:\\work\\notes.txt",
                                L"C:\\文件\\报告.文档", L"\\\\server\\share\\f.txt"}) {
      platform.AddFile(file);
    }
    view.text1 = L"old";
    view.text2 = L"new";
  }

  void ExpectTaken() {
    EXPECT_EQ(state.FilePath, GetParam().filePath);
    EXPECT_EQ(state.WorkDir, GetParam().workDir);
    EXPECT_EQ(StatusText(state), L"当前目录 " + GetParam().workDir);
    EXPECT_EQ(view.text1, GetParam().text1);
    EXPECT_EQ(view.text2, L"new");
    EXPECT_THAT(platform.notices, IsEmpty());
  }
};

TEST_P(OutsidePathTest, ADroppedFileIsTakenAsPickedAndADroppedFolderAsTheWorkFolder) {
  commands.OpenDroppedPath(GetParam().path);
  ExpectTaken();
}

TEST_P(OutsidePathTest, APathOnTheCommandLineIsTakenAfterStartUpAsADroppedOne) {
  commands.OnStartup();
  commands.OpenArgumentPath(GetParam().path);
  ExpectTaken();
}

INSTANTIATE_TEST_SUITE_P(
    Paths, OutsidePathTest,
    ::testing::Values(
        OutsidePath{L"C:\\data\\photo.JPG", L"C:\\data\\photo.JPG", L"C:\\data", L"JPG"},
        OutsidePath{L"C:\\data\\README", L"C:\\data\\README", L"C:\\data", L"README"},
        OutsidePath{L"C:\\文件\\报告.文档", L"C:\\文件\\报告.文档", L"C:\\文件", L"文档"},
        OutsidePath{L"\\\\server\\share\\f.txt", L"\\\\server\\share\\f.txt", L"\\\\server\\share",
                    L"txt"},
        OutsidePath{L"notes.txt", L"C:\\work\\notes.txt", L"C:\\work", L"txt"},
        OutsidePath{L"C:\\data", L"C:\\data", L"C:\\data", L"old"},
        OutsidePath{L"C:\\data\\", L"C:\\data\\", L"C:\\data", L"old"},
        OutsidePath{L"C:\\", L"C:\\", L"C:", L"old"},
        OutsidePath{L"\\\\server\\share", L"\\\\server\\share", L"\\\\server\\share", L"old"}));

TEST_F(CommandsTest, ADroppedPathWhereNothingIsChangesNothing) {
  platform.AddFolder(L"C:\\data");
  Pick(L"C:\\data\\a.txt");
  for (const wchar_t* path : {L"C:\\data\\gone.txt", L"C:\\gone\\", L"gone.txt"}) {
    SCOPED_TRACE(path);
    view.text1 = L"jpg";
    commands.OpenDroppedPath(path);
    EXPECT_EQ(state.FilePath, L"C:\\data\\a.txt");
    EXPECT_EQ(state.WorkDir, L"C:\\data");
    EXPECT_EQ(view.text1, L"jpg");
    EXPECT_THAT(platform.notices, IsEmpty());
  }
}

TEST_F(CommandsTest, AMissingPathOnTheCommandLineIsNamedAndTheWorkFolderStays) {
  for (const std::wstring path : {L"C:\\gone.txt", L"gone.txt", L"C:\\gone\\"}) {
    SCOPED_TRACE(path);
    platform.notices.clear();
    view.text1 = L"old";
    commands.OnStartup();
    commands.OpenArgumentPath(path);
    EXPECT_THAT(platform.notices, ElementsAre(StopNotice(L"没有找到" + path + L"。")));
    EXPECT_FALSE(InChosenFolderMode(state));
    EXPECT_EQ(StatusText(state), L"当前目录 D:\\duzaz");
    EXPECT_EQ(view.text1, L"old");
  }
}

TEST_F(CommandsTest, APathThatCannotBeExaminedIsReportedAndChangesNothing) {
  const std::pair<const char*, void (Commands::*)(const std::wstring&)> ways[] = {
      {"dropped", &Commands::OpenDroppedPath},
      {"on the command line", &Commands::OpenArgumentPath}};
  for (const auto& [what, command] : ways) {
    SCOPED_TRACE(what);
    Pick(L"C:\\data\\a.txt");
    view.text1 = L"txt";
    platform.notices.clear();
    platform.Fail(Op::ExaminePath, {21, L"设备未就绪。"});
    (commands.*command)(L"E:\\b.log");
    EXPECT_THAT(platform.notices,
                ElementsAre(StopNotice(L"无法读取E:\\b.log。错误 21：设备未就绪。")));
    EXPECT_EQ(state.FilePath, L"C:\\data\\a.txt");
    EXPECT_EQ(state.WorkDir, L"C:\\data");
    EXPECT_EQ(view.text1, L"txt");
  }
}

TEST_F(CommandsTest, StartAndClearWorkInADroppedFolder) {
  const struct {
    std::wstring dropped;
    std::wstring script;
    std::wstring typed;
  } cases[] = {
      {L"C:\\data\\", L"C:\\data\\tav.bat", L"explorer C:\\data"},
      {L"C:\\", L"C:\\tav.bat", L"explorer C:"},
  };
  platform.AddFolder(L"C:\\data");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dropped);
    platform.notices.clear();
    platform.recycled.clear();
    view.text1 = L"txt";
    view.text2 = L"doc";
    commands.OpenDroppedPath(c.dropped);
    commands.WriteRenameScript();
    EXPECT_THAT(platform.FileBytes(c.script),
                Optional(std::string("pushd \"%~dp0\" && (ren *.txt *.doc & popd)\r\n")));
    EXPECT_THAT(platform.notices, ElementsAre(InfoNotice(L"请打开" + c.script + L"并运行。")));
    EXPECT_EQ(state.ConsoleLine, c.typed);
    commands.ClearScripts();
    EXPECT_EQ(platform.FileBytes(c.script), std::nullopt);
    EXPECT_EQ(view.text1, L"");
  }
}

// --- the status label ---

// The window brings the label up to date after every command and writes it only when its caption
// changes; nothing else ever writes it.
TEST_F(CommandsTest, TheStatusLabelFollowsEveryModeChangeAndIsWrittenOnlyOnAChange) {
  enum class Action { Pick, DialogFails, Start, Create, Clear };
  const struct {
    const wchar_t* what;
    Action action;
    std::wstring answer;                  // what the Open dialog reports, for Pick
    std::optional<std::wstring> written;  // what the label gets; nothing when it is not written
  } steps[] = {
      {L"a dialog failure before any pick", Action::DialogFails, L"", std::nullopt},
      {L"a cancel before any pick", Action::Pick, L"", std::nullopt},
      {L"a pick", Action::Pick, L"C:\\data\\a.txt", L"当前目录 C:\\data"},
      {L"a pick in the same folder", Action::Pick, L"C:\\data\\b.jpg", std::nullopt},
      {L"a dialog failure after a pick", Action::DialogFails, L"", std::nullopt},
      {L"开始 in the chosen folder", Action::Start, L"", std::nullopt},
      {L"创建 in chosen-folder mode", Action::Create, L"", std::nullopt},
      {L"清除 in the chosen folder", Action::Clear, L"", std::nullopt},
      {L"a pick in another folder", Action::Pick, L"C:\\photos\\c.JPG", L"当前目录 C:\\photos"},
      {L"a cancel", Action::Pick, L"", L"当前目录 D:\\duzaz"},
      {L"a second cancel", Action::Pick, L"", std::nullopt},
      {L"清除 in the work folder", Action::Clear, L"", std::nullopt},
      {L"a pick in the work folder itself", Action::Pick, L"D:\\duzaz\\d.txt", std::nullopt},
      {L"a name without a folder", Action::Pick, L"e.txt", L"当前目录 "},
      {L"a dialog failure in a folderless mode", Action::DialogFails, L"", std::nullopt},
      {L"a cancel after it", Action::Pick, L"", L"当前目录 D:\\duzaz"},
  };
  platform.AddFolder(L"D:\\duzaz");
  view.text2 = L"new";
  commands.OnStartup();
  std::wstring shown = L"当前目录 D:\\duzaz";  // the label's caption when the window is created
  EXPECT_FALSE(UpdateStatusText(state, shown)) << "after start-up";
  for (const auto& step : steps) {
    SCOPED_TRACE(step.what);
    switch (step.action) {
      case Action::Pick:
        platform.Recover(Op::PickFile);
        Pick(step.answer);
        break;
      case Action::DialogFails:
        platform.Fail(Op::PickFile, {126, L"找不到指定的模块。"});
        commands.AnalyseChosenFile();
        break;
      case Action::Start:
        commands.WriteRenameScript();
        break;
      case Action::Create:
        commands.CreateWorkFolder();
        break;
      case Action::Clear:
        commands.ClearScripts();
        break;
    }
    std::optional<std::wstring> written;
    if (UpdateStatusText(state, shown)) written = shown;
    EXPECT_EQ(written, step.written);
    EXPECT_EQ(shown, StatusText(state));
  }
}

// --- Create ---

TEST_F(CommandsTest, CreateMakesTheWorkFolderOnceAndThenRefuses) {
  commands.CreateWorkFolder();
  EXPECT_THAT(platform.madeFolders, ElementsAre(L"D:\\duzaz"));
  EXPECT_THAT(platform.notices, IsEmpty());
  commands.CreateWorkFolder();
  EXPECT_THAT(platform.madeFolders, ElementsAre(L"D:\\duzaz"));
  EXPECT_THAT(platform.notices, ElementsAre(StopNotice(L"D:\\duzaz文件夹已存在。")));
}

TEST_F(CommandsTest, CreateRefusesWhenAFileHasTheWorkFoldersName) {
  platform.AddFile(L"D:\\duzaz");
  commands.CreateWorkFolder();
  EXPECT_THAT(platform.madeFolders, IsEmpty());
  EXPECT_THAT(platform.notices, ElementsAre(StopNotice(L"D:\\duzaz文件夹已存在。")));
}

TEST_F(CommandsTest, CreateUsesTheWorkFolderInChosenModeAndKeepsTheMode) {
  Pick(L"C:\\data\\a.txt");
  commands.CreateWorkFolder();
  EXPECT_THAT(platform.madeFolders, ElementsAre(L"D:\\duzaz"));
  EXPECT_EQ(state.FilePath, L"C:\\data\\a.txt");
  EXPECT_EQ(state.WorkDir, L"C:\\data");
}

TEST_F(CommandsTest, CreateReportsAFailure) {
  platform.Fail(Op::MakeFolder, {3, L"系统找不到指定的路径。"});
  commands.CreateWorkFolder();
  EXPECT_THAT(platform.notices,
              ElementsAre(StopNotice(L"无法创建D:\\duzaz文件夹。错误 3：系统找不到指定的路径。")));
}

// --- Clear ---

TEST_F(CommandsTest, ClearRemovesTheScriptsThenEmptiesBothBoxes) {
  platform.AddFolder(L"D:\\duzaz");
  platform.AddFile(L"D:\\duzaz\\tav.bat");
  platform.AddFile(L"D:\\duzaz\\TAV.txt");
  platform.AddFile(L"D:\\duzaz\\tav");
  platform.AddFile(L"D:\\duzaz\\photo.txt");
  platform.AddFile(L"D:\\duzaz\\tavern.bat");
  view.text1 = L"txt";
  view.text2 = L"doc";
  commands.ClearScripts();
  EXPECT_THAT(platform.recycled, ElementsAre(L"D:\\duzaz\\tav.*"));
  EXPECT_FALSE(platform.Exists(L"D:\\duzaz\\tav.bat"));
  EXPECT_FALSE(platform.Exists(L"D:\\duzaz\\TAV.txt"));
  EXPECT_FALSE(platform.Exists(L"D:\\duzaz\\tav"));
  EXPECT_TRUE(platform.Exists(L"D:\\duzaz\\photo.txt"));
  EXPECT_TRUE(platform.Exists(L"D:\\duzaz\\tavern.bat"));
  EXPECT_EQ(view.text1, L"");
  EXPECT_EQ(view.text2, L"");
  EXPECT_THAT(platform.notices, IsEmpty());
  const auto removed = JournalIndex(L"RecycleMatching D:\\duzaz\\tav.*");
  EXPECT_EQ(JournalIndex(L"SetText1 "), removed + 1);
  EXPECT_EQ(JournalIndex(L"SetText2 "), removed + 2);
}

TEST_F(CommandsTest, ClearInChosenModeLeavesTheWorkFolderAndTheModeAlone) {
  platform.AddFolder(L"C:\\data");
  platform.AddFile(L"C:\\data\\tav.bat");
  platform.AddFolder(L"D:\\duzaz");
  platform.AddFile(L"D:\\duzaz\\tav.bat");
  Pick(L"C:\\data\\a.txt");
  commands.ClearScripts();
  EXPECT_THAT(platform.recycled, ElementsAre(L"C:\\data\\tav.*"));
  EXPECT_FALSE(platform.Exists(L"C:\\data\\tav.bat"));
  EXPECT_TRUE(platform.Exists(L"D:\\duzaz\\tav.bat"));
  EXPECT_EQ(state.FilePath, L"C:\\data\\a.txt");
  EXPECT_EQ(state.WorkDir, L"C:\\data");
}

TEST_F(CommandsTest, ClearWithNothingToDeleteKeepsTheBoxes) {
  const struct {
    std::wstring picked;
    std::wstring notice;
  } cases[] = {
      {L"", L"没有找到D:\\duzaz\\tav.*文件！"},
      {L"C:\\data\\a.txt", L"没有找到C:\\data\\tav.*文件！"},
  };
  for (const auto& c : cases) {
    platform.notices.clear();
    Pick(c.picked);
    view.text1 = L"txt";
    view.text2 = L"doc";
    commands.ClearScripts();
    EXPECT_THAT(platform.notices, ElementsAre(StopNotice(c.notice)));
    EXPECT_THAT(platform.recycled, IsEmpty());
    EXPECT_EQ(view.text1, L"txt");
    EXPECT_EQ(view.text2, L"doc");
  }
}

TEST_F(CommandsTest, ClearReportsAFailedMoveAndKeepsTheBoxes) {
  const std::wstring inUse = L"另一个程序正在使用此文件，进程无法访问。";
  const struct {
    const char* what;
    std::wstring picked;
    std::optional<OpStatus> failure;  // forced on the move; none lets the fake decide
    std::wstring notice;
  } cases[] = {
      // tav.* finds only a folder, and folders are never moved.
      {"only a folder matches", L"C:\\data\\a.txt", std::nullopt,
       L"无法删除C:\\data\\tav.*文件。错误 2：系统找不到指定的文件。"},
      {"a failure that names no file", L"", OpStatus{32, inUse},
       L"无法删除D:\\duzaz\\tav.*文件。错误 32：" + inUse},
      {"a failure at one file", L"", OpStatus{32, inUse, L"D:\\duzaz\\tav.bat"},
       L"无法删除D:\\duzaz\\tav.bat文件。错误 32：" + inUse},
  };
  platform.AddFolder(L"C:\\data");
  platform.AddFolder(L"C:\\data\\tav.old");
  platform.AddFolder(L"D:\\duzaz");
  platform.AddFile(L"D:\\duzaz\\tav.bat");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pick(c.picked);
    platform.notices.clear();
    journal.clear();
    if (c.failure) platform.Fail(Op::RecycleMatching, *c.failure);
    view.text1 = L"txt";
    view.text2 = L"doc";
    commands.ClearScripts();
    EXPECT_THAT(platform.notices, ElementsAre(StopNotice(c.notice)));
    EXPECT_TRUE(platform.IsFolder(L"C:\\data\\tav.old"));
    EXPECT_EQ(view.text1, L"txt");
    EXPECT_EQ(view.text2, L"doc");
    EXPECT_THAT(journal, ::testing::Not(::testing::Contains(L"SetText1 ")));
    platform.Recover(Op::RecycleMatching);
  }
}

// --- a folder that cannot be read ---

TEST_F(CommandsTest, AFolderThatCannotBeReadIsReportedAndNothingElseHappens) {
  const OpStatus denied{5, L"拒绝访问。"};
  const struct {
    const char* what;
    std::wstring picked;
    void (Commands::*command)();
    Op failing;
    std::wstring notice;
  } cases[] = {
      {"开始", L"", &Commands::WriteRenameScript, Op::FirstMatch,
       L"无法读取D:\\duzaz。错误 5：拒绝访问。"},
      {"开始, its listing", L"", &Commands::WriteRenameScript, Op::FirstMatchThat,
       L"无法读取D:\\duzaz。错误 5：拒绝访问。"},
      {"开始 in chosen-folder mode, its listing", L"C:\\data\\a.txt", &Commands::WriteRenameScript,
       Op::FirstMatchThat, L"无法读取C:\\data。错误 5：拒绝访问。"},
      {"创建", L"", &Commands::CreateWorkFolder, Op::FirstMatch,
       L"无法读取D:\\duzaz。错误 5：拒绝访问。"},
      {"创建 in chosen-folder mode", L"C:\\data\\a.txt", &Commands::CreateWorkFolder,
       Op::FirstMatch, L"无法读取D:\\duzaz。错误 5：拒绝访问。"},
      {"清除", L"", &Commands::ClearScripts, Op::FirstMatch,
       L"无法读取D:\\duzaz。错误 5：拒绝访问。"},
      {"清除 in chosen-folder mode", L"C:\\data\\a.txt", &Commands::ClearScripts, Op::FirstMatch,
       L"无法读取C:\\data。错误 5：拒绝访问。"},
  };
  platform.AddFolder(L"D:\\duzaz");
  platform.AddFile(L"D:\\duzaz\\tav.bat");
  platform.AddFolder(L"C:\\data");
  platform.AddFile(L"C:\\data\\tav.bat");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Pick(c.picked);
    platform.notices.clear();
    platform.Fail(c.failing, denied);
    view.text1 = L"txt";
    view.text2 = L"doc";
    (commands.*c.command)();
    EXPECT_THAT(platform.notices, ElementsAre(StopNotice(c.notice)));
    EXPECT_THAT(platform.writtenPaths, IsEmpty());
    EXPECT_THAT(platform.madeFolders, IsEmpty());
    EXPECT_THAT(platform.recycled, IsEmpty());
    EXPECT_THAT(platform.posts, IsEmpty());
    EXPECT_EQ(view.text1, L"txt");
    EXPECT_EQ(view.text2, L"doc");
    EXPECT_EQ(state.FilePath, c.picked);
    platform.Recover(c.failing);
  }
}

}  // namespace
}  // namespace tav
