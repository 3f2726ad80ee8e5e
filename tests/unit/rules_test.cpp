#include "workflow/rules.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "gbk.h"
#include "workflow/form_state.h"

namespace tav {
namespace {

using ::testing::ElementsAre;
using ::testing::Optional;

TEST(ExtensionRules, RefusesCharactersThatChangeTheRenameLine) {
  for (const wchar_t ch : std::wstring_view(L" \\/:\"<>|&^%,;=\t\r\n\x01\x1F\x7F\x85")) {
    SCOPED_TRACE(static_cast<int>(ch));
    EXPECT_TRUE(IsForbiddenInExtension(ch));
  }
  EXPECT_TRUE(IsForbiddenInExtension(L'\0'));
}

TEST(ExtensionRules, AllowsWildcardsDotsAndOtherCharacters) {
  for (const wchar_t ch : std::wstring_view(L"*?.-_~()[]{}!@#$'`+aZ09文档　€")) {
    SCOPED_TRACE(static_cast<int>(ch));
    EXPECT_FALSE(IsForbiddenInExtension(ch));
  }
  EXPECT_TRUE(HasOnlyAllowedCharacters(L"..tar.*?"));
  EXPECT_FALSE(HasOnlyAllowedCharacters(L"txt "));
  EXPECT_FALSE(HasOnlyAllowedCharacters(L"t&t"));
}

TEST(ExtensionRules, RenameLineKeepsBothExtensionsVerbatim) {
  EXPECT_EQ(RenameLine(L"txt", L"doc"), L"ren *.txt *.doc");
  EXPECT_EQ(RenameLine(L"*", L"txt"), L"ren *.* *.txt");
  EXPECT_EQ(RenameLine(L".txt", L"..doc"), L"ren *..txt *...doc");
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
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::wstring(c.folder));
    EXPECT_EQ(ExplorerCommand(c.folder), c.command);
  }
}

TEST(CharCode, SingleBytesAreUnsignedAndDoubleBytesSignExtended) {
  const struct {
    std::string_view bytes;
    std::optional<std::int32_t> code;
  } cases[] = {
      {std::string_view("\0", 1), 0},
      {"A", 65},
      {"\x80", 128},
      {"\xFF", 255},
      {"\xCB\xCE", static_cast<std::int32_t>(0xFFFFCBCEu)},  // 宋
      {"\x81\x40", -32448},
      {"\x7F\xFF", 32767},
      {"", std::nullopt},
      {"\x81\x30\x81\x30", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes.size());
    EXPECT_EQ(CharCodeFromAnsi(c.bytes), c.code);
  }
  EXPECT_EQ(CharCodeFromAnsi("\xCB\xCE"), -13362);
}

TEST(ConsoleCodesRule, OneCodePerCharacterInTheGbkCodePage) {
  const AnsiEncoder gbk = test::ToGbk;
  EXPECT_THAT(
      ConsoleCodes(L"C:\\宋体", gbk),
      Optional(ElementsAre('C', ':', '\\', -13362, static_cast<std::int32_t>(0xFFFFCCE5u))));
  EXPECT_THAT(ConsoleCodes(L"", gbk), Optional(ElementsAre()));
  EXPECT_EQ(ConsoleCodes(L"C:\\한", gbk), std::nullopt);
}

TEST(ConsoleCodesRule, RefusesCharactersWithoutOneOrTwoBytes) {
  const AnsiEncoder utf8Like = [](std::wstring_view text) -> std::optional<std::string> {
    return text == L"€" ? std::optional<std::string>("\xE2\x82\xAC") : std::string(1, 'x');
  };
  EXPECT_EQ(ConsoleCodes(L"a€", utf8Like), std::nullopt);
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

}  // namespace
}  // namespace tav
