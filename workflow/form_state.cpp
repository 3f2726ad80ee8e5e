#include "workflow/form_state.h"

namespace tav {

std::wstring StatusText(const FormState& state) {
  return std::wstring(L"当前目录 ") + (InChosenFolderMode(state) ? state.WorkDir : kWorkFolder);
}

}  // namespace tav
