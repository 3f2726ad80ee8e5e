// Measuring harness for scripts/bench. It starts a window program, times how long the program
// takes to show its main window, lets it idle while counting the CPU time it uses and how often
// it wakes up, and reads its working set. Each measurement prints one "key value" line per
// result. The part modes run the measurements of a whole part, each in a process of its own, and
// add their lines to a results file, each after a "part <name>" line; the file begins with the
// part "run", which says what to measure. The report prints the tables of such a file: medians,
// quartiles and run-by-run ratios, and the targets.
//
//   tav_bench startup <runs> <exe> <exe>...        each run starts every program once, in an
//                                                  order that rotates from run to run; one
//                                                  startup_<k>_ms line per program and run
//   tav_bench idle <seconds> <exe> [<pickedFile>]  idle cost, optionally after picking a file
//                                                  through TAV's Open dialog
//   tav_bench scale <runs> <exe> <file> <newExt> <line>
//                                                  开始 in the folder of file (TAV started with
//                                                  file as its argument) against the floor: one
//                                                  listing and one atomic small write there; TAV
//                                                  must write the plain or the per-file line
//   tav_bench clear <exe> <file>                   清除 in the folder of file, once
//   tav_bench report <results>                     the tables of a results file
//   tav_bench startup-part <results>               the start-up and idle part, each
//                                                  measurement in a process of its own, added
//                                                  to the results file; then its tables
//   tav_bench scale-part <results>                 the same for the scale part
//
// Under Wine, GetProcessTimes reports no CPU time for another process, so the CPU time is read
// from the Linux side of the Wine process (its /proc entry, reached through drive Z:), and so is
// the number of wake-ups: the voluntary context switches of its threads, each one a sleep that
// ended. The wineserver's share is measured the same way: every timer tick and message passes
// through it.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ui/control_ids.h"

namespace {

constexpr DWORD kWindowTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 5000;
constexpr DWORD kSettleMs = 1000;
constexpr int kOpenDialogFileNameCombo = 0x47C;  // cmb13, the Explorer-style file name box
constexpr int kOpenDialogFileNameEdit = 0x480;   // edt1, the older file name box

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { reset(); }
  void reset(HANDLE handle = nullptr) {
    if (valid()) CloseHandle(handle_);
    handle_ = handle;
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class FindHandle {
 public:
  explicit FindHandle(HANDLE handle) : handle_(handle) {}
  FindHandle(const FindHandle&) = delete;
  FindHandle& operator=(const FindHandle&) = delete;
  ~FindHandle() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

double NowMs() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency);
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                      nullptr, nullptr);
  return bytes;
}

std::wstring FromUtf8(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size =
      MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), size);
  return text;
}

void Emit(const char* key, const std::string& value) {
  std::printf("%s %s\n", key, value.c_str());
  std::fflush(stdout);
}

void Emit(const char* key, double value) { Emit(key, std::to_string(value)); }

