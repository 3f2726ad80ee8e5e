// Test doubles: a platform with an in-memory file system that records every call, and a form
// view with two strings. Both append to one shared journal so tests can check the order of steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "workflow/form_view.h"

namespace tav::test {

using Journal = std::vector<std::wstring>;

struct Notice {
  std::wstring text;
  std::wstring title;
  Icon icon;
  bool operator==(const Notice&) const = default;
};

// A console window as the workflow sees it through the platform.
struct FakeConsole {
  WindowHandle window;
  bool shown = true;
  bool cloaked = false;  // on another virtual desktop
  bool above = false;    // its program runs at a higher integrity level (as administrator)
  // The one post, counted from 0, that it refuses (its queue full, say); it takes all others.
  std::size_t refuses = SIZE_MAX;
  std::size_t offered = 0;  // posts so far
};

struct PostedChar {
  WindowHandle window;
  std::int32_t code;
  bool operator==(const PostedChar&) const = default;
};

enum class Op {
  PickFile,
  FirstMatch,
  FirstMatchThat,
  ExaminePath,
  MakeFolder,
  RecycleMatching,
  WriteScriptLine,
  LaunchHidden
};

class FakePlatform : public Platform {
 public:
  explicit FakePlatform(Journal& journal) : journal_(journal) {}

  // The fake file system. Drive roots ("C:") always exist; other paths are full Windows paths.
  void AddFolder(const std::wstring& path) { entries_[path] = Entry{true, {}, {}}; }
  void AddFile(const std::wstring& path, std::string bytes = {}) {
    entries_[path] = Entry{false, std::move(bytes), {}};
  }
  // A file that also has a short 8.3 name, which listings match as the file system does.
  void AddFileWithShortName(const std::wstring& path, const std::wstring& shortName) {
    entries_[path] = Entry{false, {}, shortName};
  }
  bool Exists(const std::wstring& path) const { return entries_.contains(path); }
  bool IsFolder(const std::wstring& path) const;
  std::optional<std::string> FileBytes(const std::wstring& path) const;

  // Makes every later call of op fail with status.
  void Fail(Op op, OpStatus status) { failures_[op] = std::move(status); }
  // Lets later calls of op work again.
  void Recover(Op op) { failures_.erase(op); }

  std::wstring pickAnswer;
  // Where a relative path is taken from.
  std::wstring currentFolder = L"C:\\work";
  // Runs while a notice is open, as the user's other actions would.
  std::function<void()> whileNoticeOpen;
  // The console window that the user sees, first in the window order unless a test says more.
  static constexpr WindowHandle consoleWindow = 0x2A0F6;
  // The console windows, frontmost first.
  std::vector<FakeConsole> consoles{{consoleWindow}};
  // 936 (GBK) as on Chinese Windows, or 65001 where Windows uses UTF-8 as its ANSI code page.
  unsigned ansiCodePage = 936;
  // Whether the console's code page is the ANSI one, as on Chinese Windows.
  bool consoleReadsAnsi = true;

  std::vector<Notice> notices;
  std::vector<std::wstring> writtenPaths;
  std::vector<std::wstring> madeFolders;
  // The patterns whose files were to go to the Recycle Bin.
  std::vector<std::wstring> recycled;
  std::vector<std::wstring> launches;
  std::vector<PostedChar> posts;

  void NoticeBox(const std::wstring& text, const std::wstring& title, Icon icon) override;
  PickedFile PickFile() override;
  FoundEntry FirstMatch(const std::wstring& pattern) override;
  FoundEntry FirstMatchThat(const std::wstring& pattern,
                            const std::function<bool(std::wstring_view)>& test) override;
  PathEntry ExaminePath(const std::wstring& path) override;
  OpStatus MakeFolder(const std::wstring& path) override;
  OpStatus RecycleMatching(const std::wstring& pattern) override;
  OpStatus WriteScriptLine(const std::wstring& path, const std::wstring& line) override;
  OpStatus LaunchHidden(const std::wstring& commandLine) override;
  std::vector<WindowHandle> ConsoleWindows() override;
  bool IsShown(WindowHandle window) override { return Console(window).shown; }
  bool IsCloaked(WindowHandle window) override { return Console(window).cloaked; }
  bool RunsAboveThisProgram(WindowHandle window) override { return Console(window).above; }
  bool PostChar(WindowHandle window, std::int32_t code) override;
  unsigned AnsiMaxCharBytes() override { return ansiCodePage == 65001 ? 4 : 2; }
  bool ConsoleReadsAnsi() override { return consoleReadsAnsi; }
  std::optional<std::string> ToAnsi(std::wstring_view text) override;

 private:
  struct Entry {
    bool folder;
    std::string bytes;
    std::wstring shortName;
  };

  FakeConsole& Console(WindowHandle window);
  std::optional<OpStatus> ForcedFailure(Op op) const;
  bool FolderExists(const std::wstring& path) const;
  std::vector<std::wstring> Matches(const std::wstring& pattern) const;

  Journal& journal_;
  std::map<std::wstring, Entry> entries_;
  std::map<Op, OpStatus> failures_;
};

class FakeView : public FormView {
 public:
  explicit FakeView(Journal& journal) : journal_(journal) {}

  std::wstring Text1() const override { return text1; }
  void SetText1(const std::wstring& text) override;
  std::wstring Text2() const override { return text2; }
  void SetText2(const std::wstring& text) override;
  bool Closed() const override { return closed; }

  std::wstring text1;
  std::wstring text2;
  bool closed = false;

 private:
  Journal& journal_;
};

}  // namespace tav::test
