// Start-up and the four commands of the rename workflow. Each runs to its end on the caller's
// thread; a refused request or a failed operation is answered with a stop notice, never a crash.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "workflow/form_state.h"
#include "workflow/form_view.h"

namespace tav {

class Commands {
 public:
  Commands(FormState& state, FormView& view, Platform& platform)
      : state_(state), view_(view), platform_(platform) {}

  void OnStartup();
  void WriteRenameScript();  // 开始
  void AnalyseChosenFile();  // 菜单 ▸ 目录
  void CreateWorkFolder();   // 菜单 ▸ 创建
  void ClearScripts();       // 菜单 ▸ 清除

  // Takes name as the Directory command takes the name the Open dialog reports.
  void UseChosenFile(const std::wstring& name);
  // Makes folder the work folder of chosen-folder mode; Text1 keeps its text.
  void ChooseFolder(const std::wstring& folder);
  // A path dropped on the window: a file is taken as if picked with 目录, a folder becomes the
  // work folder, and a path where nothing is changes nothing.
  void OpenDroppedPath(const std::wstring& path);
  // The path named on the command line: as a dropped one, but a path where nothing is gets a stop
  // notice.
  void OpenArgumentPath(const std::wstring& path);

  // Types line and a carriage return into the first console window that the user can see and
  // that takes the line; with none, or where the console could not read the line as it is,
  // types nothing.
  void TypeIntoConsole(const std::wstring& line);

 private:
  // Whether anything matches pattern in folder; nullopt, after a stop notice, when the folder
  // could not be read.
  std::optional<bool> AnyMatch(const std::wstring& pattern, const std::wstring& folder);

  // The rename script's line for folder: the plain one where *.old finds only files of the old
  // extension, otherwise one that renames file by file. nullopt, after a stop notice, when the
  // folder could not be read or no line renames exactly those files.
  std::optional<std::wstring> ScriptLine(const std::wstring& folder, const std::wstring& oldExt,
                                         const std::wstring& newExt);

  // The WM_CHAR codes of line, or nullopt where a console would not read it as it is.
  std::optional<std::vector<std::int32_t>> CodesToType(const std::wstring& line);
  // Whether the user can see the console and the system lets this program type into it.
  bool CanTypeInto(WindowHandle console);

  // Takes a file or a folder at path; what was there, or nullopt, after a stop notice, when the
  // path could not be examined.
  std::optional<PathKind> TakePath(const std::wstring& path);

  FormState& state_;
  FormView& view_;
  Platform& platform_;
};

}  // namespace tav