bool IsNumber(const std::wstring& name) {
  return !name.empty() &&
         std::all_of(name.begin(), name.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

[[noreturn]] void Fail(const std::string& why) { throw std::runtime_error(why); }

// ---- windows of a process

struct WindowSearch {
  DWORD pid;
  const wchar_t* className;  // nullptr: any class
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
  if (search->className) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (std::wcscmp(name, search->className) != 0) return TRUE;
  }
  search->found = window;
  return FALSE;
}

HWND VisibleTopLevelWindow(DWORD pid, const wchar_t* className = nullptr) {
  WindowSearch search{pid, className, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Polls every millisecond until the process shows a top-level window of the class, or the
// timeout passes (nullptr) or the process ends (nullptr).
HWND WaitForVisibleWindow(HANDLE process, DWORD pid, DWORD timeoutMs,
                          const wchar_t* className = nullptr) {
  const double deadline = NowMs() + timeoutMs;
  while (NowMs() < deadline) {
    if (HWND window = VisibleTopLevelWindow(pid, className)) return window;
    if (WaitForSingleObject(process, 1) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

std::wstring WindowText(HWND window) {
  wchar_t text[1024] = {};
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      2000, &copied);
  return text;
}

BOOL CALLBACK FindEditChild(HWND window, LPARAM param) {
  wchar_t name[32] = {};
  GetClassNameW(window, name, 32);
  if (_wcsicmp(name, L"Edit") != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = window;
  return FALSE;
}

HWND FileNameBox(HWND dialog) {
  for (const int id : {kOpenDialogFileNameCombo, kOpenDialogFileNameEdit}) {
    HWND control = GetDlgItem(dialog, id);
    if (!control) continue;
    wchar_t name[32] = {};
    GetClassNameW(control, name, 32);
    if (_wcsicmp(name, L"Edit") == 0) return control;
    HWND edit = nullptr;
    EnumChildWindows(control, FindEditChild, reinterpret_cast<LPARAM>(&edit));
    if (edit) return edit;
  }
  return nullptr;
}

// ---- child processes

BOOL CALLBACK CloseWindowOfProcess(HWND window, LPARAM pid) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == static_cast<DWORD>(pid)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

// A started program; it is stopped when this goes out of scope, whatever happened meanwhile.
class Child {
 public:
  explicit Child(const std::wstring& exe, const std::wstring& argument = {}) {
    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!argument.empty()) commandLine += L" \"" + argument + L"\"";
    const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
      Fail("cannot start " + ToUtf8(exe) + " (error " + std::to_string(GetLastError()) + ")");
    }
    process_.reset(info.hProcess);
    thread_.reset(info.hThread);
    pid_ = info.dwProcessId;
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }

  HANDLE process() const { return process_.get(); }
  DWORD pid() const { return pid_; }
  bool Running() const { return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT; }

  // Asks the program to close its windows, and ends it through its own handle when it does not.
  void Stop() {
    if (!Running()) return;
    EnumWindows(CloseWindowOfProcess, static_cast<LPARAM>(pid_));
    if (WaitForSingleObject(process_.get(), kExitTimeoutMs) != WAIT_OBJECT_0) {
      TerminateProcess(process_.get(), 1);
      WaitForSingleObject(process_.get(), kExitTimeoutMs);
    }
  }

 private:
  Handle process_;
  Handle thread_;
  DWORD pid_ = 0;
};

// ---- the Linux side of Wine processes, through drive Z:

std::optional<std::string> ReadUnixFile(const std::wstring& path) {
  Handle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
    content.append(buffer, read);
  }
  return content;
}

std::vector<std::wstring> UnixProcessIds() {
  std::vector<std::wstring> ids;
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW(L"Z:\\proc\\*", &entry));
  if (!find.valid()) return ids;
  do {
    if (IsNumber(entry.cFileName)) ids.push_back(entry.cFileName);
  } while (FindNextFileW(find.get(), &entry));
  return ids;
}

// The items of a text between separators; a separator at the end ends the last item.
std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    items.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

bool HasEnvironmentEntry(const std::wstring& unixPid, const std::string& entry) {
  const auto environment = ReadUnixFile(L"Z:\\proc\\" + unixPid + L"\\environ");
  if (!environment) return false;
  const auto items = Split(*environment, '\0');
  return std::find(items.begin(), items.end(), entry) != items.end();
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The Linux process of this Wine prefix whose command line starts with (or, for the wineserver,
// contains) the given text.
std::optional<std::wstring> FindUnixProcess(const std::string& text, bool prefixMatch) {
  const std::string myPrefix = [] {
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEPREFIX", value, MAX_PATH);
    return "WINEPREFIX=" + ToUtf8(value);
  }();
  const std::string wanted = Lower(text);
  for (const auto& id : UnixProcessIds()) {
    const auto commandLine = ReadUnixFile(L"Z:\\proc\\" + id + L"\\cmdline");
    if (!commandLine || commandLine->empty()) continue;
    const std::string argv0 = Lower(Split(*commandLine, '\0').front());
    const auto at = argv0.find(wanted);
    if (at == std::string::npos || (prefixMatch && at != 0)) continue;
    if (HasEnvironmentEntry(id, myPrefix)) return id;
  }
  return std::nullopt;
}

// The number after "name:" on the line of a /proc status file that starts with the name.
std::optional<double> StatusField(const std::string& status, std::string_view name) {
  for (std::size_t line = 0; line < status.size();) {
    const std::size_t end = std::min(status.find('\n', line), status.size());
    const std::string_view text(status.data() + line, end - line);
    if (text.size() > name.size() && text.starts_with(name) && text[name.size()] == ':') {
      return std::strtod(status.c_str() + line + name.size() + 1, nullptr);
    }
    line = end + 1;
  }
  return std::nullopt;
}

// What all threads of a Linux process have used so far.
struct ThreadTotals {
  double cpuNs = 0;              // CPU time
  double voluntarySwitches = 0;  // sleeps, each ended by a wake-up
};

std::optional<ThreadTotals> UnixThreadTotals(const std::wstring& unixPid) {
  const std::wstring taskFolder = L"Z:\\proc\\" + unixPid + L"\\task\\";
  WIN32_FIND_DATAW entry;
  FindHandle find(FindFirstFileW((taskFolder + L"*").c_str(), &entry));
  if (!find.valid()) return std::nullopt;
  ThreadTotals totals;
  bool any = false;
  do {
    if (!IsNumber(entry.cFileName)) continue;
    const std::wstring thread = taskFolder + entry.cFileName;
    const auto schedstat = ReadUnixFile(thread + L"\\schedstat");
    const auto status = ReadUnixFile(thread + L"\\status");
    const auto switches = status ? StatusField(*status, "voluntary_ctxt_switches") : std::nullopt;
    if (!schedstat || !switches) continue;  // the thread ended meanwhile
    totals.cpuNs += std::strtod(schedstat->c_str(), nullptr);
    totals.voluntarySwitches += *switches;
    any = true;
  } while (FindNextFileW(find.get(), &entry));
  if (!any) return std::nullopt;
  return totals;
}

// ---- the two measurements

// Waits until every process that the given one started has ended: TAV starts a command
// interpreter, which must not run on into the next program's start-up.
void WaitForChildrenOf(DWORD pid) {
  Handle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.valid()) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot.get(), &entry); more;
       more = Process32NextW(snapshot.get(), &entry)) {
    if (entry.th32ParentProcessID != pid) continue;
    Handle child(OpenProcess(SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (child.valid()) WaitForSingleObject(child.get(), kExitTimeoutMs);
  }
}

double StartupMs(const std::wstring& exe) {
  double elapsed = 0;
  DWORD pid = 0;
  {
    const double start = NowMs();
    Child child(exe);
    pid = child.pid();
    const HWND window = WaitForVisibleWindow(child.process(), pid, kWindowTimeoutMs);
    elapsed = NowMs() - start;
    if (!window) Fail("no visible window from " + ToUtf8(exe));
  }
  WaitForChildrenOf(pid);
  return elapsed;
}

int RunStartup(int runs, const std::vector<std::wstring>& exes) {
  // One unrecorded run of each first: the first start of a program pays for reading it from disk.
  for (const auto& exe : exes) StartupMs(exe);
  const std::size_t count = exes.size();
  for (int run = 0; run < runs; ++run) {
    // Rotate which one goes first, so that each takes every place in the order equally often.
    std::vector<double> times(count);
    for (std::size_t place = 0; place < count; ++place) {
      const std::size_t k = (static_cast<std::size_t>(run) + place) % count;
      times[k] = StartupMs(exes[k]);
      Sleep(200);
    }
    for (std::size_t k = 0; k < count; ++k) {
      Emit(("startup_" + std::to_string(k) + "_ms").c_str(), times[k]);
    }
  }
  return 0;
}

// Opens TAV's Open dialog with the Directory menu item, types the path into its file name box
// and presses Open; returns once the status label names the picked file's folder.
void PickThroughOpenDialog(const Child& child, HWND mainWindow, const std::wstring& path) {
  PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(tav::ids::kMenuDirectory, 0), 0);
  const HWND dialog =
      WaitForVisibleWindow(child.process(), child.pid(), kWindowTimeoutMs, L"#32770");
  if (!dialog) Fail("the Open dialog did not appear");
  const HWND box = FileNameBox(dialog);
  if (!box) Fail("the Open dialog has no file name box");
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                      2000, &ignored);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDOK)));

  const std::wstring expected = L"当前目录 " + path.substr(0, path.find_last_of(L'\\'));
  const HWND label = GetDlgItem(mainWindow, tav::ids::kLabel2);
  const double deadline = NowMs() + kWindowTimeoutMs;
  std::wstring caption;
  while (NowMs() < deadline) {
    caption = label ? WindowText(label) : std::wstring();
    if (caption == expected && !IsWindow(dialog)) break;
    Sleep(10);
  }
  Emit("label", ToUtf8(caption));
  if (caption != expected) Fail("the status label did not show the picked folder");
}

std::string Ratio(double part, double wallMs) {
  return std::to_string(part / 1e6 / wallMs * 100.0);  // percent of one core
}

std::string PerSecond(double count, double wallMs) {
  return std::to_string(count * 1000.0 / wallMs);
}

void EmitIdleCost(const char* who, const std::optional<ThreadTotals>& before,
                  const std::optional<ThreadTotals>& after, double wallMs) {
  if (!before || !after) return;
  Emit(("cpu_" + std::string(who) + "_pct").c_str(), Ratio(after->cpuNs - before->cpuNs, wallMs));
  Emit(("wakeups_" + std::string(who) + "_per_s").c_str(),
       PerSecond(after->voluntarySwitches - before->voluntarySwitches, wallMs));
}

// Working set now and at its peak, the part of it that is the program's own memory rather than
// mapped files, and the modules loaded into the process.
void EmitMemory(const Child& child, const std::wstring& unixPid) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (K32GetProcessMemoryInfo(child.process(), &memory, sizeof memory)) {
    Emit("working_set", static_cast<double>(memory.WorkingSetSize));
    Emit("peak_working_set", static_cast<double>(memory.PeakWorkingSetSize));
  }
  if (const auto status = ReadUnixFile(L"Z:\\proc\\" + unixPid + L"\\status")) {
    if (const auto kb = StatusField(*status, "RssAnon")) Emit("rss_anon", *kb * 1024);
    if (const auto kb = StatusField(*status, "RssFile")) Emit("rss_file", *kb * 1024);
  }
  HMODULE modules[512];
  DWORD bytes = 0;
  if (!K32EnumProcessModules(child.process(), modules, sizeof modules, &bytes)) return;
  std::string names;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    wchar_t name[MAX_PATH] = {};
    if (K32GetModuleBaseNameW(child.process(), modules[i], name, MAX_PATH) == 0) continue;
    names += (names.empty() ? "" : ",") + Lower(ToUtf8(name));
  }
  Emit("modules", names);
}

int RunIdle(double seconds, const std::wstring& exe, const std::optional<std::wstring>& pick) {
  Child child(exe);
  const HWND window = WaitForVisibleWindow(child.process(), child.pid(), kWindowTimeoutMs);
  if (!window) Fail("no visible window from " + ToUtf8(exe));
  if (pick) PickThroughOpenDialog(child, window, *pick);
  Sleep(kSettleMs);

  const auto unixPid = FindUnixProcess(ToUtf8(exe), true);
  const auto serverPid = FindUnixProcess("wineserver", false);
  if (!unixPid) Fail("cannot find the Linux process of " + ToUtf8(exe));
  const auto processBefore = UnixThreadTotals(*unixPid);
  const auto serverBefore = serverPid ? UnixThreadTotals(*serverPid) : std::nullopt;
  const double start = NowMs();
  Sleep(static_cast<DWORD>(seconds * 1000));
  const auto processAfter = UnixThreadTotals(*unixPid);
  const auto serverAfter = serverPid ? UnixThreadTotals(*serverPid) : std::nullopt;
  const double wallMs = NowMs() - start;

  if (!child.Running()) Fail("the program ended while idle");
  EmitMemory(child, *unixPid);
  child.Stop();

  EmitIdleCost("process", processBefore, processAfter, wallMs);
  EmitIdleCost("wineserver", serverBefore, serverAfter, wallMs);
  return 0;
}

