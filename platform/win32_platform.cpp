#include "platform/win32_platform.h"

#include <commdlg.h>
#include <objbase.h>

#include <bit>
#include <climits>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/listing_errors.h"
#include "platform/message_inserts.h"

// Some SDKs declare this flag only for Windows 8 and later; Windows 7 knows it with KB2533623.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif
#ifndef LOAD_LIBRARY_SEARCH_USER_DIRS
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#endif

namespace tav {

namespace {

using win32::UniqueFindHandle;
using win32::UniqueHandle;
using win32::UniqueLocalMemory;

constexpr wchar_t kPickFileTitle[] = L"请打开需要修改的文件";
// Room for the longest path that the file system allows, so a long pick comes back whole.
constexpr DWORD kPickFileBufferSize = 32768;
// DWMWA_CLOAKED, which older SDKs lack.
constexpr DWORD kDwmCloaked = 14;
// A WM_CHAR's lParam for one press of a key: repeat count 1 in bits 0-15, bit 31 clear (down).
constexpr LPARAM kOneKeyPress = 1;

// The system's text of error, with the path or program concerned in place of its "%1".
OpStatus Failure(DWORD error, std::wstring_view subject) {
  return OpStatus{error, FillMessageInserts(SystemErrorText(error), subject)};
}

OpStatus LastFailure(std::wstring_view subject) { return Failure(::GetLastError(), subject); }

// Errors with which a path says that nothing is there: besides those of a listing, a network
// server or share that does not exist.
bool MeansNothingAt(DWORD error) {
  return MeansNothingFound(error) || error == ERROR_BAD_NETPATH || error == ERROR_BAD_NET_NAME;
}

// The absolute form of path ("." and ".." resolved, "/" turned into "\"), or path itself when it
// cannot be resolved. The extended-length prefix needs this form, as it switches off that parsing.
std::wstring FullPath(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool IsDriveLetter(wchar_t ch) { return (ch >= L'A' && ch <= L'Z') || (ch >= L'a' && ch <= L'z'); }

// How many characters of path name its root: 3 for a drive's root (C:\), 2 for the two
// backslashes of a network path, 0 when path is not absolute in one of these two forms (relative,
// on a drive's current folder, or already prefixed).
std::size_t RootLength(std::wstring_view path) {
  if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (StartsWith(path, L"\\\\?\\") || StartsWith(path, L"\\\\.\\")) return 0;
  return StartsWith(path, L"\\\\") ? 2 : 0;
}

// The components of path after its root, split at backslashes.
std::vector<std::wstring_view> Components(std::wstring_view path) {
  std::vector<std::wstring_view> parts;
  path.remove_prefix(RootLength(path));
  for (std::size_t end; (end = path.find(L'\\')) != std::wstring_view::npos;) {
    parts.push_back(path.substr(0, end));
    path.remove_prefix(end + 1);
  }
  parts.push_back(path);
  return parts;
}

// True for an absolute path in its final form: a drive's root or a network path, then names
// separated by single backslashes, none of them "." or "..", and no "/". Only a closing
// backslash may follow the last name.
bool IsPlainAbsolute(std::wstring_view path) {
  if (RootLength(path) == 0 || path.find(L'/') != std::wstring_view::npos) return false;
  const auto parts = Components(path);
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    if ((parts[i].empty() && !last) || parts[i] == L"." || parts[i] == L"..") return false;
  }
  return true;
}

// True when a name in path ends with a dot or a blank, which the system's parsing of a path
// drops: "backup." would name "backup".
bool HasNameEndingInDotOrBlank(std::wstring_view path) {
  for (const std::wstring_view part : Components(path)) {
    if (!part.empty() && (part.back() == L'.' || part.back() == L' ')) return true;
  }
  return false;
}

// path with the extended-length prefix, which makes the file functions take it as written.
std::wstring Prefixed(std::wstring_view path) {
  if (RootLength(path) == 2) return L"\\\\?\\UNC\\" + std::wstring(path.substr(2));
  return L"\\\\?\\" + std::wstring(path);
}

// The name handed to the file functions: absolute, and prefixed when it is long. An absolute
// path with a name that ends in a dot or a blank is prefixed as it is, so that it names that
// entry and not the one without the dot or blank.
std::wstring SystemPath(const std::wstring& path) {
  if (IsPlainAbsolute(path) && HasNameEndingInDotOrBlank(path)) return Prefixed(path);
  return WithLongPathPrefix(FullPath(path));
}

// Everything up to and including the last separator of an absolute path.
std::wstring FolderOf(const std::wstring& fullPath) {
  const std::size_t end = fullPath.find_last_of(L"\\/");
  return end == std::wstring::npos ? std::wstring() : fullPath.substr(0, end + 1);
}

// An absolute path with the extended-length prefix, whatever its length; a prefixed one as it is.
std::wstring AlwaysPrefixed(const std::wstring& path) {
  return RootLength(path) == 0 ? path : Prefixed(path);
}

// A prefixed path in its plain form (\\?\D:\a as D:\a, \\?\UNC\s\a as \\s\a); others as they are.
std::wstring WithoutPrefix(const std::wstring& path) {
  if (StartsWith(path, L"\\\\?\\UNC\\")) return L"\\\\" + path.substr(8);
  if (StartsWith(path, L"\\\\?\\")) return path.substr(4);
  return path;
}

// The short (8.3) form of an absolute path, without prefix; empty when the system has none.
std::wstring ShortForm(const std::wstring& path) {
  const std::wstring prefixed = AlwaysPrefixed(path);
  const DWORD size = ::GetShortPathNameW(prefixed.c_str(), nullptr, 0);
  if (size == 0) return {};
  std::wstring shortPath(size, L'\0');
  const DWORD length = ::GetShortPathNameW(prefixed.c_str(), shortPath.data(), size);
  if (length == 0 || length >= size) return {};
  shortPath.resize(length);
  return WithoutPrefix(shortPath);
}

// Whether the shell takes path as the name of exactly that file. The shell knows no
// extended-length prefix, reads at most MAX_PATH characters and parses every name, dropping a
// closing dot or blank (so that "tav.bat " would name tav.bat) and expanding * and ?.
bool ShellTakes(const std::wstring& path) {
  return path.size() < MAX_PATH && IsPlainAbsolute(path) && !HasNameEndingInDotOrBlank(path) &&
         path.back() != L'\\' && path.find_first_of(L"*?") == std::wstring::npos;
}

// A path of the file name in folder (absolute, plain, ending in a separator) that the shell takes:
// its own; else the folder's short form with the name, which keeps the name in the Recycle Bin;
// else the short form of the whole path. Short forms exist where the drive keeps 8.3 names. Empty
// when none of them will do.
std::wstring ShellPathOf(const std::wstring& folder, const std::wstring& name) {
  if (ShellTakes(folder + name)) return folder + name;
  if (const std::wstring path = ShortForm(folder) + name; ShellTakes(path)) return path;
  if (const std::wstring path = ShortForm(folder + name); ShellTakes(path)) return path;
  return {};
}

// SHFileOperationW answers with system error numbers and with some of the shell's own from before
// Win32, which overlap unrelated system errors; those that a deletion gives are turned into the
// system error they stand for.
DWORD SystemErrorOfShell(int result) {
  switch (result) {
    case 0x75:  // DE_OPCANCELLED
      return ERROR_CANCELLED;
    case 0x78:  // DE_ACCESSDENIEDSRC
      return ERROR_ACCESS_DENIED;
    case 0x79:  // DE_PATHTOODEEP
      return ERROR_FILENAME_EXCED_RANGE;
    case 0x7C:  // DE_INVALIDFILES
      return ERROR_FILE_NOT_FOUND;
    case 0x402:  // an unknown error, typically an invalid path
      return ERROR_PATH_NOT_FOUND;
    default:
      return static_cast<DWORD>(result);
  }
}

// The error with which deleting the file would fail now (held open by a program that does not
// share its deletion, no access), found by opening it for deletion while sharing everything; 0
// when it can go. Such a file is reported as it is, without asking the shell.
DWORD DeletionRefusal(const std::wstring& systemPath) {
  const UniqueHandle file(::CreateFileW(
      systemPath.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  return file ? 0 : ::GetLastError();
}

// The system folder (System32) without a trailing backslash; empty when it cannot be read.
std::wstring SystemFolder() {
  wchar_t folder[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(folder, length);
}

// The program a command line starts, taken from the system folder when the line names it bare
// (as "cmd.exe /c" does). Left to the normal search, the program's own and the current folder come
// first, so a planted file of that name there would run instead. Empty when there is no such file.
std::wstring SystemProgram(const std::wstring& commandLine) {
  const std::wstring name = commandLine.substr(0, commandLine.find(L' '));
  if (name.empty() || name.find_first_of(L"\\/:\"") != std::wstring::npos) return {};
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return {};
  std::wstring path = folder + L"\\" + name;
  return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES ? std::wstring() : path;
}

// The integrity level of the process: the last part of its token's mandatory label (0x2000
// medium, 0x3000 high, as for a program run as administrator), or nullopt where it cannot be read.
std::optional<DWORD> IntegrityLevel(HANDLE process) {
  HANDLE token = nullptr;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &token)) return std::nullopt;
  const UniqueHandle tokenHandle(token);
  DWORD size = 0;
  ::GetTokenInformation(token, TokenIntegrityLevel, nullptr, 0, &size);
  if (size < sizeof(TOKEN_MANDATORY_LABEL)) return std::nullopt;
  // Held in pointer-sized units, so that the label and its SID are aligned.
  std::vector<std::uintptr_t> buffer((size + sizeof(std::uintptr_t) - 1) / sizeof(std::uintptr_t));
  if (!::GetTokenInformation(token, TokenIntegrityLevel, buffer.data(), size, &size)) {
    return std::nullopt;
  }
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(buffer.data())->Label.Sid;
  if (sid == nullptr || !::IsValidSid(sid)) return std::nullopt;
  const UCHAR parts = *::GetSidSubAuthorityCount(sid);
  if (parts == 0) return std::nullopt;
  return *::GetSidSubAuthority(sid, parts - 1u);
}

// Loads a system DLL from the system folder only, for the same reason: a file of that name in
// the program's or the current folder must not be loaded instead.
win32::UniqueModule LoadSystemLibrary(const wchar_t* name) {
  // Windows 7 without update KB2533623 refuses this flag; the full path below serves there.
  if (const HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    return win32::UniqueModule(module);
  }
  const std::wstring folder = SystemFolder();
  if (folder.empty()) return {};
  const std::wstring path = folder + L"\\" + name;
  // The library's own imports are then looked for in its folder first.
  return win32::UniqueModule(
      ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

// Hands each entry matching systemPattern, "." and ".." left out, to take, until take answers
// false. Returns 0 once the listing is complete or stopped so, or the error with which it failed,
// a pattern that finds nothing included.
template <typename Take>
DWORD ListEntries(const std::wstring& systemPattern, Take take) {
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileExW(systemPattern.c_str(), FindExInfoBasic, &entry,
                                                 FindExSearchNameMatch, nullptr, 0));
  if (!find) return ::GetLastError();
  do {
    const std::wstring_view name = entry.cFileName;
    if (name != L"." && name != L".." && !take(entry)) return 0;
  } while (::FindNextFileW(find.get(), &entry));
  const DWORD error = ::GetLastError();
  return error == ERROR_NO_MORE_FILES ? 0 : error;
}

// Refuses as writing over the file at target would: a file that is read-only, held open by
// another program, or a folder gives that error. A missing file is fine.
OpStatus CheckWritable(const std::wstring& target, const std::wstring& path) {
  const UniqueHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (::GetFileInformationByHandle(file.get(), &info) &&
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return Failure(ERROR_ACCESS_DENIED, path);
    }
    return OpStatus::Success();
  }
  const DWORD error = ::GetLastError();
  if (error == ERROR_FILE_NOT_FOUND) return OpStatus::Success();
  return Failure(error, path);
}

// A new, empty file beside path, open for writing, that is deleted again unless kept. Its name
// extends the script's own, so that a file left behind by a power cut is one that Clear removes.
class ScratchFile {
 public:
  // When no file could be made, created() is false and GetLastError tells why.
  explicit ScratchFile(const std::wstring& path) {
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
      path_ = SystemPath(path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                         std::to_wstring(attempt) + L".tmp");
      file_.reset(::CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
      if (file_ || ::GetLastError() != ERROR_FILE_EXISTS) break;
    }
    created_ = static_cast<bool>(file_);
  }
  ~ScratchFile() {
    file_.reset();
    if (created_ && !kept_) ::DeleteFileW(path_.c_str());
  }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  bool created() const { return created_; }
  HANDLE handle() const { return file_.get(); }
  const std::wstring& path() const { return path_; }
  // Closing hands the last bytes to the system; a failure there is a failed write.
  bool Close() { return ::CloseHandle(file_.release()) != FALSE; }
  void Keep() { kept_ = true; }

 private:
  std::wstring path_;
  UniqueHandle file_;
  bool created_ = false;
  bool kept_ = false;
};

// Puts the process's current folder back where it was when this was made. The Open dialog moves
// it to the folder of the pick, whatever its flags say, and a current folder cannot be removed,
// renamed or safely ejected while the program runs.
class CurrentFolderKeeper {
 public:
  CurrentFolderKeeper() {
    const DWORD size = ::GetCurrentDirectoryW(0, nullptr);
    if (size == 0) return;
    folder_.resize(size);
    const DWORD length = ::GetCurrentDirectoryW(size, folder_.data());
    folder_.resize(length < size ? length : 0);
  }
  ~CurrentFolderKeeper() {
    if (!folder_.empty()) ::SetCurrentDirectoryW(folder_.c_str());
  }
  CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
  CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;

 private:
  std::wstring folder_;
};

// COM on this thread while it lives: the shell may call extensions of its own (copy hooks, the
// Recycle Bin's) while it deletes. A thread that has COM already keeps it as it was.
class ComApartment {
 public:
  using InitializeFn = HRESULT(WINAPI*)(void*, DWORD);
  using UninitializeFn = void(WINAPI*)();

  ComApartment(InitializeFn initialize, UninitializeFn uninitialize)
      : uninitialize_(uninitialize),
        // Also S_FALSE, COM there already, needs its CoUninitialize.
        entered_(
            SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (entered_) uninitialize_();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  UninitializeFn uninitialize_;
  bool entered_;
};

}  // namespace

std::wstring WithLongPathPrefix(std::wstring_view fullPath) {
  std::wstring path(fullPath);
  return path.size() < kLongPathThreshold ? path : AlwaysPrefixed(path);
}

std::wstring SystemErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  const UniqueLocalMemory owner(buffer);
  if (length == 0 || buffer == nullptr) return {};
  std::wstring text(buffer, length);
  const std::size_t end = text.find_last_not_of(L"\r\n \t");
  text.erase(end == std::wstring::npos ? 0 : end + 1);
  return text;
}

bool LimitDllSearchToTrustedFolders() {
  // Looked up, not imported: Windows 7 without KB2533623 would refuse to start a program that
  // imports it. There the DLLs the program loads itself still come from the system folder.
  using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  const FARPROC address =
      kernel32 != nullptr ? ::GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  return address != nullptr &&
         std::bit_cast<SetDefaultDllDirectoriesFn>(address)(LOAD_LIBRARY_SEARCH_SYSTEM32 |
                                                            LOAD_LIBRARY_SEARCH_USER_DIRS) != FALSE;
}

void Win32Platform::NoticeBox(const std::wstring& text, const std::wstring& title, Icon icon) {
  const UINT iconStyle = icon == Icon::Stop ? MB_ICONSTOP : MB_ICONINFORMATION;
  ::MessageBoxW(owner_, text.c_str(), title.c_str(), MB_OKCANCEL | iconStyle);
}

bool Win32Platform::LoadOpenDialog() {
  if (getOpenFileName_ != nullptr) return true;
  win32::UniqueModule library = LoadSystemLibrary(L"comdlg32.dll");
  if (!library) return false;
  const FARPROC open = ::GetProcAddress(library.get(), "GetOpenFileNameW");
  const FARPROC error = ::GetProcAddress(library.get(), "CommDlgExtendedError");
  if (open == nullptr || error == nullptr) return false;
  commonDialogs_ = std::move(library);
  getOpenFileName_ = std::bit_cast<GetOpenFileNameFn>(open);
  dialogError_ = std::bit_cast<CommDlgExtendedErrorFn>(error);
  return true;
}

bool Win32Platform::LoadShell() {
  if (!shell_) shell_ = LoadSystemLibrary(L"shell32.dll");
  return static_cast<bool>(shell_);
}

bool Win32Platform::LoadDropReader() {
  if (dragQueryFile_ != nullptr) return true;
  if (!LoadShell()) return false;
  const FARPROC query = ::GetProcAddress(shell_.get(), "DragQueryFileW");
  const FARPROC finish = ::GetProcAddress(shell_.get(), "DragFinish");
  if (query == nullptr || finish == nullptr) return false;
  dragQueryFile_ = std::bit_cast<DragQueryFileFn>(query);
  dragFinish_ = std::bit_cast<DragFinishFn>(finish);
  return true;
}

bool Win32Platform::LoadRecycler() {
  if (shFileOperation_ != nullptr) return true;
  if (!LoadShell()) return false;
  win32::UniqueModule com = LoadSystemLibrary(L"ole32.dll");
  if (!com) return false;
  const FARPROC operation = ::GetProcAddress(shell_.get(), "SHFileOperationW");
  const FARPROC initialize = ::GetProcAddress(com.get(), "CoInitializeEx");
  const FARPROC uninitialize = ::GetProcAddress(com.get(), "CoUninitialize");
  if (operation == nullptr || initialize == nullptr || uninitialize == nullptr) return false;
  com_ = std::move(com);
  coInitializeEx_ = std::bit_cast<CoInitializeExFn>(initialize);
  coUninitialize_ = std::bit_cast<CoUninitializeFn>(uninitialize);
  shFileOperation_ = std::bit_cast<SHFileOperationFn>(operation);
  return true;
}

DWORD Win32Platform::ShellRecycle(const std::wstring& path) {
  std::wstring from = path;
  from.push_back(L'\0');  // the list of names ends with an empty one
  SHFILEOPSTRUCTW operation{};
  operation.hwnd = owner_;
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  // Into the Recycle Bin, asking nothing and showing nothing. Without FOF_WANTNUKEWARNING a file
  // that the bin cannot take is deleted silently. The shell would also take a page's folder of
  // the same stem (tav_files beside tav.htm) unless told not to.
  operation.fFlags =
      FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI | FOF_NO_CONNECTED_ELEMENTS;
  const ComApartment apartment(coInitializeEx_, coUninitialize_);
  const int result = shFileOperation_(&operation);
  if (result != 0) return SystemErrorOfShell(result);
  return operation.fAnyOperationsAborted ? ERROR_CANCELLED : 0;
}

std::wstring Win32Platform::TakeFirstDroppedPath(HDROP drop) {
  // Without the shell's library the drop cannot be read: it is as good as empty. It is still
  // released, as DragFinish would release it.
  if (!LoadDropReader()) {
    ::GlobalFree(drop);
    return {};
  }
  std::wstring path;
  const UINT files = dragQueryFile_(drop, 0xFFFFFFFF, nullptr, 0);
  const UINT length = files > 0 ? dragQueryFile_(drop, 0, nullptr, 0) : 0;
  if (length > 0) {
    path.resize(length + 1);
    path.resize(dragQueryFile_(drop, 0, path.data(), length + 1));
  }
  dragFinish_(drop);
  return path;
}

PickedFile Win32Platform::PickFile() {
  if (!LoadOpenDialog()) return {{}, LastFailure(L"comdlg32.dll")};
  std::wstring name(kPickFileBufferSize, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner_;
  dialog.lpstrFilter = L"所有文件 (*.*)\0*.*\0";
  dialog.lpstrFile = name.data();
  dialog.nMaxFile = kPickFileBufferSize;
  dialog.lpstrTitle = kPickFileTitle;
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                 OFN_NOCHANGEDIR |
                 // A picked shortcut names its own folder, not the folder of the file it points to.
                 OFN_NODEREFERENCELINKS;
  BOOL picked = FALSE;
  {
    const CurrentFolderKeeper keeper;
    picked = getOpenFileName_(&dialog);
  }
  if (!picked) {
    // Only a cancel reports no error; any other answer without a file is a dialog that failed.
    // Its error numbers are the dialog's own, which the system has no text for.
    const DWORD error = dialogError_();
    if (error == 0) return {{}, OpStatus::Success()};
    return {{}, OpStatus{error, {}}};
  }
  name.resize(name.find(L'\0'));
  return {name, OpStatus::Success()};
}

FoundEntry Win32Platform::FirstMatch(const std::wstring& pattern) {
  WIN32_FIND_DATAW entry{};
  const UniqueFindHandle find(::FindFirstFileExW(SystemPath(pattern).c_str(), FindExInfoBasic,
                                                 &entry, FindExSearchNameMatch, nullptr, 0));
  if (find) return {entry.cFileName, OpStatus::Success()};
  const DWORD error = ::GetLastError();
  if (MeansNothingFound(error)) return {};
  return {{}, Failure(error, pattern)};
}

PathEntry Win32Platform::ExaminePath(const std::wstring& path) {
  // An absolute path is kept as given: making it absolute once more would only drop a closing dot
  // or blank from a name and so name another entry ("backup." next to "backup").
  const std::wstring full = IsPlainAbsolute(path) ? path : FullPath(path);
  const DWORD attributes = ::GetFileAttributesW(SystemPath(full).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    if (MeansNothingAt(error)) return {PathKind::Missing, full, OpStatus::Success()};
    return {PathKind::Missing, full, Failure(error, path)};
  }
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  return {folder ? PathKind::Folder : PathKind::File, full, OpStatus::Success()};
}

OpStatus Win32Platform::MakeFolder(const std::wstring& path) {
  if (!::CreateDirectoryW(SystemPath(path).c_str(), nullptr)) return LastFailure(path);
  return OpStatus::Success();
}

FoundEntry Win32Platform::FirstMatchThat(const std::wstring& pattern,
                                         const std::function<bool(std::wstring_view)>& test) {
  FoundEntry found;
  const DWORD error = ListEntries(SystemPath(pattern), [&](const WIN32_FIND_DATAW& entry) {
    if (!test(entry.cFileName)) return true;
    found.name = entry.cFileName;
    return false;
  });
  if (error != 0 && !MeansNothingFound(error)) return {{}, Failure(error, pattern)};
  return found;
}

OpStatus Win32Platform::RecycleMatching(const std::wstring& pattern) {
  const std::wstring full = SystemPath(pattern);
  std::vector<std::wstring> files;
  const DWORD error = ListEntries(full, [&](const WIN32_FIND_DATAW& entry) {
    if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
      files.emplace_back(entry.cFileName);
    return true;
  });
  if (error != 0) return Failure(error, pattern);
  if (files.empty()) return Failure(ERROR_FILE_NOT_FOUND, pattern);
  if (!LoadRecycler()) return LastFailure(L"shell32.dll");

  // The listing is complete before the first file goes, so that nothing disturbs it.
  const std::wstring folder = WithoutPrefix(FolderOf(full));
  for (const std::wstring& file : files) {
    const std::wstring shown = FolderOf(pattern) + file;
    if (OpStatus status = RecycleFile(folder, file, shown); !status.ok()) {
      status.path = shown;
      return status;
    }
  }
  return OpStatus::Success();
}

OpStatus Win32Platform::RecycleFile(const std::wstring& folder, const std::wstring& name,
                                    const std::wstring& shown) {
  if (const DWORD refusal = DeletionRefusal(AlwaysPrefixed(folder + name)); refusal != 0) {
    return Failure(refusal, shown);
  }
  // The shell gets a path that names exactly this file, never the pattern. Where no such path
  // exists, the file stays where it is rather than be deleted for good.
  const std::wstring path = ShellPathOf(folder, name);
  if (path.empty()) return Failure(ERROR_FILENAME_EXCED_RANGE, shown);
  if (const DWORD failure = ShellRecycle(path); failure != 0) return Failure(failure, shown);
  return OpStatus::Success();
}

OpStatus Win32Platform::WriteScriptLine(const std::wstring& path, const std::wstring& line) {
  std::optional<std::string> bytes = ToAnsi(line);
  if (!bytes) return Failure(ERROR_NO_UNICODE_TRANSLATION, path);
  bytes->append("\r\n");
  if (bytes->size() > MAXDWORD) return Failure(ERROR_ARITHMETIC_OVERFLOW, path);

  // The line goes into a new file beside the script, which then takes the script's place in one
  // step: a full disk or any other failure leaves the old script exactly as it was.
  const std::wstring target = SystemPath(path);
  ScratchFile scratch(path);
  if (!scratch.created()) return LastFailure(path);
  const DWORD size = static_cast<DWORD>(bytes->size());
  DWORD written = 0;
  if (!::WriteFile(scratch.handle(), bytes->data(), size, &written, nullptr)) {
    return LastFailure(path);
  }
  if (written != size) return Failure(ERROR_WRITE_FAULT, path);
  if (!::FlushFileBuffers(scratch.handle()) || !scratch.Close()) return LastFailure(path);
  if (!::MoveFileExW(scratch.path().c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = ::GetLastError();
    // A script that may not be replaced (read-only, held open, a folder) is reported with the
    // error that writing it gives. It is asked only now: where no script is there yet, the
    // question is a lookup of a missing name, which Wine answers by reading the whole folder.
    if (OpStatus status = CheckWritable(target, path); !status.ok()) return status;
    return Failure(error, path);
  }
  scratch.Keep();
  return OpStatus::Success();
}

OpStatus Win32Platform::LaunchHidden(const std::wstring& commandLine) {
  std::wstring writableLine = commandLine;  // CreateProcessW may modify the buffer
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  const std::wstring program = SystemProgram(commandLine);
  // SW_HIDE alone is not honoured where a terminal application hosts new consoles; a console
  // program started without a console window has nothing to show at all.
  if (!::CreateProcessW(program.empty() ? nullptr : program.c_str(), writableLine.data(), nullptr,
                        nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
    return LastFailure(program.empty() ? commandLine : program);
  }
  // Nothing of the new process is kept.
  const UniqueHandle processHandle(process.hProcess);
  const UniqueHandle threadHandle(process.hThread);
  return OpStatus::Success();
}

std::vector<WindowHandle> Win32Platform::ConsoleWindows() {
  std::vector<WindowHandle> windows;
  HWND window = nullptr;
  while ((window = ::FindWindowExA(nullptr, window, "ConsoleWindowClass", nullptr)) != nullptr) {
    windows.push_back(reinterpret_cast<WindowHandle>(window));
  }
  return windows;
}

bool Win32Platform::LoadWindowManager() {
  if (dwmGetWindowAttribute_ != nullptr) return true;
  if (windowManagerTried_) return false;
  windowManagerTried_ = true;
  win32::UniqueModule library = LoadSystemLibrary(L"dwmapi.dll");
  if (!library) return false;
  const FARPROC query = ::GetProcAddress(library.get(), "DwmGetWindowAttribute");
  if (query == nullptr) return false;
  windowManager_ = std::move(library);
  dwmGetWindowAttribute_ = std::bit_cast<DwmGetWindowAttributeFn>(query);
  return true;
}

bool Win32Platform::IsShown(WindowHandle window) {
  return ::IsWindowVisible(reinterpret_cast<HWND>(window)) != FALSE;
}

bool Win32Platform::IsCloaked(WindowHandle window) {
  // A window on another virtual desktop of Windows 10 and 11 keeps WS_VISIBLE; the window manager
  // cloaks it instead. Windows 7 (and Wine) refuse the attribute: nothing is cloaked there.
  if (!LoadWindowManager()) return false;
  DWORD cloaked = 0;
  return SUCCEEDED(dwmGetWindowAttribute_(reinterpret_cast<HWND>(window), kDwmCloaked, &cloaked,
                                          sizeof cloaked)) &&
         cloaked != 0;
}

bool Win32Platform::RunsAboveThisProgram(WindowHandle handle) {
  // User Interface Privilege Isolation lets a program post only to windows of programs of its own
  // or a lower integrity level (PostMessage's documentation: a blocked post fails with error 5;
  // Microsoft's notes on UIPI say that some such calls report success and drop the message), so
  // the levels are compared before anything is posted.
  DWORD processId = 0;
  if (::GetWindowThreadProcessId(reinterpret_cast<HWND>(handle), &processId) == 0) return false;
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process) return false;
  const auto theirs = IntegrityLevel(process.get());
  const auto ours = IntegrityLevel(::GetCurrentProcess());
  return theirs && ours && *theirs > *ours;
}

bool Win32Platform::PostChar(WindowHandle window, std::int32_t code) {
  // The code is a byte, or a double-byte character with its lead byte in bits 0-7 and its trail
  // byte in bits 8-15, which is where the system looks for them when it converts the message for
  // a Unicode window such as the console's. lParam says what a key press says: repeat count 1,
  // key down. The console host makes each WM_CHAR a key event with the message's repeat count,
  // and merges equal key events still waiting to be read by adding their counts, reading a count
  // of 0 as one character (microsoft/terminal: src/interactivity/win32/windowio.cpp HandleKeyEvent,
  // src/host/inputBuffer.cpp _CoalesceEvent and InputBuffer::Read). With a count of 0 the doubled
  // letters of a line posted in one go would reach the console as one.
  const WPARAM value = static_cast<WPARAM>(static_cast<std::uint32_t>(code));
  return ::PostMessageA(reinterpret_cast<HWND>(window), WM_CHAR, value, kOneKeyPress) != FALSE;
}

unsigned Win32Platform::AnsiMaxCharBytes() {
  CPINFO info{};
  // Not knowing, the widest: then only what every code page spells alike is typed.
  if (!::GetCPInfo(CP_ACP, &info)) return 4;
  return info.MaxCharSize;
}

bool Win32Platform::ConsoleReadsAnsi() { return ::GetOEMCP() == ::GetACP(); }

std::optional<std::string> Win32Platform::ToAnsi(std::wstring_view text) {
  if (text.empty()) return std::string();
  if (text.size() > static_cast<std::size_t>(INT_MAX) / 4) return std::nullopt;
  const int length = static_cast<int>(text.size());
  const UINT codePage = ::GetACP();
  // With UTF-8 as the ANSI code page (an option of newer Windows) the no-best-fit flag and the
  // default-character report are not allowed; there only broken UTF-16 cannot be converted.
  const bool utf8 = codePage == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* const usedDefaultReport = utf8 ? nullptr : &usedDefault;

  const int size = ::WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr,
                                         usedDefaultReport);
  if (size <= 0 || usedDefault) return std::nullopt;
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (::WideCharToMultiByte(codePage, flags, text.data(), length, bytes.data(), size, nullptr,
                            usedDefaultReport) != size ||
      usedDefault) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace tav
