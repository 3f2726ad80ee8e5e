#include "workflow/rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "gbk.h"
#include "platform/message_inserts.h"
#include "workflow/form_state.h"

namespace tav {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

TEST(ExtensionRules, RefusesCharactersThatChangeTheRenameLine) {
  for (const wchar_t ch : std::wstring_view(L" \\/:\"<>|&^%,;=()\t\r\n\x01\x1F\x7F\x85")) {
    SCOPED_TRACE(static_cast<int>(ch));
    EXPECT_TRUE(IsForbiddenInExtension(ch));
  }
  EXPECT_TRUE(IsForbiddenInExtension(L'\0'));
}

TEST(ExtensionRules, AllowsWildcardsDotsAndOtherCharacters) {
  for (const wchar_t ch : std::wstring_view(L"*?.-_~[]{}!@#$'`+aZ09文档　€")) {
    SCOPED_TRACE(static_cast<int>(ch));
    EXPECT_FALSE(IsForbiddenInExtension(ch));
  }
  EXPECT_TRUE(HasOnlyAllowedCharacters(L"..tar.*?"));
  EXPECT_FALSE(HasOnlyAllowedCharacters(L"txt "));
  EXPECT_FALSE(HasOnlyAllowedCharacters(L"t&t"));
}

TEST(ExtensionRules, AnEntryCarriesTheOldExtensionByItsOwnNameOnly) {
  const struct {
    std::wstring_view name;
    std::wstring_view oldExt;
    bool carries;
  } cases[] = {
      {L"a.doc", L"doc", true},          {L"B.DOC", L"doc", true},
      {L"report.docx", L"doc", false},   {L"d.doc.bak", L"doc", false},
      {L"a.b.doc", L"doc", true},        {L"doc", L"doc", false},
      {L"报告.ＤＯＣ", L"ｄｏｃ", true}, {L"x.Ä", L"ä", true},
      {L"README", L"*", true},           {L"q.abc.x", L"ab*", false},
      {L"q.abz", L"ab*", true},          {L"a.tx", L"tx?", true},
      {L"a.tt", L"t?t", false},          {L"a.tar.gz", L"tar.gz", true},
      {L"a.tar.gzip", L"tar.gz", false}, {L"a..txt", L".txt", true},
      {L"a.txt", L".txt", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CarriesExtension(c.name, c.oldExt), c.carries)
        << std::wstring(c.name) << " / " << std::wstring(c.oldExt);
  }
}

TEST(ExplorerCommandRule, QuotesFoldersTheInterpreterWouldSplitOrReinterpret) {
  const struct {
    std::wstring_view folder;
    std::wstring_view command;
  } cases[] = {
      {L"D:\\duzaz", L"explorer D:\\duzaz"},
      {L"C:", L"explorer C:"},
      {L"\\\\server\\share", L"explorer \\\\server\\share"},
      {L"C:\\宋体", L"explorer C:\\宋体"},
      {L"C:\\R&D", L"explorer \"C:\\R&D\""},
      {L"C:\\Program Files (x86)", L"explorer \"C:\\Program Files (x86)\""},
      {L"C:\\a|b", L"explorer \"C:\\a|b\""},
      {L"C:\\a<b>", L"explorer \"C:\\a<b>\""},
      {L"C:\\a^b", L"explorer \"C:\\a^b\""},
      {L"C:\\(x)", L"explorer \"C:\\(x)\""},
      {L"C:\\%PATH%", L"explorer \"C:\\%PATH%\""},
      {L"C:\\hi!", L"explorer \"C:\\hi!\""},
      {L"C:\\a,b", L"explorer \"C:\\a,b\""},
      {L"C:\\a;b", L"explorer \"C:\\a;b\""},
      {L"C:\\a=b", L"explorer \"C:\\a=b\""},
      {L"C:\\it's", L"explorer \"C:\\it's\""},
      {L"C:\\{x}", L"explorer \"C:\\{x}\""},
      {L"C:\\@home", L"explorer \"C:\\@home\""},
      {L"C:\\#1", L"explorer \"C:\\#1\""},
      {L"C:\\a-b_c~d+e[f]", L"explorer C:\\a-b_c~d+e[f]"},
      {L"C:\\新建\u3000文件夹", L"explorer \"C:\\新建\u3000文件夹\""},
      {L"C:\\a\u00A0b", L"explorer \"C:\\a\u00A0b\""},
      {L"C:\\a\u1680b", L"explorer \"C:\\a\u1680b\""},
      {L"C:\\a\u2000b", L"explorer \"C:\\a\u2000b\""},
      {L"C:\\a\u200Ab", L"explorer \"C:\\a\u200Ab\""},
      {L"C:\\a\u202Fb", L"explorer \"C:\\a\u202Fb\""},
      {L"C:\\a\u205Fb", L"explorer \"C:\\a\u205Fb\""},
      {L"C:\\a\u200Bb", L"explorer C:\\a\u200Bb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.folder));
    EXPECT_EQ(ExplorerCommand(c.folder), c.command);
  }
}

TEST(ExplorerCommandRule, LinesAnInterpreterExpandsOrUnquotesAreNotTypeable) {
  for (const std::wstring_view line :
       {L"explorer \"C:\\p%PATH%q\"", L"explorer C:\\x\\$(calc)", L"explorer C:\\a`b",
        L"explorer \"C:\\a”;calc;“\"", L"explorer C:\\‘x", L"explorer C:\\’x", L"explorer C:\\‚x",
        L"explorer C:\\‛x", L"explorer C:\\„x"}) {
    EXPECT_TRUE(QuotesCannotProtect(line)) << std::wstring(line);
  }
  for (const std::wstring_view line :
       {L"explorer D:\\duzaz", L"explorer \"C:\\R&D!^\"", L"explorer C:\\a\u2017\u201Fb"}) {
    EXPECT_FALSE(QuotesCannotProtect(line)) << std::wstring(line);
  }
}

TEST(CommandLineRule, ThePathIsTheFirstArgumentAsTheRuntimeReadsIt) {
  const struct {
    std::wstring_view line;
    std::optional<std::wstring> path;
  } cases[] = {
      {L"", std::nullopt},
      {L"TAV.exe", std::nullopt},
      {L"TAV.exe  \t", std::nullopt},
      {L"\"C:\\Program Files\\TAV\\TAV.exe\"", std::nullopt},
      {L"TAV.exe \"\"", std::nullopt},
      {L"TAV.exe \"\" C:\\a.txt", std::nullopt},
      {L"TAV.exe C:\\data\\a.txt", L"C:\\data\\a.txt"},
      {L"\"C:\\Program Files\\TAV\\TAV.exe\" \"C:\\my docs\\a.txt\"", L"C:\\my docs\\a.txt"},
      {L"\"C:\\Program Files\\TAV.exe\"C:\\a.txt", std::nullopt},
      {L"TAV.exe\t\"C:\\a b\\c\"  second third", L"C:\\a b\\c"},
      {L"TAV.exe C:\\a.txt second", L"C:\\a.txt"},
      {L"TAV.exe C:\\my\" \"docs\\a.txt", L"C:\\my docs\\a.txt"},
      {L"TAV.exe \\\\server\\share\\f.txt", L"\\\\server\\share\\f.txt"},
      {L"TAV.exe \"C:\\数据\\报告.txt\"", L"C:\\数据\\报告.txt"},
      // Backslashes before a quote: an even run halves and the quote groups, an odd run halves
      // and keeps the quote.
      {L"TAV.exe C:\\a\\\\\"b c\"", L"C:\\a\\b c"},
      {L"TAV.exe a\\\"b", L"a\"b"},
      {L"TAV.exe \"a\"\"b\"", L"a\"b"},
      // A quoted path that ends with a backslash: the backslash escapes the closing quote.
      {L"TAV.exe \"C:\\\"", L"C:\\"},
      {L"TAV.exe \"C:\\my docs\\\"", L"C:\\my docs\\"},
      {L"TAV.exe \"C:\\my docs\\\\\"", L"C:\\my docs\\"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.line));
    EXPECT_EQ(PathArgument(c.line), c.path);
  }
}

TEST(FolderRule, AFolderLosesItsClosingBackslashes) {
  EXPECT_EQ(WithoutTrailingBackslashes(L"C:\\data\\"), L"C:\\data");
  EXPECT_EQ(WithoutTrailingBackslashes(L"C:\\data"), L"C:\\data");
  EXPECT_EQ(WithoutTrailingBackslashes(L"C:\\"), L"C:");
  EXPECT_EQ(WithoutTrailingBackslashes(L"\\\\server\\share\\\\"), L"\\\\server\\share");
  EXPECT_EQ(WithoutTrailingBackslashes(L"\\\\"), L"");
}

TEST(ConsoleCodesRule, TheConsoleReceivesEveryCharacterAsItIsInTheLine) {
  // Read back as the system reads a WM_CHAR, one message per character. A trail byte can be an
  // ASCII character: 億 is 83 7C ("|"), 俙 82 60 ("`"), 乗 81 5C ("\\").
  for (const std::wstring_view line :
       {L"explorer C:\\数据", L"explorer C:\\x億calc", L"explorer C:\\俙", L"explorer C:\\乗",
        L"explorer \"C:\\新建 文件夹\"", L"explorer \"C:\\新建\u3000文件夹\"", L"“C:\\”",
        L"explorer D:\\duzaz", L""}) {
    SCOPED_TRACE(std::wstring(line));
    const auto codes = ConsoleCodes(line, test::ToGbk);
    ASSERT_TRUE(codes.has_value());
    EXPECT_EQ(codes->size(), line.size());
    EXPECT_EQ(test::ReceivedText(*codes), line);
  }
  EXPECT_EQ(ConsoleCodes(L"C:\\한", test::ToGbk), std::nullopt);
}

TEST(ConsoleCodesRule, RefusesCharactersWithoutOneOrTwoBytes) {
  const AnsiEncoder utf8Like = [](std::wstring_view text) -> std::optional<std::string> {
    return text == L"€" ? std::optional<std::string>("\xE2\x82\xAC") : std::string(1, 'x');
  };
  EXPECT_EQ(ConsoleCodes(L"a€", utf8Like), std::nullopt);
  EXPECT_EQ(CharCodeFromAnsi(""), std::nullopt);
  EXPECT_EQ(CharCodeFromAnsi("\x81\x30\x81\x30"), std::nullopt);
}

TEST(FailureNoticeText, NamesTheErrorAndEndsWithASentenceMark) {
  const struct {
    OpStatus status;
    std::wstring_view text;
  } cases[] = {
      {{5, L"拒绝访问。"}, L"无法写入D:\\duzaz\\tav.bat。错误 5：拒绝访问。"},
      {{3, L"系统找不到指定的路径。\r\n"},
       L"无法写入D:\\duzaz\\tav.bat。错误 3：系统找不到指定的路径。"},
      {{5, L"Access is denied."}, L"无法写入D:\\duzaz\\tav.bat。错误 5：Access is denied。"},
      {{1, L"Incorrect function"}, L"无法写入D:\\duzaz\\tav.bat。错误 1：Incorrect function。"},
      {{32, L"文件被占用！"}, L"无法写入D:\\duzaz\\tav.bat。错误 32：文件被占用！"},
      {{87, L""}, L"无法写入D:\\duzaz\\tav.bat。错误 87。"},
      {{4294967295u, L" "}, L"无法写入D:\\duzaz\\tav.bat。错误 4294967295。"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status.error);
    EXPECT_EQ(FailureNotice(L"无法写入D:\\duzaz\\tav.bat", c.status), c.text);
  }
}

TEST(StatusLabel, NamesTheFolderOfTheCurrentMode) {
  EXPECT_EQ(StatusText(FormState{}), L"当前目录 D:\\duzaz");
  EXPECT_EQ(StatusText(FormState{0, {}, L"C:\\data\\a.txt", L"C:\\data"}), L"当前目录 C:\\data");
  EXPECT_EQ(StatusText(FormState{0, {}, L"a.txt", L""}), L"当前目录 ");
}

TEST(MessageInserts, NoSystemTextKeepsARawInsert) {
  const struct {
    std::wstring_view text;
    std::wstring_view filled;
  } cases[] = {
      {L"%1 不是有效的 Win32 应用程序。", L"C:\\cmd.exe 不是有效的 Win32 应用程序。"},
      {L"无法在 %1 上找到 %2。", L"无法在 C:\\cmd.exe 上找到 。"},
      {L"%1!s! 与 %12 和 %1", L"C:\\cmd.exe 与  和 C:\\cmd.exe"},
      {L"百分之 100%% 完成%.", L"百分之 100% 完成."},
      {L"第一行%n第二行%0多余", L"第一行 第二行"},
      {L"50% 与末尾 %", L"50% 与末尾 %"},
      {L"拒绝访问。", L"拒绝访问。"},
      {L"", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FillMessageInserts(c.text, L"C:\\cmd.exe"), c.filled) << std::wstring(c.text);
  }
}

const std::wstring kManyStars = L"*." + std::wstring(200, L'*') + L"x";
const std::wstring kLongName = std::wstring(120, L'a') + L"." + std::wstring(120, L'b');
const std::wstring kLongNameX = kLongName + L"x";

TEST(FilePatterns, MatchLikeTheFileSystem) {
  const struct {
    std::wstring_view pattern;
    std::wstring_view name;
    bool matches;
  } cases[] = {
      {L"tav.*", L"tav.bat", true},
      {L"tav.*", L"TAV.TXT", true},
      {L"tav.*", L"tav", true},
      {L"tav.*", L"tav.x.y", true},
      {L"tav.*", L"tavern", false},
      {L"tav.*", L"a.tav", false},
      {L"tav.*", L"tav2.bat", false},
      {L"*.*", L"README", true},
      {L"a?c", L"abc", true},
      {L"a?c", L"ac", false},
      {L"ab?", L"ab", true},
      {L"duzaz", L"DUZAZ", true},
      {L"duzaz", L"duzaz2", false},
      {L"*.doc", L"a.docx", false},
      {L"*.doc", L"A.DOC", true},
      {L"*.?", L"README", true},
      {L"a.b?", L"a.b", true},
      {L"*.t?t", L"x.tt", false},
      // An extension of many stars: decided at once, not by trying every way to split the name.
      {kManyStars, kLongName, false},
      {kManyStars, kLongNameX, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchesNamePattern(c.pattern, c.name), c.matches)
        << std::wstring(c.pattern) << " ~ " << std::wstring(c.name);
  }
}

}  // namespace
}  // namespace tav
