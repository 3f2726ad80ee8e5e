// The driver's side of the probe (probe_protocol.h): has a running TAV.exe load
// tav_e2e_probe.dll, from beside the driver, and asks it what another process cannot see or do.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/probe_protocol.h"
#include "tests/e2e/support.h"

namespace tav::e2e {

struct MenuEntry {
  int depth = 0;  // 0 on the menu bar
  int id = -1;    // the command it sends; -1 for an item that opens a submenu
  std::wstring caption;
  bool operator==(const MenuEntry&) const = default;
};

struct FontInfo {
  std::wstring face;
  int height = 0;
  int charset = 0;
  int weight = 0;
  bool operator==(const FontInfo&) const = default;
};

class Probe {
 public:
  // Has the process that owns window load the probe; nullptr, with the reason in error, when that
  // fails.
  static std::unique_ptr<Probe> Load(HANDLE process, HWND window, std::wstring& error);
  ~Probe();
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  // The window's menu bar, items of submenus right after the item that opens them.
  std::optional<std::vector<MenuEntry>> ReadMenu(HWND window);
  std::optional<FontInfo> ReadFont(HWND control);
  // The system icon the static control shows, recognised inside the process.
  std::optional<NoticeIcon> ReadIcon(HWND control);
  // Drops paths on the window as the shell does and waits until the window has handled the drop;
  // false when it could not be delivered.
  bool Drop(HWND window, const std::vector<std::wstring>& paths);
  // The error with which LoadLibraryW of name fails inside TAV, 0 when it loads.
  std::optional<DWORD> LoadDll(const std::wstring& name);
  // Adds folder to TAV's DLL search with AddDllDirectory; 0, or the error with which it failed.
  std::optional<DWORD> AddDllFolder(const std::wstring& folder);

 private:
  explicit Probe(HANDLE process) : process_(process) {}
  // Runs the request in TAV; its answer, or nullopt when the probe could not answer.
  std::optional<std::wstring> Ask(ProbeRequest request, HWND window, const std::wstring& text);
  // The decimal error number that the probe answers to request.
  std::optional<DWORD> ErrorNumber(ProbeRequest request, const std::wstring& text);

  HANDLE process_;
  UniqueHandle mapping_;
  ProbeBlock* block_ = nullptr;  // shared with the probe in TAV
  UniqueHandle request_;
  UniqueHandle answer_;
  bool lost_ = false;  // a request went unanswered, so a late answer could be taken for the next
};

}  // namespace tav::e2e
