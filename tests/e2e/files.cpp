#include "tests/e2e/files.h"

#include <algorithm>

namespace tav::e2e {

namespace {

std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  if (!folder.empty() && folder.back() == L'\\') return folder + name;
  return folder + L"\\" + name;
}

void SnapshotInto(const std::wstring& folder, TreeSnapshot& tree) {
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Join(folder, L"*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = entry.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = Join(folder, name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      tree[path] = "dir";
      SnapshotInto(path, tree);
    } else {
      tree[path] = "file:" + ReadBytes(path).value_or("<unreadable>");
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

}  // namespace

std::optional<std::string> ReadBytes(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::nullopt;
  std::string bytes;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    bytes.append(buffer, read);
  }
  return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool MakeFolder(const std::wstring& path) {
  return CreateDirectoryW(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void RemoveTree(const std::wstring& path) {
  if (!IsFolder(path)) {
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(path.c_str());
    return;
  }
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(Join(path, L"*").c_str(), &entry);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = entry.cFileName;
      if (name != L"." && name != L"..") RemoveTree(Join(path, name));
    } while (FindNextFileW(search, &entry));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

TreeSnapshot Snapshot(const std::wstring& root) {
  TreeSnapshot tree;
  SnapshotInto(root, tree);
  return tree;
}

std::vector<std::wstring> Differences(const TreeSnapshot& before, const TreeSnapshot& after) {
  std::vector<std::wstring> changed;
  for (const auto& [path, content] : before) {
    const auto now = after.find(path);
    if (now == after.end() || now->second != content) changed.push_back(path);
  }
  for (const auto& [path, content] : after) {
    if (!before.contains(path)) changed.push_back(path);
  }
  std::sort(changed.begin(), changed.end());
  return changed;
}

bool FillDrive(const std::wstring& path) {
  UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return false;
  // Large pieces first, then ever smaller ones, until not one more byte fits.
  const std::string piece(64 * 1024, 'f');
  for (DWORD size = static_cast<DWORD>(piece.size()); size > 0; size /= 16) {
    for (;;) {
      DWORD written = 0;
      if (!WriteFile(file.get(), piece.data(), size, &written, nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_DISK_FULL && error != ERROR_HANDLE_DISK_FULL) return false;
        break;
      }
      if (written < size) break;
    }
  }
  return true;
}

ExclusiveHold::ExclusiveHold(const std::wstring& path)
    : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr)) {}

std::optional<DWORD> RunInterpreter(const std::wstring& commandLine,
                                    const std::wstring& currentFolder, DWORD timeoutMs) {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::nullopt;
  const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
  std::wstring line = L"cmd.exe /d /s /c \"" + commandLine + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(cmd.c_str(), line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                      currentFolder.c_str(), &startup, &process)) {
    return std::nullopt;
  }
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    return std::nullopt;
  }
  DWORD code = 0;
  if (!GetExitCodeProcess(process.hProcess, &code)) return std::nullopt;
  return code;
}

namespace {

constexpr wchar_t kExplorerName[] = L"explorer.exe";
constexpr wchar_t kArgumentsFile[] = L"explorer-arguments.txt";

// The full path of the running program.
std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::wstring FolderOfPath(const std::wstring& path) {
  return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

RecordingExplorer::RecordingExplorer() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  folder_ = std::wstring(temp) + L"tav-e2e-explorer-" + std::to_wstring(GetCurrentProcessId());
  MakeFolder(folder_);
  CopyFileW(OwnPath().c_str(), (folder_ + L"\\" + kExplorerName).c_str(), FALSE);
}

RecordingExplorer::~RecordingExplorer() { RemoveTree(folder_); }

std::optional<std::vector<std::wstring>> RecordingExplorer::Run(const std::wstring& line) const {
  const std::wstring record = folder_ + L"\\" + kArgumentsFile;
  RemoveTree(record);
  RunInterpreter(line, folder_);
  const auto bytes = ReadBytes(record);
  if (!bytes) return std::nullopt;
  RemoveTree(record);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes->data()),
                          bytes->size() / sizeof(wchar_t));
  std::vector<std::wstring> arguments;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find(L'\n', start);
    arguments.push_back(text.substr(start, end - start));
    start = end == std::wstring::npos ? text.size() : end + 1;
  }
  return arguments;
}

bool RecordArgumentsAsExplorer(int argc, wchar_t** argv) {
  const std::wstring self = OwnPath();
  const std::wstring name = self.substr(self.find_last_of(L'\\') + 1);
  if (lstrcmpiW(name.c_str(), kExplorerName) != 0) return false;
  std::wstring text;
  for (int i = 1; i < argc; ++i) text += std::wstring(argv[i]) + L"\n";
  WriteBytes(
      FolderOfPath(self) + kArgumentsFile,
      std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)));
  return true;
}

}  // namespace tav::e2e
