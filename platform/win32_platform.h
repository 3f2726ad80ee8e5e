// The platform operations written against the Win32 API.
#pragma once

#include <windows.h>

#include <commdlg.h>
#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

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

// From now on every DLL that this process loads by its bare name, by the program or by Windows'
// own code on its behalf (the Open dialog, the shell), is looked for in the system folder and in
// the folders that code loaded into the process adds for its own DLLs (with AddDllDirectory, as
// input methods and shell extensions do), and nowhere else: one of that name planted in the
// program's folder or in the current folder (a Downloads folder, say) is never loaded. Call it
// before anything else can load a DLL. False, changing nothing, where this Windows lacks the call
// (Windows 7 without update KB2533623).
bool LimitDllSearchToTrustedFolders();

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
  FoundEntry FirstMatchThat(const std::wstring& pattern,
                            const std::function<bool(std::wstring_view)>& test) override;
  PathEntry ExaminePath(const std::wstring& path) override;
  OpStatus MakeFolder(const std::wstring& path) override;
  OpStatus RecycleMatching(const std::wstring& pattern) override;
  OpStatus WriteScriptLine(const std::wstring& path, const std::wstring& line) override;
  OpStatus LaunchHidden(const std::wstring& commandLine) override;
  std::vector<WindowHandle> ConsoleWindows() override;
  bool IsShown(WindowHandle window) override;
  bool IsCloaked(WindowHandle window) override;
  bool RunsAboveThisProgram(WindowHandle window) override;
  bool PostChar(WindowHandle window, std::int32_t code) override;
  unsigned AnsiMaxCharBytes() override;
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
  using SHFileOperationFn = int(WINAPI*)(SHFILEOPSTRUCTW*);
  using CoInitializeExFn = HRESULT(WINAPI*)(void*, DWORD);
  using CoUninitializeFn = void(WINAPI*)();
  using DwmGetWindowAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, void*, DWORD);

  // The Open dialog's library is loaded the first time the dialog is needed, not at start-up:
  // most runs never open it. False, with the reason in GetLastError, when it cannot be loaded.
  bool LoadOpenDialog();
  // The shell's library, which reads a drop and recycles files, is loaded when first needed.
  bool LoadShell();
  bool LoadDropReader();
  // The shell's file operation and COM, which it may need, are loaded when 清除 first runs.
  bool LoadRecycler();
  // The window manager's library, which tells a window on another virtual desktop, is loaded
  // when first needed, and only once tried; false where it cannot be loaded.
  bool LoadWindowManager();
  // Moves the file name in folder (absolute, plain, ending in a separator) to the Recycle Bin;
  // shown is its path as the user gave it, for the failure's text.
  OpStatus RecycleFile(const std::wstring& folder, const std::wstring& name,
                       const std::wstring& shown);
  // Hands the one file at path to the shell's Recycle Bin; 0, or the system error it failed with.
  DWORD ShellRecycle(const std::wstring& path);

  HWND owner_ = nullptr;
  win32::UniqueModule commonDialogs_;
  GetOpenFileNameFn getOpenFileName_ = nullptr;
  CommDlgExtendedErrorFn dialogError_ = nullptr;
  win32::UniqueModule shell_;
  DragQueryFileFn dragQueryFile_ = nullptr;
  DragFinishFn dragFinish_ = nullptr;
  SHFileOperationFn shFileOperation_ = nullptr;
  win32::UniqueModule com_;
  CoInitializeExFn coInitializeEx_ = nullptr;
  CoUninitializeFn coUninitialize_ = nullptr;
  win32::UniqueModule windowManager_;
  DwmGetWindowAttributeFn dwmGetWindowAttribute_ = nullptr;
  bool windowManagerTried_ = false;
};

}  // namespace tav
