// tav_e2e_probe.dll: loaded into TAV.exe by the end-to-end driver, it answers the requests of
// probe_protocol.h from inside the program. It answers on a thread of its own in TAV, so it talks
// to the window through messages like any other thread would.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/e2e/probe_protocol.h"

namespace {

using tav::e2e::kProbeTextChars;
using tav::e2e::NoticeIcon;
using tav::e2e::ProbeBlock;
using tav::e2e::ProbeObjectName;
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

// An icon of the system's, loaded at a given size and destroyed with the owner.
class SizedSystemIcon {
 public:
  SizedSystemIcon(const wchar_t* id, int width, int height)
      : icon_(static_cast<HICON>(LoadImageW(nullptr, id, IMAGE_ICON, width, height, 0))) {}
  ~SizedSystemIcon() {
    if (icon_) DestroyIcon(icon_);
  }
  SizedSystemIcon(const SizedSystemIcon&) = delete;
  SizedSystemIcon& operator=(const SizedSystemIcon&) = delete;
  HICON get() const { return icon_; }

 private:
  HICON icon_;
};

// The icon's own size in pixels; {0, 0} when it cannot be read.
SIZE IconSize(HICON icon) {
  ICONINFO info = {};
  if (!GetIconInfo(icon, &info)) return {0, 0};
  BITMAP bitmap = {};
  const bool read = GetObjectW(info.hbmMask, sizeof bitmap, &bitmap) != 0;
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (!read) return {0, 0};
  // A mask without a colour bitmap holds the AND and the XOR mask one above the other.
  return {bitmap.bmWidth, info.hbmColor ? bitmap.bmHeight : bitmap.bmHeight / 2};
}

// The pixels of the icon drawn at size over a fixed background; empty when drawing fails.
std::vector<DWORD> DrawnPixels(HICON icon, SIZE size) {
  std::vector<DWORD> pixels;
  const HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return pixels;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = size.cx;
  info.bmiHeader.biHeight = -size.cy;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  const HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap && bits) {
    const HGDIOBJ previous = SelectObject(dc, bitmap);
    auto* data = static_cast<DWORD*>(bits);
    const std::size_t count = static_cast<std::size_t>(size.cx) * static_cast<std::size_t>(size.cy);
    std::fill(data, data + count, 0x00FF00FFu);
    if (DrawIconEx(dc, 0, 0, icon, size.cx, size.cy, 0, nullptr, DI_NORMAL)) {
      GdiFlush();
      pixels.assign(data, data + count);
    }
    SelectObject(dc, previous);
  }
  if (bitmap) DeleteObject(bitmap);
  DeleteDC(dc);
  return pixels;
}

// Alike when at most one pixel in fifty differs by more than a little in a colour: the same
// image scaled by two different routes differs in a few edge pixels, two different icons in many.
bool LookAlike(const std::vector<DWORD>& a, const std::vector<DWORD>& b) {
  if (a.empty() || a.size() != b.size()) return false;
  std::size_t different = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    for (int shift = 0; shift < 24; shift += 8) {
      const int delta =
          static_cast<int>((a[i] >> shift) & 0xFF) - static_cast<int>((b[i] >> shift) & 0xFF);
      if (delta > 24 || delta < -24) {
        ++different;
        break;
      }
    }
  }
  return different <= a.size() / 50;
}

struct SystemIcon {
  const wchar_t* id;
  NoticeIcon kind;
};

// The shown icon is the system's own when it is the very handle LoadIconW gives this process;
// otherwise Windows may have handed the box a copy of another size, so the pixels decide.
NoticeIcon RecogniseIcon(HICON shown) {
  const SystemIcon candidates[] = {
      {IDI_HAND, NoticeIcon::Stop},
      {IDI_ASTERISK, NoticeIcon::Information},
      {IDI_EXCLAMATION, NoticeIcon::Warning},
      {IDI_QUESTION, NoticeIcon::Question},
  };
  for (const auto& candidate : candidates) {
    if (shown == LoadIconW(nullptr, candidate.id)) return candidate.kind;
  }
  const SIZE size = IconSize(shown);
  if (size.cx <= 0 || size.cy <= 0) return NoticeIcon::Unknown;
  const std::vector<DWORD> pixels = DrawnPixels(shown, size);
  for (const auto& candidate : candidates) {
    const SizedSystemIcon icon(candidate.id, size.cx, size.cy);
    if (icon.get() && LookAlike(pixels, DrawnPixels(icon.get(), size))) return candidate.kind;
  }
  return NoticeIcon::Unknown;
}