// ---- 开始 and 清除 in big folders

constexpr DWORD kCommandTimeoutMs = 600000;

double PeakWorkingSet(HANDLE process) {
  PROCESS_MEMORY_COUNTERS memory{};
  memory.cb = sizeof memory;
  if (!K32GetProcessMemoryInfo(process, &memory, sizeof memory)) Fail("cannot read a working set");
  return static_cast<double>(memory.PeakWorkingSetSize);
}

// The visible message box of the process, or nullptr. Looking only at windows of the dialog
// class keeps the polling light while TAV works.
HWND VisibleNotice(DWORD pid) {
  HWND window = nullptr;
  while ((window = FindWindowExW(nullptr, window, L"#32770", nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid && IsWindowVisible(window)) return window;
  }
  return nullptr;
}

std::wstring NoticeText(HWND notice) {
  const HWND text = GetDlgItem(notice, 0xFFFF);
  return text ? WindowText(text) : std::wstring();
}

void CloseNotice(HWND notice) {
  PostMessageW(notice, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  const double deadline = NowMs() + kWindowTimeoutMs;
  while (IsWindow(notice) && NowMs() < deadline) Sleep(5);
  if (IsWindow(notice)) Fail("the notice did not close");
}

std::wstring ControlText(HWND mainWindow, int id) {
  wchar_t text[256] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(GetDlgItem(mainWindow, id), WM_GETTEXT, 256,
                           reinterpret_cast<LPARAM>(text), SMTO_NORMAL, kCommandTimeoutMs,
                           &copied)) {
    Fail("TAV did not answer");
  }
  return text;
}

// TAV started with a file of the folder as its argument, Text1 showing that file's extension.
HWND StartWithFile(const Child& child, const std::wstring& file) {
  const HWND window = WaitForVisibleWindow(child.process(), child.pid(), kWindowTimeoutMs);
  if (!window) Fail("no visible window from TAV");
  const std::wstring ext = file.substr(file.find_last_of(L'.') + 1);
  const double deadline = NowMs() + kWindowTimeoutMs;
  while (ControlText(window, tav::ids::kText1) != ext) {
    if (NowMs() > deadline) Fail("Text1 did not show the extension of " + ToUtf8(file));
    Sleep(10);
  }
  return window;
}

std::size_t CountMatches(const std::wstring& pattern) {
  WIN32_FIND_DATAW entry{};
  FindHandle find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                   nullptr, 0));
  std::size_t matches = 0;
  if (find.valid()) {
    do ++matches;
    while (FindNextFileW(find.get(), &entry));
  }
  return matches;
}

// The Linux process of this prefix that runs the Windows program at path: its command line holds
// the path first, or third after the emulator and Wine's loader that run a 32-bit program.
// When several do (one left over from an earlier run), the one started last.
std::optional<std::wstring> UnixProcessRunning(const std::wstring& path) {
  const std::string wanted = Lower(ToUtf8(path));
  std::optional<std::wstring> found;
  double foundStart = -1;
  for (const auto& id : UnixProcessIds()) {
    const auto commandLine = ReadUnixFile(L"Z:\\proc\\" + id + L"\\cmdline");
    if (!commandLine) continue;
    const auto args = Split(*commandLine, '\0');
    const bool emulated =
        args.size() >= 3 && args[0].find("qemu") != std::string::npos && args[1].ends_with("/wine");
    if (!(!args.empty() && Lower(args[0]) == wanted) && !(emulated && Lower(args[2]) == wanted)) {
      continue;
    }
    // The start time is field 22 of the stat line; the blank after the command name in brackets
    // comes before field 3.
    const auto stat = ReadUnixFile(L"Z:\\proc\\" + id + L"\\stat");
    const std::size_t name = stat ? stat->rfind(')') : std::string::npos;
    if (name == std::string::npos) continue;
    const char* field = stat->c_str() + name + 1;
    for (int i = 3; i < 22 && field != nullptr; ++i) field = std::strchr(field + 1, ' ');
    const double start = field != nullptr ? std::strtod(field, nullptr) : 0;
    if (start > foundStart) {
      found = id;
      foundStart = start;
    }
  }
  return found;
}

std::wstring OwnPath() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  return path;
}

// The CPU time that the threads of a Linux process have used so far; 0 when it cannot be read.
double CpuMs(const std::optional<std::wstring>& unixPid) {
  const auto totals = unixPid ? UnixThreadTotals(*unixPid) : std::nullopt;
  return totals ? totals->cpuNs / 1e6 : 0;
}

// What 开始 cannot avoid, done the way TAV does it: one listing of the pattern, then one small
// file written whole beside the script and moved into its place.
struct FloorTimes {
  double listingMs;
  double writeMs;
  std::size_t matches;
};

