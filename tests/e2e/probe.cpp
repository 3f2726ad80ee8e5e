#include "tests/e2e/probe.h"

#include <algorithm>
#include <bit>
#include <cwchar>
#include <sstream>
#include <utility>

#include "tests/e2e/support.h"

namespace tav::e2e {

namespace {

// The probe answers from TAV's process, as busy as TAV is, and Ask ends when TAV ends.
constexpr DWORD kProbeWaitMs = kShowWaitMs;

UniqueHandle MakeProbeEvent(DWORD processId, const wchar_t* what) {
  return UniqueHandle(
      CreateEventW(nullptr, FALSE, FALSE, ProbeObjectName(processId, what).c_str()));
}

// A hook on another thread's messages, removed with the owner.
class ThreadHook {
 public:
  ThreadHook(HOOKPROC procedure, HMODULE module, DWORD threadId)
      : hook_(SetWindowsHookExW(WH_CALLWNDPROC, procedure, module, threadId)) {}
  ~ThreadHook() {
    if (hook_) UnhookWindowsHookEx(hook_);
  }
  ThreadHook(const ThreadHook&) = delete;
  ThreadHook& operator=(const ThreadHook&) = delete;
  explicit operator bool() const { return hook_ != nullptr; }

 private:
  HHOOK hook_;
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

std::unique_ptr<Probe> Probe::Load(HANDLE process, HWND window, std::wstring& error) {
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(window, &processId);
  std::unique_ptr<Probe> probe(new Probe(process));
  probe->mapping_ = UniqueHandle(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                                    0, sizeof(ProbeBlock),
                                                    ProbeObjectName(processId, L"block").c_str()));
  if (probe->mapping_) {
    probe->block_ = static_cast<ProbeBlock*>(
        MapViewOfFile(probe->mapping_.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(ProbeBlock)));
  }
  probe->request_ = MakeProbeEvent(processId, L"request");
  probe->answer_ = MakeProbeEvent(processId, L"answer");
  const UniqueHandle ready = MakeProbeEvent(processId, L"ready");
  if (!probe->block_ || !probe->request_ || !probe->answer_ || !ready) {
    error = L"the probe's shared block and events cannot be made (error " +
            std::to_wstring(GetLastError()) + L")";
    return nullptr;
  }
  const std::wstring dll = BesideDriver(kProbeDll);
  // Loaded here as well: the hook names the probe's function by its place in the DLL.
  const HMODULE local = LoadLibraryW(dll.c_str());
  const FARPROC address = local ? GetProcAddress(local, kProbeHook) : nullptr;
  const auto hookProcedure = address ? std::bit_cast<HOOKPROC>(address) : nullptr;
  if (!hookProcedure) {
    error = L"cannot load " + dll + L" (error " + std::to_wstring(GetLastError()) + L")";
    return nullptr;
  }
  {
    // TAV loads the probe when its window thread takes the next message, here WM_NULL.
    const ThreadHook hook(hookProcedure, local, threadId);
    DWORD_PTR result = 0;
    if (!hook || !SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kProbeWaitMs, &result) ||
        WaitForSingleObject(ready.get(), kProbeWaitMs) != WAIT_OBJECT_0) {
      error = hook ? L"TAV.exe did not start the probe" : L"the hook on TAV's window thread failed";
      return nullptr;
    }
  }
  return probe;
}

Probe::~Probe() {
  if (block_) UnmapViewOfFile(block_);
}

std::optional<std::wstring> Probe::Ask(ProbeRequest request, HWND window,
                                       const std::wstring& text) {
  if (lost_ || text.size() >= kProbeTextChars) return std::nullopt;
  block_->request = request;
  block_->answered = 0;
  block_->window = reinterpret_cast<std::uintptr_t>(window);
  std::copy(text.begin(), text.end(), block_->text);
  block_->text[text.size()] = L'\0';
  SetEvent(request_.get());
  const HANDLE ends[] = {answer_.get(), process_};
  if (WaitForMultipleObjects(2, ends, FALSE, kProbeWaitMs) != WAIT_OBJECT_0) {
    lost_ = true;
    return std::nullopt;
  }
  if (block_->answered != 1) return std::nullopt;
  return std::wstring(block_->text, wcsnlen(block_->text, kProbeTextChars));
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

std::optional<DWORD> Probe::ErrorNumber(ProbeRequest request, const std::wstring& text) {
  const auto answer = Ask(request, nullptr, text);
  if (!answer || answer->empty()) return std::nullopt;
  return std::wcstoul(answer->c_str(), nullptr, 10);
}

std::optional<DWORD> Probe::LoadDll(const std::wstring& name) {
  return ErrorNumber(ProbeRequest::LoadDll, name);
}

std::optional<DWORD> Probe::AddDllFolder(const std::wstring& folder) {
  return ErrorNumber(ProbeRequest::AddDllFolder, folder);
}

}  // namespace tav::e2e
