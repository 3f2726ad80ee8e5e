#include "tests/e2e/probe.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cwchar>
#include <sstream>
#include <utility>

#include "tests/e2e/support.h"
#include "tests/e2e/watchdog.h"

namespace tav::e2e {

namespace {

constexpr DWORD kProbeWaitMs = 5000;

// Runs function(argument) on a new thread of the process; its exit code once it has ended.
std::optional<DWORD> RunRemote(HANDLE process, LPTHREAD_START_ROUTINE function, void* argument) {
  const UniqueHandle thread(
      CreateRemoteThread(process, nullptr, 0, function, argument, 0, nullptr));
  if (!thread || WaitForSingleObject(thread.get(), kProbeWaitMs) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeThread(thread.get(), &code)) return std::nullopt;
  return code;
}

std::wstring BaseName(const std::wstring& path) {
  return path.substr(path.find_last_of(L"\\/") + 1);
}

// Where a function loaded here lies in the other process: the module that holds it may be loaded
// at another base there, but the function's offset in it is the same.
void* RemoteAddress(DWORD processId, FARPROC localFunction) {
  HMODULE local = nullptr;
  if (!localFunction || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                            reinterpret_cast<LPCWSTR>(localFunction), &local)) {
    return nullptr;
  }
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(local, path, MAX_PATH);
  const std::wstring name = BaseName(path);
  const auto offset =
      reinterpret_cast<const BYTE*>(localFunction) - reinterpret_cast<const BYTE*>(local);
  UniqueHandle snapshot;
  // A snapshot taken while the process loads a module can fail once; the next one does not.
  WaitUntil(
      [&] {
        snapshot = UniqueHandle(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId));
        return static_cast<bool>(snapshot);
      },
      1000);
  if (!snapshot) return nullptr;
  MODULEENTRY32W module = {};
  module.dwSize = sizeof module;
  for (BOOL more = Module32FirstW(snapshot.get(), &module); more;
       more = Module32NextW(snapshot.get(), &module)) {
    if (_wcsicmp(module.szModule, name.c_str()) == 0) return module.modBaseAddr + offset;
  }
  return nullptr;
}

// Memory of another process, released with the owner.
class RemoteMemory {
 public:
  RemoteMemory(HANDLE process, std::size_t size)
      : process_(process),
        address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {
  }
  ~RemoteMemory() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
  }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;
  void* get() const { return address_; }
  void* release() { return std::exchange(address_, nullptr); }

 private:
  HANDLE process_;
  void* address_;
};

std::vector<std::wstring> SplitFields(const std::wstring& line) {
  std::vector<std::wstring> fields;
  std::size_t start = 0;
  for (std::size_t tab = line.find(L'\t'); tab != std::wstring::npos;
       tab = line.find(L'\t', start)) {
    fields.push_back(line.substr(start, tab - start));
    start = tab + 1;
  }
  fields.push_back(line.substr(start));
  return fields;
}

}  // namespace

std::unique_ptr<Probe> Probe::Inject(HANDLE process, DWORD processId, std::wstring& error) {
  const std::wstring dll = BesideDriver(kProbeDll);
  // Loaded here as well, to learn where its entry point lies within it.
  const HMODULE local = LoadLibraryW(dll.c_str());
  if (!local) {
    error = L"cannot load " + dll + L" (error " + std::to_wstring(GetLastError()) + L")";
    return nullptr;
  }
  const std::size_t pathBytes = (dll.size() + 1) * sizeof(wchar_t);
  const RemoteMemory path(process, pathBytes);
  const auto loadLibrary = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      RemoteAddress(processId, GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")));
  if (!path.get() || !loadLibrary ||
      !WriteProcessMemory(process, path.get(), dll.c_str(), pathBytes, nullptr) ||
      RunRemote(process, loadLibrary, path.get()).value_or(0) == 0) {
    error = L"LoadLibraryW of the probe in TAV.exe failed";
    return nullptr;
  }
  const auto entry = reinterpret_cast<LPTHREAD_START_ROUTINE>(
      RemoteAddress(processId, GetProcAddress(local, kProbeEntry)));
  RemoteMemory block(process, sizeof(ProbeBlock));
  if (!entry || !block.get()) {
    error = L"the probe's entry point or memory in TAV.exe not found";
    return nullptr;
  }
  return std::unique_ptr<Probe>(new Probe(process, block.release(), entry));
}

Probe::~Probe() {
  const Watchdog::Waiting waiting(L"freeing the probe's memory in TAV.exe");
  VirtualFreeEx(process_, block_, 0, MEM_RELEASE);
}

std::optional<std::wstring> Probe::Ask(ProbeRequest request, HWND window,
                                       const std::wstring& text) {
  auto block = std::make_unique<ProbeBlock>();
  block->request = request;
  block->window = reinterpret_cast<std::uintptr_t>(window);
  if (text.size() >= kProbeTextChars) return std::nullopt;
  std::copy(text.begin(), text.end(), block->text);
  const Watchdog::Waiting waiting(L"a request to the probe in TAV.exe");
  if (!WriteProcessMemory(process_, block_, block.get(), sizeof(ProbeBlock), nullptr) ||
      RunRemote(process_, entry_, block_).value_or(0) == 0 ||
      !ReadProcessMemory(process_, block_, block.get(), sizeof(ProbeBlock), nullptr) ||
      block->answered != 1) {
    return std::nullopt;
  }
  return std::wstring(block->text, wcsnlen(block->text, kProbeTextChars));
}

std::optional<std::vector<MenuEntry>> Probe::ReadMenu(HWND window) {
  const auto answer = Ask(ProbeRequest::ReadMenu, window, {});
  if (!answer) return std::nullopt;
  std::vector<MenuEntry> entries;
  std::wistringstream lines(*answer);
  for (std::wstring line; std::getline(lines, line);) {
    const auto fields = SplitFields(line);
    if (fields.size() != 3) return std::nullopt;
    entries.push_back({std::stoi(fields[0]), std::stoi(fields[1]), fields[2]});
  }
  return entries;
}

std::optional<FontInfo> Probe::ReadFont(HWND control) {
  const auto answer = Ask(ProbeRequest::ReadFont, control, {});
  if (!answer) return std::nullopt;
  const auto fields = SplitFields(*answer);
  if (fields.size() != 4) return std::nullopt;
  return FontInfo{fields[0], std::stoi(fields[1]), std::stoi(fields[2]), std::stoi(fields[3])};
}

std::optional<NoticeIcon> Probe::ReadIcon(HWND control) {
  const auto answer = Ask(ProbeRequest::ReadIcon, control, {});
  if (!answer || answer->empty()) return std::nullopt;
  const unsigned long value = std::wcstoul(answer->c_str(), nullptr, 10);
  if (value > static_cast<unsigned long>(NoticeIcon::Unknown)) return std::nullopt;
  return static_cast<NoticeIcon>(value);
}

bool Probe::Drop(HWND window, const std::vector<std::wstring>& paths) {
  std::wstring text;
  for (const auto& path : paths) text += path + L'\0';
  text += L'\0';
  return Ask(ProbeRequest::DropFiles, window, text).has_value();
}

std::optional<DWORD> Probe::LoadDll(const std::wstring& name) {
  const auto answer = Ask(ProbeRequest::LoadDll, nullptr, name);
  if (!answer || answer->empty()) return std::nullopt;
  return std::wcstoul(answer->c_str(), nullptr, 10);
}

}  // namespace tav::e2e
