// The Directory command with any name the Open dialog might report: the folder and the old
// extension it derives, and that it touches nothing else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "fuzz_support.h"
#include "workflow/commands.h"
#include "workflow/rules.h"

namespace tav::fuzz {
namespace {

// Input fields: the picked name, then the text that the old-extension box holds beforehand.
void CheckChosenFile(const std::wstring& name, const std::wstring& earlierText1) {
  test::Journal journal;
  test::FakePlatform platform(journal);
  test::FakeView view(journal);
  FormState state;
  state.FilePath = L"C:\\earlier\\pick.txt";
  state.WorkDir = L"C:\\earlier";
  view.text1 = earlierText1;
  view.text2 = L"doc";
  platform.pickAnswer = name;

  Commands(state, view, platform).AnalyseChosenFile();

  // The folder and the old extension come from the name by the rules, and lose nothing of it:
  // the folder and the file name after the last backslash make up the name, and the extension is
  // the end of the file name; a name without a file name leaves the box alone.
  const auto lastSlash = name.rfind(L'\\');
  const std::wstring fileName = lastSlash == std::wstring::npos ? name : name.substr(lastSlash + 1);
  const std::wstring folder = FolderOfPickedName(name);
  const auto ext = ExtensionOfPickedName(name);
  FUZZ_CHECK(state.FilePath == name);
  FUZZ_CHECK(state.WorkDir == folder);
  FUZZ_CHECK(lastSlash == std::wstring::npos ? folder.empty() : folder + L"\\" + fileName == name);
  FUZZ_CHECK(view.text1 == ext.value_or(earlierText1));
  FUZZ_CHECK(ext.has_value() == !fileName.empty());
  FUZZ_CHECK(!ext || fileName.ends_with(*ext));

  // The command shows nothing, runs no file operation and leaves the new extension alone.
  FUZZ_CHECK(view.text2 == L"doc");
  FUZZ_CHECK(platform.notices.empty());
  FUZZ_CHECK(platform.writtenPaths.empty() && platform.madeFolders.empty());
  FUZZ_CHECK(platform.recycled.empty() && platform.posts.empty());
  FUZZ_CHECK(!journal.empty() && journal.front() == L"PickFile");
  FUZZ_CHECK(journal.size() == (fileName.empty() ? 1u : 2u));
}

}  // namespace
}  // namespace tav::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto fields = tav::fuzz::Fields(data, size);
  tav::fuzz::CheckChosenFile(tav::fuzz::FieldAt(fields, 0), tav::fuzz::FieldAt(fields, 1));
  return 0;
}
