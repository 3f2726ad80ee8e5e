#include "workflow/form_state.h"

#include <utility>

namespace tav {

std::wstring ModeFolder(const FormState& state) {
  return InChosenFolderMode(state) ? state.WorkDir : std::wstring(kWorkFolder);
}

std::wstring StatusText(const FormState& state) { return L"当前目录 " + ModeFolder(state); }

bool UpdateStatusText(const FormState& state, std::wstring& shown) {
  std::wstring text = StatusText(state);
  if (text == shown) return false;
  shown = std::move(text);
  return true;
}

}  // namespace tav
