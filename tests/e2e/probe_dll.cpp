// tav_e2e_probe.dll: loaded into TAV.exe by the end-to-end driver, it answers the requests of
// probe_protocol.h from inside the program. TavProbe runs as a thread of TAV's, so it talks to
// the window through messages like any other thread would.
#include <windows.h>

#include <shlobj.h>

#include <cstring>
#include <string>

#include "tests/e2e/probe_protocol.h"

namespace {

using tav::e2e::kProbeTextChars;
using tav::e2e::ProbeBlock;
using tav::e2e::ProbeRequest;

constexpr UINT kSendTimeoutMs = 3000;

void AppendMenuLines(HMENU menu, int depth, std::wstring& out) {
  const int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    wchar_t caption[256] = {};
    MENUITEMINFOW item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING;
    item.dwTypeData = caption;
    item.cch = 256;
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item)) continue;
    const int id = item.hSubMenu ? -1 : static_cast<int>(item.wID);
    out += std::to_wstring(depth) + L"\t" + std::to_wstring(id) + L"\t" + caption + L"\n";
    if (item.hSubMenu) AppendMenuLines(item.hSubMenu, depth + 1, out);
  }
}

bool ReadMenu(HWND window, std::wstring& out) {
  const HMENU bar = GetMenu(window);
  if (!bar) return false;
  AppendMenuLines(bar, 0, out);
  return true;
}

bool ReadFont(HWND control, std::wstring& out) {
  DWORD_PTR font = 0;
  if (!SendMessageTimeoutW(control, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &font) ||
      font == 0) {
    return false;
  }
  LOGFONTW info = {};
  if (!GetObjectW(reinterpret_cast<HFONT>(font), sizeof info, &info)) return false;
  out = std::wstring(info.lfFaceName) + L"\t" + std::to_wstring(info.lfHeight) + L"\t" +
        std::to_wstring(info.lfCharSet) + L"\t" + std::to_wstring(info.lfWeight);
  return true;
}

// The drop data the shell hands a window: a DROPFILES header followed by the paths, each ended by
// a null character, and one more null character at the end.
bool DropFiles(HWND window, const wchar_t* paths) {
  std::size_t length = 0;
  while (length + 1 < kProbeTextChars && (paths[length] != L'\0' || paths[length + 1] != L'\0')) {
    ++length;
  }
  const std::size_t chars = paths[0] == L'\0' ? 1 : length + 2;
  const HGLOBAL memory =
      GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, sizeof(DROPFILES) + (chars + 1) * sizeof(wchar_t));
  if (!memory) return false;
  auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
  if (!drop) {
    GlobalFree(memory);
    return false;
  }
  drop->pFiles = sizeof(DROPFILES);
  drop->pt = {10, 10};
  drop->fWide = TRUE;
  std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), paths, chars * sizeof(wchar_t));
  GlobalUnlock(memory);
  // Sent rather than posted, so that the driver knows when the window has taken the drop. The
  // window releases it with DragFinish, also when it is still at work after the time-out.
  DWORD_PTR result = 0;
  if (SendMessageTimeoutW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0, SMTO_NORMAL,
                          kSendTimeoutMs, &result) ||
      GetLastError() == ERROR_TIMEOUT) {
    return true;
  }
  GlobalFree(memory);
  return false;
}

}  // namespace

// Exported by probe_dll.def under its plain name, also where stdcall names are decorated (32-bit).
extern "C" DWORD WINAPI TavProbe(void* parameter) {
  auto* block = static_cast<ProbeBlock*>(parameter);
  const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(block->window));
  std::wstring answer;
  bool done = false;
  switch (block->request) {
    case ProbeRequest::ReadMenu:
      done = ReadMenu(window, answer);
      break;
    case ProbeRequest::ReadFont:
      done = ReadFont(window, answer);
      break;
    case ProbeRequest::DropFiles:
      done = DropFiles(window, block->text);
      break;
  }
  if (!done) return 0;
  const std::size_t size = answer.size() < kProbeTextChars ? answer.size() : kProbeTextChars - 1;
  std::memcpy(block->text, answer.data(), size * sizeof(wchar_t));
  block->text[size] = L'\0';
  block->answered = 1;
  return 1;
}
