// The Start command with any two extensions, in either mode: it refuses exactly the extensions
// the rules refuse, writes the rule's line, which the script's bytes read back as, and types the
// folder-opening line into the console exactly when the rules let it, so that the console
// receives that very line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "console_codes.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "gbk.h"
#include "workflow/commands.h"
#include "workflow/rules.h"

namespace tav::fuzz {
namespace {

// The fake platform, keeping each line handed to WriteScriptLine as text.
class RecordingPlatform : public test::FakePlatform {
 public:
  using FakePlatform::FakePlatform;

  OpStatus WriteScriptLine(const std::wstring& path, const std::wstring& line) override {
    lines.push_back(line);
    return FakePlatform::WriteScriptLine(path, line);
  }

  std::vector<std::wstring> lines;
};

// An extension the script can hold: none of its characters changes the line, and GBK holds it.
bool Acceptable(const std::wstring& ext) {
  return HasOnlyAllowedCharacters(ext) && ExactlyInGbk(ext);
}

bool OnlyStopNotice(const RecordingPlatform& platform, const std::wstring& text) {
  return platform.notices.size() == 1 && platform.notices[0].text == text &&
         platform.notices[0].icon == Icon::Stop && platform.lines.empty() && platform.posts.empty();
}

void CheckWrittenScript(const RecordingPlatform& platform, const std::wstring& path,
                        const std::wstring& oldExt, const std::wstring& newExt) {
  // The folder holds nothing that *.old finds, so the plain line renames exactly the files of
  // the old extension.
  FUZZ_CHECK(platform.lines.size() == 1);
  FUZZ_CHECK(platform.lines[0] == PlainScriptLine(oldExt, newExt));
  FUZZ_CHECK(platform.writtenPaths.size() == 1 && platform.writtenPaths[0] == path);

  const auto bytes = platform.FileBytes(path);
  if (!bytes) return;  // the folder was missing: a failure notice, checked by the caller
  FUZZ_CHECK(bytes->size() >= 2 && bytes->ends_with("\r\n"));
  const std::string body = bytes->substr(0, bytes->size() - 2);
  FUZZ_CHECK(std::none_of(body.begin(), body.end(),
                          [](char b) { return static_cast<unsigned char>(b) < 0x20; }));
  FUZZ_CHECK(test::FromGbk(body) == platform.lines[0]);
}

void CheckTyping(const RecordingPlatform& platform, const FormState& state,
                 const std::wstring& folder) {
  // The line opens the folder, in double quotes where an interpreter would split or reinterpret
  // it otherwise.
  const std::wstring shown = NeedsQuotesOnCommandLine(folder) ? L"\"" + folder + L"\"" : folder;
  const std::wstring& line = state.ConsoleLine;
  FUZZ_CHECK(line == L"explorer " + shown);
  // Typed exactly when each character reaches the console as itself and no interpreter would
  // expand, run or unquote a part of the line.
  if (!ExactlyInGbk(line) || QuotesCannotProtect(line)) {
    FUZZ_CHECK(platform.posts.empty());
    return;
  }
  FUZZ_CHECK(!platform.posts.empty() && platform.posts.back().code == 13);
  std::vector<std::int32_t> codes;
  for (std::size_t i = 0; i + 1 < platform.posts.size(); ++i) {
    FUZZ_CHECK(platform.posts[i].window == platform.consoleWindow);
    codes.push_back(platform.posts[i].code);
  }
  CheckConsoleReceives(codes, line);
}

// Input fields: old extension, new extension, and, when present, the folder of a picked file
// (chosen-folder mode); without a third field the fixed working folder is used.
void CheckStart(const std::vector<std::wstring>& fields) {
  const std::wstring oldExt = FieldAt(fields, 0);
  const std::wstring newExt = FieldAt(fields, 1);
  const bool chosen = fields.size() >= 3;
  const std::wstring folder = chosen ? fields[2] : L"D:\\duzaz";

  test::Journal journal;
  RecordingPlatform platform(journal);
  test::FakeView view(journal);
  FormState state;
  if (chosen) {
    state.FilePath = folder + L"\\picked.txt";
    state.WorkDir = folder;
  }
  platform.AddFolder(folder);
  view.text1 = oldExt;
  view.text2 = newExt;

  Commands(state, view, platform).WriteRenameScript();

  FUZZ_CHECK(view.text1 == oldExt && view.text2 == newExt);
  if (oldExt.empty()) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"请输入修改前的扩展名。"));
    return;
  }
  if (newExt.empty()) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"请输入修改后的扩展名。"));
    return;
  }
  if (IsTooLongForExtension(oldExt)) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"修改前的扩展名太长。"));
    return;
  }
  if (IsTooLongForExtension(newExt)) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"修改后的扩展名太长。"));
    return;
  }
  if (!Acceptable(oldExt)) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"修改前的扩展名含有无效字符。"));
    return;
  }
  if (!Acceptable(newExt)) {
    FUZZ_CHECK(OnlyStopNotice(platform, L"修改后的扩展名含有无效字符。"));
    return;
  }

  const std::wstring path = folder + L"\\tav.bat";
  CheckWrittenScript(platform, path, oldExt, newExt);
  FUZZ_CHECK(platform.notices.size() == 1);
  if (!platform.FileBytes(path)) {
    FUZZ_CHECK(platform.notices[0].icon == Icon::Stop && platform.posts.empty());
    return;
  }
  FUZZ_CHECK(platform.notices[0].text == L"请打开" + path + L"并运行。");
  FUZZ_CHECK(platform.notices[0].icon == Icon::Information);
  CheckTyping(platform, state, folder);
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tav::fuzz::CheckStart(tav::fuzz::Fields(data, size));
  return 0;
}
