// Start-up and the four commands of the rename workflow. Each runs to its end on the caller's
// thread; a refused request or a failed operation is answered with a stop notice, never a crash.
#pragma once

#include <optional>
#include <string>

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

  // Types line and a carriage return into the first console window found.
  void TypeIntoConsole(const std::wstring& line);

 private:
  // Whether anything matches pattern in folder; nullopt, after a stop notice, when the folder
  // could not be read.
  std::optional<bool> AnyMatch(const std::wstring& pattern, const std::wstring& folder);

  FormState& state_;
  FormView& view_;
  Platform& platform_;
};

}  // namespace tav
