#include "workflow/form_state.h"

namespace tav {

std::wstring ModeFolder(const FormState& state) {
  return InChosenFolderMode(state) ? state.WorkDir : std::wstring(kWorkFolder);
}

std::wstring StatusText(const FormState& state) { return L"当前目录 " + ModeFolder(state); }

}  // namespace tav
