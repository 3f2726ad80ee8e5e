// What the driver asks of the probe it loads into TAV.exe, and the probe's answer. Under Wine
// another process can read neither a window's menu nor its fonts nor an icon, and a drop must be
// made in the receiving process: the probe does these from inside.
//
// The driver hooks the messages of TAV's window thread with the probe's TavProbeHook, so that TAV
// loads the probe itself, between two messages. The hook starts a thread of the probe's in TAV,
// which then answers one request at a time: the driver fills the shared block and sets the request
// event, the probe answers in the block and sets the answer event. Nothing here makes Wine
// interrupt TAV's thread from outside, as CreateRemoteThread and VirtualAllocEx on another process
// do: Wine carries those out in a signal handler in whichever code TAV is running, and a TAV
// caught inside malloc then waits for itself forever.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tav::e2e {

enum class ProbeRequest : std::uint32_t {
  // The window's menu bar, one line per item: depth, TAB, command id (-1 for a submenu), TAB,
  // caption.
  ReadMenu = 1,
  // The control's font: face, height, character set and weight, separated by TABs.
  ReadFont = 2,
  // Hands the window WM_DROPFILES with the paths of text, each ended by a null character, and
  // answers once the window has handled it. The drop is made in TAV's own memory, as the shell
  // makes one.
  DropFiles = 3,
  // The system icon that the static control (a message box's icon) shows: a NoticeIcon as a
  // decimal number.
  ReadIcon = 4,
  // Loads the DLL that text names, by a bare name or a path, with LoadLibraryW as code inside TAV
  // would, and unloads it again: 0 when it was loaded, otherwise the error number, in decimal.
  LoadDll = 5,
  // Adds the folder that text names to the process's DLL search with AddDllDirectory, as an input
  // method or a shell extension loaded into TAV does for its own DLLs: 0 when it was added,
  // otherwise the error number, in decimal.
  AddDllFolder = 6,
};

// The icons a message box shows: none, or one of the system's IDI_HAND, IDI_ASTERISK,
// IDI_EXCLAMATION and IDI_QUESTION, or another one.
enum class NoticeIcon : std::uint32_t { None, Stop, Information, Warning, Question, Unknown };

inline constexpr std::size_t kProbeTextChars = 16384;

struct ProbeBlock {
  ProbeRequest request;
  std::uint32_t answered;  // set to 1 by the probe when it could answer
  std::uint64_t window;
  wchar_t text[kProbeTextChars];  // in: the request's data; out: the answer, null-terminated
};

inline constexpr wchar_t kProbeDll[] = L"tav_e2e_probe.dll";
inline constexpr char kProbeHook[] = "TavProbeHook";

// The name of the shared block ("block") or of an event ("request", "answer", "ready": the probe
// has started) of the probe in the process processId.
inline std::wstring ProbeObjectName(unsigned long processId, const wchar_t* what) {
  return L"tav-e2e-probe-" + std::to_wstring(processId) + L"-" + what;
}

}  // namespace tav::e2e