bool ReadIcon(HWND control, std::wstring& out) {
  DWORD_PTR icon = 0;
  if (!SendMessageTimeoutW(control, STM_GETICON, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &icon)) {
    return false;
  }
  const NoticeIcon kind =
      icon == 0 ? NoticeIcon::None : RecogniseIcon(reinterpret_cast<HICON>(icon));
  out = std::to_wstring(static_cast<std::uint32_t>(kind));
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

bool LoadDll(const wchar_t* name, std::wstring& out) {
  const HMODULE module = LoadLibraryW(name);
  out = std::to_wstring(module ? 0 : GetLastError());
  if (module) FreeLibrary(module);
  return true;
}

bool AddDllFolder(const wchar_t* folder, std::wstring& out) {
  // Looked up, as TAV looks up SetDefaultDllDirectories.
  using AddDllDirectoryFn = void*(WINAPI*)(const wchar_t*);
  const FARPROC address = GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory");
  if (!address) {
    out = std::to_wstring(ERROR_PROC_NOT_FOUND);
    return true;
  }
  // Kept for the life of the process, as such code keeps its folder.
  const void* cookie = std::bit_cast<AddDllDirectoryFn>(address)(folder);
  out = std::to_wstring(cookie ? 0 : GetLastError());
  return true;
}

void Answer(ProbeBlock& block) {
  const HWND window = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(block.window));
  std::wstring answer;
  bool done = false;
  switch (block.request) {
    case ProbeRequest::ReadMenu:
      done = ReadMenu(window, answer);
      break;
    case ProbeRequest::ReadFont:
      done = ReadFont(window, answer);
      break;
    case ProbeRequest::DropFiles:
      done = DropFiles(window, block.text);
      break;
    case ProbeRequest::ReadIcon:
      done = ReadIcon(window, answer);
      break;
    case ProbeRequest::LoadDll:
      done = LoadDll(block.text, answer);
      break;
    case ProbeRequest::AddDllFolder:
      done = AddDllFolder(block.text, answer);
      break;
  }
  block.answered = 0;
  if (!done) return;
  const std::size_t size = answer.size() < kProbeTextChars ? answer.size() : kProbeTextChars - 1;
  std::memcpy(block.text, answer.data(), size * sizeof(wchar_t));
  block.text[size] = L'\0';
  block.answered = 1;
}

// The probe's end of what it shares with the driver. It lives as long as TAV does.
struct Channel {
  ProbeBlock* block = nullptr;
  HANDLE request = nullptr;
  HANDLE answer = nullptr;
};

DWORD WINAPI Serve(void* parameter) {
  const auto* channel = static_cast<const Channel*>(parameter);
  while (WaitForSingleObject(channel->request, INFINITE) == WAIT_OBJECT_0) {
    Answer(*channel->block);
    SetEvent(channel->answer);
  }
  return 0;
}

HANDLE OpenProbeEvent(DWORD processId, const wchar_t* what) {
  return OpenEventW(SYNCHRONIZE | EVENT_MODIFY_STATE, FALSE,
                    ProbeObjectName(processId, what).c_str());
}

// Opens what the driver made for this process and starts answering; false when something is
// missing.
bool StartServing() {
  // Kept loaded for good: the system may unload a hook's DLL once the hook is gone, and the
  // answering thread runs its code.
  HMODULE self = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                          reinterpret_cast<LPCWSTR>(&StartServing), &self)) {
    return false;
  }
  const DWORD processId = GetCurrentProcessId();
  const HANDLE mapping =
      OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, ProbeObjectName(processId, L"block").c_str());
  if (!mapping) return false;
  auto* channel = new Channel;
  channel->block = static_cast<ProbeBlock*>(
      MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
  channel->request = OpenProbeEvent(processId, L"request");
  channel->answer = OpenProbeEvent(processId, L"answer");
  const HANDLE ready = OpenProbeEvent(processId, L"ready");
  const HANDLE thread = channel->block && channel->request && channel->answer && ready
                            ? CreateThread(nullptr, 0, Serve, channel, 0, nullptr)
                            : nullptr;
  if (thread) {
    CloseHandle(thread);
    SetEvent(ready);
  }
  if (ready) CloseHandle(ready);
  return thread != nullptr;
}

}  // namespace

// Hooked onto the messages of TAV's window thread by the driver, so that TAV loads the probe at a
// moment of its own choosing. Exported by probe_dll.def under its plain name, also where stdcall
// names are decorated (32-bit).
extern "C" LRESULT CALLBACK TavProbeHook(int code, WPARAM wParam, LPARAM lParam) {
  static bool serving = false;
  if (!serving) serving = StartServing();
  return CallNextHookEx(nullptr, code, wParam, lParam);
}
