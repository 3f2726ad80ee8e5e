// The platform operations written against the Win32 API.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "platform/win32_handles.h"

namespace tav {

// Paths at least this long get the extended-length prefix: CreateDirectoryW refuses a folder
// path that leaves no room for an 8.3 file name below MAX_PATH.
inline constexpr std::size_t kLongPathThreshold = MAX_PATH - 12;

// Adds the extended-length prefix (\\?\ or \\?\UNC\) to a long, absolute, backslash-separated
// path so that the file functions accept it beyond MAX_PATH. Short, relative and already
// prefixed paths come back unchanged.
std::wstring WithLongPathPrefix(std::wstring_view fullPath);

// The description of a system error number, without trailing line breaks and blanks.
std::wstring SystemErrorText(DWORD error);

class Win32Platform final : public Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The window that owns the notices and the Open dialog.
  void SetOwner(HWND owner) { owner_ = owner; }

  void NoticeBox(const std::wstring& text, const std::wstring& title, Icon icon) override;
  PickedFile PickFile() override;
  FoundEntry FirstMatch(const std::wstring& pattern) override;
  MatchList ListMatches(const std::wstring& pattern) override;
  PathEntry ExaminePath(const std::wstring& path) override;
  OpStatus MakeFolder(const std::wstring& path) override;
  OpStatus DeleteMatching(const std::wstring& pattern) override;
  OpStatus WriteScriptLine(const std::wstring& path, const std::wstring& line) override;
  OpStatus LaunchHidden(const std::wstring& commandLine) override;
  WindowHandle FindConsoleWindow() override;
  void PostChar(WindowHandle window, std::int32_t code) override;
  bool ConsoleReadsAnsi() override;
  std::optional<std::string> ToAnsi(std::wstring_view text) override;

  // The first path of a drop (WM_DROPFILES), empty when it holds none; the drop is released
  // either way.
  std::wstring TakeFirstDroppedPath(HDROP drop);

 private:
  using GetOpenFileNameFn = BOOL(WINAPI*)(OPENFILENAMEW*);
  using CommDlgExtendedErrorFn = DWORD(WINAPI*)();
  using DragQueryFileFn = UINT(WINAPI*)(HDROP, UINT, LPWSTR, UINT);
  using DragFinishFn = void(WINAPI*)(HDROP);

  // The Open dialog's library is loaded the first time the dialog is needed, not at start-up:
  // most runs never open it. False, with the reason in GetLastError, when it cannot be loaded.
  bool LoadOpenDialog();
  // The shell's library, which reads a drop, is loaded when the first drop arrives.
  bool LoadDropReader();

  HWND owner_ = nullptr;
  win32::UniqueModule commonDialogs_;
  GetOpenFileNameFn getOpenFileName_ = nullptr;
  CommDlgExtendedErrorFn dialogError_ = nullptr;
  win32::UniqueModule shell_;
  DragQueryFileFn dragQueryFile_ = nullptr;
  DragFinishFn dragFinish_ = nullptr;
};

}  // namespace tav