FloorTimes Floor(const std::wstring& folder, const std::wstring& ext) {
  const double start = NowMs();
  const std::size_t matches = CountMatches(folder + L"\\*." + ext);
  const double listed = NowMs();
  const std::wstring scratch = folder + L"\\floor.tmp";
  const std::wstring target = folder + L"\\tav.bat";
  {
    Handle file(CreateFileW(scratch.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) Fail("cannot create the floor's file");
    const char line[] = "ren *.old *.new\r\n";
    DWORD written = 0;
    if (!WriteFile(file.get(), line, sizeof line - 1, &written, nullptr) ||
        !FlushFileBuffers(file.get())) {
      Fail("cannot write the floor's file");
    }
  }
  if (!MoveFileExW(scratch.c_str(), target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    Fail("cannot move the floor's file");
  }
  return {listed - start, NowMs() - listed, matches};
}

// One lookup of a name that is not in the folder: Windows answers it from the folder's index;
// Wine reads the whole folder, as a name may be there in other letter cases.
double MissingNameLookupMs(const std::wstring& folder) {
  const double start = NowMs();
  const Handle file(CreateFileW((folder + L"\\absent.tmp").c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const double elapsed = NowMs() - start;
  if (file.valid()) Fail("absent.tmp is there");
  return elapsed;
}

void SetControlText(HWND mainWindow, int id, const std::wstring& text) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(GetDlgItem(mainWindow, id), WM_SETTEXT, 0,
                      reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, kWindowTimeoutMs,
                      &ignored);
}

struct Cost {
  double ms;
  double cpuMs;  // of the Linux process unixPid, when given
};

// Presses 开始; the time until a notice shows, which must say expected.
Cost StartToNotice(const Child& child, HWND mainWindow, const std::wstring& expected,
                   const std::optional<std::wstring>& unixPid = std::nullopt) {
  const double cpuBefore = unixPid ? CpuMs(unixPid) : 0;
  const double start = NowMs();
  PostMessageW(mainWindow, WM_COMMAND, MAKEWPARAM(tav::ids::kCommand1, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(mainWindow, tav::ids::kCommand1)));
  // The notice counts once it holds its text: a message box can be visible before it has that.
  HWND notice = nullptr;
  std::wstring text;
  const double deadline = start + kCommandTimeoutMs;
  while (NowMs() < deadline) {
    notice = VisibleNotice(child.pid());
    if (notice && !(text = NoticeText(notice)).empty()) break;
    if (WaitForSingleObject(child.process(), 1) == WAIT_OBJECT_0) Fail("TAV ended");
  }
  const double elapsed = NowMs() - start;
  const double cpu = unixPid ? CpuMs(unixPid) - cpuBefore : 0;
  if (text.empty()) Fail("no notice after 开始");
  CloseNotice(notice);
  if (text != expected) Fail("开始 answered: " + ToUtf8(text));
  return {elapsed, cpu};
}

// 开始 with no script in the folder yet.
Cost WriteScript(const Child& child, HWND mainWindow, const std::wstring& script,
                 const std::optional<std::wstring>& unixPid) {
  DeleteFileW(script.c_str());
  return StartToNotice(child, mainWindow, L"请打开" + script + L"并运行。", unixPid);
}

// 开始 with Text1 empty: its refusal touches no file, so this is the part of 开始 → notice that
// is not the folder's: the button, the message box and the polling for it.
double RefusalMs(const Child& child, HWND mainWindow, const std::wstring& ext) {
  SetControlText(mainWindow, tav::ids::kText1, L"");
  const double elapsed = StartToNotice(child, mainWindow, L"请输入修改前的扩展名。").ms;
  SetControlText(mainWindow, tav::ids::kText1, ext);
  return elapsed;
}

std::string ScriptKind(const std::wstring& script) {
  const auto bytes = ReadUnixFile(script);
  if (!bytes) Fail("no script was written");
  return bytes->find("for %%f") != std::string::npos ? "per-file" : "plain";
}

// 开始 in the folder of file against the floor, in alternating order, runs times after one
// unrecorded round; then the peak working sets. The folder is made for the line that TAV must
// write (plain or per-file), which is checked.
int RunScale(const std::wstring& exe, const std::wstring& file, const std::wstring& newExt,
             const std::string& line, int runs) {
  const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
  const std::wstring ext = file.substr(file.find_last_of(L'.') + 1);
  const std::wstring script = folder + L"\\tav.bat";
  const double ownPeakBefore = PeakWorkingSet(GetCurrentProcess());
  Child child(exe, file);
  const HWND window = StartWithFile(child, file);
  SetControlText(window, tav::ids::kText2, newExt);
  Sleep(kSettleMs);
  Emit("tav_peak_before", PeakWorkingSet(child.process()));
  // On a busy machine the CPU time of each side varies much less than the time on the clock.
  const auto tavUnix = UnixProcessRunning(exe);
  const auto ownUnix = UnixProcessRunning(OwnPath());
  if (!tavUnix || !ownUnix) Fail("cannot find the Linux processes");
  double floorCpu = 0;
  const auto measureFloor = [&] {
    const double before = CpuMs(ownUnix);
    const FloorTimes times = Floor(folder, ext);
    floorCpu = CpuMs(ownUnix) - before;
    return times;
  };
  // The floor writes a script of the same name, so TAV's line is read right after TAV wrote it.
  std::string kind;
  const auto measureTav = [&] {
    const Cost cost = WriteScript(child, window, script, tavUnix);
    kind = ScriptKind(script);
    return cost;
  };
  for (int run = -1; run < runs; ++run) {
    FloorTimes floor{};
    Cost tav{};
    if (run % 2 == 0) {
      floor = measureFloor();
      tav = measureTav();
    } else {
      tav = measureTav();
      floor = measureFloor();
    }
    const double lookup = MissingNameLookupMs(folder);
    const double refusal = RefusalMs(child, window, ext);
    if (run < 0) continue;
    Emit("matches", static_cast<double>(floor.matches));
    Emit("listing_ms", floor.listingMs);
    Emit("write_ms", floor.writeMs);
    Emit("floor_ms", floor.listingMs + floor.writeMs);
    Emit("start_ms", tav.ms);
    Emit("lookup_ms", lookup);
    Emit("refusal_ms", refusal);
    Emit("floor_cpu_ms", floorCpu);
    Emit("start_cpu_ms", tav.cpuMs);
  }
  Emit("script", kind);
  if (kind != line) Fail("开始 wrote the " + kind + " line, not the " + line + " one");
  DeleteFileW(script.c_str());
  Emit("tav_peak", PeakWorkingSet(child.process()));
  Emit("floor_peak_growth", PeakWorkingSet(GetCurrentProcess()) - ownPeakBefore);
  return 0;
}

// The Windows path of a Linux one, through drive Z:.
std::wstring ThroughDriveZ(const std::string& unixPath) {
  std::wstring path = L"Z:" + FromUtf8(unixPath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

// The Recycle Bin of the process: Wine keeps it in $XDG_DATA_HOME/Trash, when that folder exists.
std::optional<std::wstring> RecycleBin() {
  wchar_t home[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"XDG_DATA_HOME", home, MAX_PATH) == 0) return std::nullopt;
  return ThroughDriveZ(ToUtf8(home)) + L"\\Trash\\files";
}

// 清除 in the folder of file, once (it takes the files away): its time until the boxes are
// empty, against one listing of the scripts' pattern in the same folder just before. With a
// private Recycle Bin (XDG_DATA_HOME set), the scripts must be there afterwards.
int RunClear(const std::wstring& exe, const std::wstring& file) {
  const std::wstring folder = file.substr(0, file.find_last_of(L'\\'));
  const std::wstring pattern = folder + L"\\tav.*";
  Child child(exe, file);
  const HWND window = StartWithFile(child, file);
  Sleep(kSettleMs);
  const double listStart = NowMs();
  const std::size_t scripts = CountMatches(pattern);
  Emit("listing_ms", NowMs() - listStart);
  Emit("scripts", static_cast<double>(scripts));
  const double start = NowMs();
  PostMessageW(window, WM_COMMAND, MAKEWPARAM(tav::ids::kMenuClear, 0), 0);
  // TAV answers only once the command is over: the boxes are empty then, or a notice is open.
  while (!ControlText(window, tav::ids::kText1).empty()) {
    if (HWND notice = VisibleNotice(child.pid()))
      Fail("清除 answered: " + ToUtf8(NoticeText(notice)));
    if (NowMs() > start + kCommandTimeoutMs) Fail("清除 did not finish");
    Sleep(1);
  }
  Emit("clear_ms", NowMs() - start);
  Emit("tav_peak", PeakWorkingSet(child.process()));
  if (CountMatches(pattern) != 0) Fail("清除 left scripts behind");
  const auto bin = RecycleBin();
  if (bin && CountMatches(*bin + L"\\tav.*") != scripts) {
    Fail("清除 moved " + std::to_string(CountMatches(*bin + L"\\tav.*")) + " of the " +
         std::to_string(scripts) + " scripts to the Recycle Bin");
  }
  return 0;
}

// ---- the tables, from the lines of a run that scripts/bench collected

// The lines of one measurement: "part <name>" in the results file, then its "key value" lines.
struct Part {
  std::string name;
  std::vector<std::pair<std::string, std::string>> lines;
};

using Results = std::vector<Part>;

Results ReadResults(const std::wstring& path) {
  const auto text = ReadUnixFile(path);
  if (!text) Fail("cannot read " + ToUtf8(path));
  Results parts;
  for (std::string line : Split(*text, '\n')) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    const std::size_t space = std::min(line.find(' '), line.size());
    std::string key = line.substr(0, space);
    std::string value = line.substr(std::min(space + 1, line.size()));
    if (key == "part") {
      parts.push_back({std::move(value), {}});
    } else {
      if (parts.empty()) Fail("the results begin without a part");
      parts.back().lines.emplace_back(std::move(key), std::move(value));
    }
  }
  return parts;
}

const Part* FindPart(const Results& parts, std::string_view name) {
  const auto part =
      std::find_if(parts.begin(), parts.end(), [&](const Part& p) { return p.name == name; });
  return part == parts.end() ? nullptr : &*part;
}

const Part& PartNamed(const Results& parts, std::string_view name) {
  const Part* part = FindPart(parts, name);
  if (!part) Fail("the results hold no part \"" + std::string(name) + "\"");
  return *part;
}

std::optional<std::string> FirstValue(const Part& part, std::string_view key) {
  for (const auto& [k, value] : part.lines) {
    if (k == key) return value;
  }
  return std::nullopt;
}

double Number(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

std::optional<double> OptionalNumber(const Part& part, std::string_view key) {
  const auto value = FirstValue(part, key);
  if (!value || value->empty()) return std::nullopt;
  return Number(*value);
}

double NumberOf(const Part& part, std::string_view key) {
  const auto value = OptionalNumber(part, key);
  if (!value) Fail("part \"" + part.name + "\" has no " + std::string(key));
  return *value;
}

std::string TextOf(const Part& part, std::string_view key) {
  const auto value = FirstValue(part, key);
  if (!value) Fail("part \"" + part.name + "\" has no " + std::string(key));
  return *value;
}

// Every value of the key, in the order of the runs.
std::vector<double> Numbers(const Part& part, std::string_view key) {
  std::vector<double> numbers;
  for (const auto& [k, value] : part.lines) {
    if (k == key) numbers.push_back(Number(value));
  }
  return numbers;
}

// ---- statistics of the runs

template <typename... Values>
std::string Format(const char* format, Values... values) {
  const int size = std::snprintf(nullptr, 0, format, values...);
  std::string text(static_cast<std::size_t>(std::max(size, 0)), '\0');
  std::snprintf(text.data(), text.size() + 1, format, values...);
  return text;
}

// A figure rounded to the decimals it is first shown with: what a table later makes of it (a
// ratio shown to two decimals, a target met or missed) starts from the figure shown.
double Kept(double value, int decimals) { return Number(Format("%.*f", decimals, value)); }

// A run's ratio counts with six significant digits, a whole one exactly.
double KeptRatio(double ratio) {
  if (ratio == std::floor(ratio) && std::fabs(ratio) <= 2147483647.0) return ratio;
  return Number(Format("%.6g", ratio));
}

struct Quartiles {
  double median = 0;
  double low = 0;   // the first quartile
  double high = 0;  // the third quartile
  double min = 0;
  double max = 0;
};

// The median, quartiles and extremes of the values, kept to the given decimals. A quantile that
// falls between two values is interpolated linearly between them. No values give zeros.
Quartiles QuartilesOf(std::vector<double> values, int decimals) {
  if (values.empty()) return {};
  std::sort(values.begin(), values.end());
  const std::size_t last = values.size() - 1;
  const auto quantile = [&](double p) {
    // The place counted from 1, as in the usual definition.
    const double place = 1 + static_cast<double>(last) * p;
    const auto below = static_cast<std::size_t>(place);
    const double lower = values[below - 1];
    const double upper = values[std::min(below, last)];
    return Kept(lower + (place - static_cast<double>(below)) * (upper - lower), decimals);
  };
  return {quantile(0.5), quantile(0.25), quantile(0.75), Kept(values.front(), decimals),
          Kept(values.back(), decimals)};
}

double MedianOf(const Part& part, std::string_view key) {
  return QuartilesOf(Numbers(part, key), 3).median;
}

// The ratios of two keys' values taken run by run (a run whose divisor is 0 has none), to three
// decimals: on a busy machine a run's two figures share its load, which the ratio cancels.
Quartiles PairedRatios(const Part& part, std::string_view key, std::string_view divisorKey) {
  const auto values = Numbers(part, key);
  const auto divisors = Numbers(part, divisorKey);
  std::vector<double> ratios;
  for (std::size_t run = 0; run < std::min(values.size(), divisors.size()); ++run) {
    if (divisors[run] > 0) ratios.push_back(KeptRatio(values[run] / divisors[run]));
  }
  return QuartilesOf(ratios, 3);
}

// ---- cells and tables

using Widths = std::vector<int>;

// A table row, each cell padded to its column's width (a longer cell widens only its row).
std::string Row(const Widths& widths, const std::vector<std::string>& cells) {
  std::string row;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    row += Format("| %-*s ", widths[i], i < cells.size() ? cells[i].c_str() : "");
  }
  return row + "|\n";
}

std::string Rule(const Widths& widths) {
  std::string rule;
  for (const int width : widths)
    rule += "|" + std::string(static_cast<std::size_t>(width) + 2, '-');
  return rule + "|\n";
}

std::string Mib(double bytes) { return Format("%.1f MiB", bytes / 1048576); }

std::string Percent(const std::optional<double>& value) {
  return value ? Format("%.2f %%", *value) : "-";
}

std::string PerSecondCell(const std::optional<double>& value) {
  return value ? Format("%.1f /s", *value) : "-";
}

std::string MibCell(const std::optional<double>& bytes) { return bytes ? Mib(*bytes) : "-"; }

// A time in milliseconds, from one second on in seconds.
std::string Duration(double ms) {
  return ms >= 1000 ? Format("%.2f s", ms / 1000) : Format("%.0f ms", ms);
}

// A count with a thousands comma: 300,000.
std::string Count(double n) {
  if (n < 1000) return Format("%d", static_cast<int>(n));
  return Format("%d,%03d", static_cast<int>(n / 1000), static_cast<int>(std::fmod(n, 1000)));
}

std::string RatioCell(const Quartiles& ratio) {
  return Format("%.2f (%.2f-%.2f)", ratio.median, ratio.low, ratio.high);
}

// ---- the start-up and idle tables

// What one idle measurement found; absent figures are shown as "-".
struct Idle {
  std::optional<double> cpu, wakeups, serverCpu, serverWakeups;
  std::optional<double> workingSet, peak, ownMemory, mappedFiles;
  std::vector<std::string> modules;  // without .dll, sorted
};

std::vector<std::string> ModuleNames(const std::string& list) {
  std::vector<std::string> names;
  for (std::string name : Split(list, ',')) {
    if (name.ends_with(".dll")) name.resize(name.size() - 4);
    if (!name.empty()) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

Idle IdleOf(const Results& parts, const std::string& who) {
  const Part& part = PartNamed(parts, "idle " + who);
  return {OptionalNumber(part, "cpu_process_pct"),
          OptionalNumber(part, "wakeups_process_per_s"),
          OptionalNumber(part, "cpu_wineserver_pct"),
          OptionalNumber(part, "wakeups_wineserver_per_s"),
          OptionalNumber(part, "working_set"),
          OptionalNumber(part, "peak_working_set"),
          OptionalNumber(part, "rss_anon"),
          OptionalNumber(part, "rss_file"),
          ModuleNames(FirstValue(part, "modules").value_or(""))};
}

std::string Joined(const std::vector<std::string>& words) {
  std::string text;
  for (const auto& word : words) text += (text.empty() ? "" : " ") + word;
  return text;
}

// Every DLL that TAV.exe imports comes with Windows.
bool OnlySystemDlls(const std::string& imports) {
  static const std::vector<std::string> system = {
      "kernel32", "user32",   "gdi32",   "comdlg32", "comctl32", "advapi32", "shell32", "shlwapi",
      "ole32",    "oleaut32", "uxtheme", "version",  "msvcrt",   "ntdll",    "ucrtbase"};
  const std::string_view apiSet = "api-ms-win-";
  return std::ranges::all_of(Split(imports, ' '), [&](const std::string& dll) {
    if (std::find(system.begin(), system.end(), dll) != system.end()) return true;
    return dll.size() > apiSet.size() && dll.starts_with(apiSet) &&
           std::all_of(
               dll.begin() + static_cast<std::ptrdiff_t>(apiSet.size()), dll.end(),
               [](char c) { return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'; });
  });
}

const Widths kStartupColumns = {28, 9, 15, 15, 18, 18};
const Widths kIdleColumns = {32, 7, 9, 14, 19, 11, 11};
const Widths kTargetColumns = {52, 12, 27};

std::string StartupTable(const Part& run, const Part& startup) {
  // The harness started TAV, the floor, the bare window and the floor's copy, in this order.
  const auto key = [](int k) { return "startup_" + std::to_string(k) + "_ms"; };
  const auto ratio = [&](int k, int divisor) {
    return RatioCell(PairedRatios(startup, key(k), key(divisor)));
  };
  const auto row = [&](const char* name, int k, const std::string& vsFloor,
                       const std::string& vsBare) {
    const Quartiles q = QuartilesOf(Numbers(startup, key(k)), 1);
    return Row(kStartupColumns,
               {name, Format("%.1f ms", q.median), Format("%.1f-%.1f ms", q.low, q.high),
                Format("%.1f-%.1f ms", q.min, q.max), vsFloor, vsBare});
  };
  constexpr int kTav = 0, kFloor = 1, kBare = 2, kCopy = 3;
  std::string out = Format(
      "TAV.exe against two baselines built the same way (MinGW-w64, static), under %s on Xvfb:\n",
      TextOf(run, "wine").c_str());
  out +=
      "the same-window floor is TAV's window, controls, fonts, menu, icon and manifest with "
      "commands that\n"
      "do nothing; the bare window is the least Win32 program that shows one window.\n";
  out += Format(
      "Start-up: %d runs of the four in rotating order; a ratio is the median of the run-by-run "
      "ratios\n",
      static_cast<int>(NumberOf(run, "runs")));
  out +=
      "(interquartile range in brackets). The floor's copy against the floor shows the noise of a "
      "ratio.\n\n";
  out += Row(kStartupColumns, {"Start-up to a visible window", "median", "interquartile",
                               "fastest-slowest", "vs floor", "vs bare window"});
  out += Rule(kStartupColumns);
  out += row("TAV.exe", kTav, ratio(kTav, kFloor), ratio(kTav, kBare));
  out += row("same-window floor", kFloor, "1.00", ratio(kFloor, kBare));
  out += row("  its copy, for the noise", kCopy, ratio(kCopy, kFloor), ratio(kCopy, kBare));
  out += row("bare window", kBare, "", "1.00");
  return out;
}

std::string IdleRow(const char* name, const Idle& idle) {
  return Row(kIdleColumns,
             {name, Percent(idle.cpu), PerSecondCell(idle.wakeups), Percent(idle.serverCpu),
              PerSecondCell(idle.serverWakeups), MibCell(idle.workingSet), MibCell(idle.peak)});
}

std::string IdleTable(const Part& run, const Idle& bare, const Idle& floor, const Idle& fixed,
                      const Idle& chosen) {
  std::string out = Format(
      "Idle, %s s each: CPU in %% of one core; wake-ups are voluntary context switches per "
      "second;\n",
      TextOf(run, "idle_seconds").c_str());
  out +=
      "the wineserver serves every Wine process of the prefix, so its figures include a constant "
      "share.\n\n";
  out += Row(kIdleColumns, {"Idle", "CPU", "wake-ups", "wineserver CPU", "wineserver wake-ups",
                            "working set", "peak"});
  out += Rule(kIdleColumns);
  out += IdleRow("bare window", bare);
  out += IdleRow("same-window floor", floor);
  out += IdleRow("TAV.exe, fixed folder", fixed);
  out += IdleRow("TAV.exe, after a file was picked", chosen);
  return out;
}

std::string TargetRow(const std::string& name, const std::string& measured, const char* goal,
                      bool met) {
  return Row(kTargetColumns, {name, measured, std::string(goal) + ": " + (met ? "met" : "MISSED")});
}

// How far a figure after a pick lies from the fixed-folder one (an absent figure counts as 0).
double AfterPick(const std::optional<double>& chosen, const std::optional<double>& fixed) {
  return chosen.value_or(0) - fixed.value_or(0);
}

std::string TargetTable(const Part& run, const Part& startup, const Idle& fixed,
                        const Idle& chosen) {
  std::string out = Row(kTargetColumns, {"Target", "measured", "goal"}) + Rule(kTargetColumns);
  const double startupRatio = PairedRatios(startup, "startup_0_ms", "startup_1_ms").median;
  out += TargetRow("Start-up, TAV.exe / same-window floor", Format("%.2f", startupRatio), "<= 1.05",
                   startupRatio <= 1.05);
  const auto points = [&](const char* name, double d) {
    return TargetRow(name, Format("%+.2f pp", d), "within 0.1 pp", std::fabs(d) <= 0.1);
  };
  const auto wakeups = [&](const char* name, double d) {
    return TargetRow(name, Format("%+.1f /s", d), "within 5 /s", std::fabs(d) <= 5);
  };
  out += points("Idle CPU, after a pick - fixed folder", AfterPick(chosen.cpu, fixed.cpu));
  out += wakeups("Idle wake-ups, after a pick - fixed folder",
                 AfterPick(chosen.wakeups, fixed.wakeups));
  out += points("Wineserver CPU, after a pick - fixed folder",
                AfterPick(chosen.serverCpu, fixed.serverCpu));
  out += wakeups("Wineserver wake-ups, after a pick - fixed folder",
                 AfterPick(chosen.serverWakeups, fixed.serverWakeups));
  const double size = NumberOf(run, "tav_size");
  out += TargetRow("File size of TAV.exe", Format("%.0f bytes", size), "<= 1 MiB", size <= 1048576);
  const std::string imports = TextOf(run, "tav_imports");
  out +=
      TargetRow("Imports of TAV.exe: " + imports, "", "only system DLLs", OnlySystemDlls(imports));
  return out;
}

std::string MemoryLine(const char* name, const Idle& idle) {
  return Format("%-31s %s (%s + %s), peak %s\n", (std::string(name) + ":").c_str(),
                MibCell(idle.workingSet).c_str(), MibCell(idle.ownMemory).c_str(),
                MibCell(idle.mappedFiles).c_str(), MibCell(idle.peak).c_str());
}

// The modules that the Open dialog brought into the process and that stay after it closed.
std::vector<std::string> LeftBehind(const Idle& fixed, const Idle& chosen) {
  std::vector<std::string> left;
  std::ranges::set_difference(chosen.modules, fixed.modules, std::back_inserter(left));
  return left;
}

std::string MemoryLines(const Part& run, const Idle& floor, const Idle& fixed, const Idle& chosen) {
  std::string out = "Working set (own memory + mapped files, from the Linux side):\n";
  out += MemoryLine("  after the Open dialog closed", chosen);
  out += MemoryLine("  fixed folder", fixed);
  out += MemoryLine("  same-window floor", floor);
  const auto left = LeftBehind(fixed, chosen);
  out += Format(
      "Modules loaded: %d in fixed-folder mode, %d after the dialog closed; those it left behind: "
      "%s\n",
      static_cast<int>(fixed.modules.size()), static_cast<int>(chosen.modules.size()),
      left.empty() ? "none" : Joined(left).c_str());
  out += Format(
      "File sizes: TAV.exe %.0f bytes, floor %.0f bytes, bare window %.0f bytes. Imports of the "
      "floor: %s\n",
      NumberOf(run, "tav_size"), NumberOf(run, "floor_size"), NumberOf(run, "bare_size"),
      TextOf(run, "floor_imports").c_str());
  return out;
}

std::string StartupReport(const Results& parts) {
  const Part& run = PartNamed(parts, "run");
  const Part& startup = PartNamed(parts, "startup");
  const Idle bare = IdleOf(parts, "bare"), floor = IdleOf(parts, "floor");
  const Idle fixed = IdleOf(parts, "fixed"), chosen = IdleOf(parts, "chosen");
  return StartupTable(run, startup) + "\n" + IdleTable(run, bare, floor, fixed, chosen) + "\n" +
         TargetTable(run, startup, fixed, chosen) + "\n" + MemoryLines(run, floor, fixed, chosen);
}

// ---- the scale tables

// 开始 among the files of one folder, for one build and one kind of line.
struct ScaleRow {
  std::string build, line;
  double files;
  double floorMs, startMs, ratio, floorCpuMs, startCpuMs, cpuRatio, refusalMs, lookupMs;
  double peakBefore, peak, floorPeakGrowth;
};

// From the part "scale <build> <files> <line>".
ScaleRow ScaleRowOf(const Part& part) {
  const auto words = Split(part.name, ' ');
  if (words.size() != 4) Fail("a scale part is named \"scale <build> <files> <line>\"");
  return {words[1],
          words[3],
          Number(words[2]),
          MedianOf(part, "floor_ms"),
          MedianOf(part, "start_ms"),
          PairedRatios(part, "start_ms", "floor_ms").median,
          MedianOf(part, "floor_cpu_ms"),
          MedianOf(part, "start_cpu_ms"),
          PairedRatios(part, "start_cpu_ms", "floor_cpu_ms").median,
          MedianOf(part, "refusal_ms"),
          MedianOf(part, "lookup_ms"),
          NumberOf(part, "tav_peak_before"),
          NumberOf(part, "tav_peak"),
          NumberOf(part, "floor_peak_growth")};
}

std::vector<ScaleRow> ScaleRows(const Results& parts) {
  std::vector<ScaleRow> rows;
  for (const Part& part : parts) {
    if (part.name.starts_with("scale ")) rows.push_back(ScaleRowOf(part));
  }
  return rows;
}

std::string ScaleTable(const Part& run, const std::vector<ScaleRow>& rows) {
  std::string out = Format(
      "开始 in a folder of f*.old files under %s, TAV started with one of them as its argument,\n",
      TextOf(run, "wine").c_str());
  out +=
      "against the floor in the same run: one listing of *.old (FindFirstFileExW / FindNextFileW) "
      "and one\n"
      "atomic write of a small file there (create, write, flush, MoveFileExW REPLACE_EXISTING | "
      "WRITE_THROUGH),\n";
  out += Format(
      "in the harness's own process. Medians of %d runs, each ratio the median of the run-by-run "
      "ratios;\n",
      static_cast<int>(NumberOf(run, "runs")));
  out +=
      "CPU is the process's own CPU time (steadier than the clock on a busy machine). The refusal "
      "is 开始\n"
      "with an empty box, which touches no file: the button and the notice alone. The lookup is "
      "one open\n"
      "of a name that is not in the folder. Per-file: one x.olde among the files, met last by the "
      "listing.\n\n";
  out += Format(
      "| %-5s | %-7s | %-8s | %-8s | %-8s | %-5s | %-9s | %-9s | %-9s | %-7s | %-7s | %-22s |\n",
      "build", "files", "line", "floor", "开始 → notice", "ratio", "floor CPU", "开始 CPU",
      "CPU ratio", "refusal", "lookup", "TAV peak working set");
  out +=
      "|-------|---------|----------|----------|---------------|-------|-----------|-----------|---"
      "-"
      "-------|---------|---------|------------------------|\n";
  for (const ScaleRow& r : rows) {
    out += Format(
        "| %-5s | %7s | %-8s | %8s | %13s | %5.2f | %9s | %9s | %9.2f | %7s | %7s | %22s |\n",
        r.build.c_str(), Count(r.files).c_str(), r.line.c_str(), Duration(r.floorMs).c_str(),
        Duration(r.startMs).c_str(), r.ratio, Duration(r.floorCpuMs).c_str(),
        Duration(r.startCpuMs).c_str(), r.cpuRatio, Duration(r.refusalMs).c_str(),
        Duration(r.lookupMs).c_str(), (Mib(r.peakBefore) + " -> " + Mib(r.peak)).c_str());
  }
  return out;
}

// How the peak working sets grew from 10 files to the largest folder, for each build and line.
std::string PeakGrowth(const std::vector<ScaleRow>& rows) {
  std::string out =
      "Peak working set, the largest folder against 10 files (TAV; the harness, whose floor lists "
      "the same folder):\n";
  for (const char* build : {"x64", "x86"}) {
    for (const char* line : {"plain", "per-file"}) {
      const ScaleRow* smallest = nullptr;
      const ScaleRow* largest = nullptr;
      for (const ScaleRow& r : rows) {
        if (r.build != build || r.line != line) continue;
        if (r.files == 10) smallest = &r;
        largest = &r;
      }
      if (!largest) continue;
      const double peak = smallest ? smallest->peak : 0;
      const double floorGrowth = smallest ? smallest->floorPeakGrowth : 0;
      out += Format("  %s, %s line: TAV %+.1f MiB, floor %+.1f MiB\n", build, line,
                    (largest->peak - peak) / 1048576,
                    (largest->floorPeakGrowth - floorGrowth) / 1048576);
    }
  }
  return out;
}

// 清除 in one folder, from the part "clear <build> <folder entries>".
std::string ClearRow(const Part& part) {
  const auto words = Split(part.name, ' ');
  if (words.size() != 3) Fail("a clear part is named \"clear <build> <entries>\"");
  const double scripts = NumberOf(part, "scripts");
  const double listingMs = NumberOf(part, "listing_ms");
  const double clearMs = NumberOf(part, "clear_ms");
  return Format("| %-5s | %14s | %11s | %20s | %11s | %5.1f | %7.2f ms |\n", words[1].c_str(),
                Count(Number(words[2])).c_str(), Count(scripts).c_str(),
                Duration(listingMs).c_str(), Duration(clearMs).c_str(), clearMs / listingMs,
                clearMs / scripts);
}

std::string ClearTable(const Results& parts) {
  std::string out =
      "清除 (TAV started with a file of the folder), until both boxes are empty, against one "
      "listing of tav.*\n"
      "in the same folder just before. The scripts go to a private Recycle Bin.\n\n";
  out +=
      Format("| %-5s | %-14s | %-11s | %-19s | %-11s | %-5s | %-10s |\n", "build", "folder entries",
             "tav.* files", "one listing of tav.*", "清除", "ratio", "per script");
  out +=
      "|-------|----------------|-------------|----------------------|-------------|-------|-------"
      "-----|\n";
  for (const Part& part : parts) {
    if (part.name.starts_with("clear ")) out += ClearRow(part);
  }
  return out;
}

std::string ScaleReport(const Results& parts) {
  const Part& run = PartNamed(parts, "run");
  const auto rows = ScaleRows(parts);
  return ScaleTable(run, rows) + "\n" + PeakGrowth(rows) + "\n" + ClearTable(parts);
}

// The tables of the parts that the results file holds: the start-up and idle part, the scale
// part, or both.
int RunReport(const std::wstring& path) {
  const Results parts = ReadResults(path);
  std::string out;
  if (FindPart(parts, "startup")) out += StartupReport(parts);
  if (!ScaleRows(parts).empty()) out += (out.empty() ? "" : "\n") + ScaleReport(parts);
  if (out.empty()) Fail("the results hold neither a startup nor a scale part");
  std::fputs(out.c_str(), stdout);
  return 0;
}

// ---- whole parts: each measurement in a process of its own, its lines added to the results

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

void Progress(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

// The lines that a measurement by the harness at path printed. Each runs in a process of its own,
// as the harness's own working set and CPU time are part of some, and prints into a file: under
// the emulator, the reader of a pipe waits for Wine's background processes. Fails, after passing
// the lines on, when the measurement fails or runs past its time limit.
std::string Measure(const std::wstring& harness, const std::vector<std::wstring>& args,
                    double limitSeconds) {
  const std::wstring outputPath = FolderOf(OwnPath()) + L"\\measurement.txt";
  std::wstring commandLine = L"\"" + harness + L"\"";
  for (const auto& arg : args) commandLine += L" \"" + arg + L"\"";
  bool ended = false;
  DWORD code = 1;
  {
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const Handle output(CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                    &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!output.valid()) Fail("cannot create " + ToUtf8(outputPath));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = output.get();
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(harness.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        nullptr, &startup, &info)) {
      Fail("cannot start " + ToUtf8(harness) + " (error " + std::to_string(GetLastError()) + ")");
    }
    const Handle process(info.hProcess), thread(info.hThread);
    ended = WaitForSingleObject(process.get(), static_cast<DWORD>(limitSeconds * 1000)) ==
            WAIT_OBJECT_0;
    if (!ended) {
      TerminateProcess(process.get(), 1);
      WaitForSingleObject(process.get(), kExitTimeoutMs);
    }
    GetExitCodeProcess(process.get(), &code);
  }
  const std::string lines = ReadUnixFile(outputPath).value_or("");
  if (!ended || code != 0) {
    std::fputs(lines.c_str(), stderr);
    Fail(std::string(ended ? "the measurement failed: " : "the measurement ran out of time: ") +
         ToUtf8(commandLine));
  }
  return lines;
}

void AppendPart(const std::wstring& results, const std::string& name, const std::string& lines) {
  const Handle file(CreateFileW(results.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  const std::string text = "part " + name + "\n" + lines;
  DWORD written = 0;
  if (!file.valid() ||
      !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    Fail("cannot add to " + ToUtf8(results));
  }
}

// The start-up and idle part that the results file's run part describes, with the programs in
// the harness's own folder; then its tables.
int RunStartupPart(const std::wstring& results) {
  const Part run = PartNamed(ReadResults(results), "run");
  const std::string runs = TextOf(run, "runs"), seconds = TextOf(run, "idle_seconds");
  const std::wstring harness = OwnPath();
  const auto program = [&](const wchar_t* name) { return FolderOf(harness) + L"\\" + name; };
  Progress("Start-up: " + runs +
           " runs of TAV, the same-window floor, its copy and the bare window, in rotating order");
  AppendPart(results, "startup",
             Measure(harness,
                     {L"startup", FromUtf8(runs), program(L"TAV.exe"), program(L"floor.exe"),
                      program(L"baseline.exe"), program(L"floor-copy.exe")},
                     Number(runs) * 60 + 120));
  Progress("Idle: " + seconds +
           " s each for the bare window, the floor, TAV in fixed-folder mode, TAV in chosen-folder "
           "mode");
  const auto idle = [&](const char* who, std::vector<std::wstring> args) {
    args.insert(args.begin(), {L"idle", FromUtf8(seconds)});
    AppendPart(results, std::string("idle ") + who,
               Measure(harness, args, std::floor(Number(seconds)) + 90));
  };
  idle("bare", {program(L"baseline.exe")});
  idle("floor", {program(L"floor.exe")});
  idle("fixed", {program(L"TAV.exe")});
  idle("chosen", {program(L"TAV.exe"), program(L"pick\\photo.jpg")});
  return RunReport(results);
}

void MakeEmptyFile(const std::wstring& path) {
  const Handle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) Fail("cannot create " + ToUtf8(path));
}

// The scale part that the results file's run part describes, on drive D: as scripts/bench lays it
// out: each build's harness and TAV.exe in D:\<build>, the folders of f*.old files in
// D:\files-<count>, and the folders of tav.* scripts, one for each build as 清除 takes them away,
// in D:\scripts-<count>-<build>. Then its tables.
int RunScalePart(const std::wstring& results) {
  const Part run = PartNamed(ReadResults(results), "run");
  const auto builds = Split(TextOf(run, "builds"), ' ');
  const auto sizes = Split(TextOf(run, "files"), ' ');
  const auto inBuild = [](const std::string& build, const wchar_t* name) {
    return L"D:\\" + FromUtf8(build) + L"\\" + name;
  };
  for (const std::string& files : sizes) {
    const std::wstring folder = L"D:\\files-" + FromUtf8(files);
    for (const std::string& build : builds) {
      for (const std::string line : {"plain", "per-file"}) {
        Progress("Scale: 开始 among " + files + " files, " + build + ", " + line + " line");
        // x.olde comes after every f*.old in the listing, which is in name order.
        if (line == "per-file") MakeEmptyFile(folder + L"\\x.olde");
        const std::string lines =
            Measure(inBuild(build, L"tav_bench.exe"),
                    {L"scale", FromUtf8(TextOf(run, "runs")), inBuild(build, L"TAV.exe"),
                     folder + L"\\f0000000.old", L"new", FromUtf8(line)},
                    7200);
        DeleteFileW((folder + L"\\x.olde").c_str());
        AppendPart(results, "scale " + build + " " + files + " " + line, lines);
      }
    }
  }
  // 清除 with TAV started with a file of the folder, the Recycle Bin a new private one.
  const auto clear = [&](const std::string& build, const std::string& entries,
                         const std::wstring& file) {
    // Wine deletes the files for good, and says it moved them, when the folder is missing.
    const std::string trash = TextOf(run, "trash") + "-" + build + "-" + entries;
    if (!CreateDirectoryW(ThroughDriveZ(trash).c_str(), nullptr)) Fail("cannot create " + trash);
    SetEnvironmentVariableW(L"XDG_DATA_HOME", FromUtf8(trash).c_str());
    AppendPart(results, "clear " + build + " " + entries,
               Measure(inBuild(build, L"tav_bench.exe"),
                       {L"clear", inBuild(build, L"TAV.exe"), file}, 3600));
  };
  // 清除 with one script among the largest folder's files, then in folders of many scripts.
  const std::string& largest = sizes.back();
  for (const std::string& build : builds) {
    Progress("Scale: 清除 among " + largest + " files, " + build);
    MakeEmptyFile(L"D:\\files-" + FromUtf8(largest) + L"\\tav.bat");
    clear(build, largest, L"D:\\files-" + FromUtf8(largest) + L"\\f0000000.old");
  }
  for (const std::string& scripts : Split(TextOf(run, "scripts"), ' ')) {
    for (const std::string& build : builds) {
      Progress("Scale: 清除 of " + scripts + " scripts, " + build);
      clear(build, std::to_string(std::stoi(scripts) + 1),
            L"D:\\scripts-" + FromUtf8(scripts) + L"-" + FromUtf8(build) + L"\\a.old");
    }
  }
  return RunReport(results);
}

int Usage() {
  std::fputs(
      "usage: tav_bench startup <runs> <exe> <exe>...\n"
      "       tav_bench idle <seconds> <exe> [<pickedFile>]\n"
      "       tav_bench scale <runs> <exe> <file> <newExt> <line>\n"
      "       tav_bench clear <exe> <file>\n"
      "       tav_bench report <results>\n"
      "       tav_bench startup-part <results>\n"
      "       tav_bench scale-part <results>\n",
      stderr);
  return 2;
}

int Run(const std::vector<std::wstring>& args) {
  if (args.size() >= 4 && args[0] == L"startup") {
    const int runs = _wtoi(args[1].c_str());
    return runs > 0 ? RunStartup(runs, {args.begin() + 2, args.end()}) : Usage();
  }
  if ((args.size() == 3 || args.size() == 4) && args[0] == L"idle") {
    const double seconds = _wtof(args[1].c_str());
    if (seconds <= 0) return Usage();
    std::optional<std::wstring> pick;
    if (args.size() == 4) pick = args[3];
    return RunIdle(seconds, args[2], pick);
  }
  if (args.size() == 6 && args[0] == L"scale") {
    const int runs = _wtoi(args[1].c_str());
    return runs > 0 ? RunScale(args[2], args[3], args[4], ToUtf8(args[5]), runs) : Usage();
  }
  if (args.size() == 3 && args[0] == L"clear") return RunClear(args[1], args[2]);
  if (args.size() == 2 && args[0] == L"report") return RunReport(args[1]);
  if (args.size() == 2 && args[0] == L"startup-part") return RunStartupPart(args[1]);
  if (args.size() == 2 && args[0] == L"scale-part") return RunScalePart(args[1]);
  return Usage();
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Lines end in \n alone, wherever they go.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  try {
    return Run(std::vector<std::wstring>(argv + 1, argv + argc));
  } catch (const std::exception& failure) {
    Emit("error", failure.what());
    return 2;
  }
}
