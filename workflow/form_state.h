// The state that every command shares, held by the main window for its whole life.
#pragma once

#include <string>

#include "platform/platform.h"

namespace tav {

// Fixed names and paths; none of them is configurable.
inline constexpr wchar_t kWorkFolder[] = L"D:\\duzaz";
inline constexpr wchar_t kWorkFolderScript[] = L"D:\\duzaz\\tav.bat";
inline constexpr wchar_t kScriptSuffix[] = L"\\tav.bat";
inline constexpr wchar_t kWorkFolderCleanPattern[] = L"D:\\duzaz\\tav.*";
inline constexpr wchar_t kCleanSuffix[] = L"\\tav.*";
inline constexpr wchar_t kNoticeTitle[] = L"提示";
inline constexpr wchar_t kStartupCommand[] = L"cmd.exe /c";

struct FormState {
  WindowHandle ConsoleWnd = 0;
  std::wstring ConsoleLine;
  // The file last picked with 目录, dropped or named on the command line, or a folder taken as a
  // whole; empty in fixed-folder mode.
  std::wstring FilePath;
  std::wstring WorkDir;  // the folder the commands work in: FilePath's, without a closing backslash
};

// Chosen-folder mode while a picked file is remembered; otherwise the fixed working folder.
inline bool InChosenFolderMode(const FormState& state) { return !state.FilePath.empty(); }

// The folder the Start and Clear commands work in: WorkDir in chosen-folder mode, otherwise the
// fixed working folder.
std::wstring ModeFolder(const FormState& state);

// The caption of the status label for the current mode.
std::wstring StatusText(const FormState& state);

// Brings shown, the caption the status label shows, up to the current mode. True when it
// changed, which is the only time the label needs writing.
bool UpdateStatusText(const FormState& state, std::wstring& shown);

}  // namespace tav
