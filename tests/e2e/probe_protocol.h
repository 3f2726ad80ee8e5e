// What the driver asks of the probe it loads into TAV.exe, and the probe's answer. Under Wine
// another process can read neither a window's menu nor its fonts nor an icon, and a drop must be
// made in the receiving process: the probe does these from inside. The driver writes one block
// into TAV's memory, runs the probe's entry point on it in a thread of TAV's, and reads the block
// back.
#pragma once

#include <cstddef>
#include <cstdint>

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
};

// The icons a message box shows: none, or one of the system's IDI_HAND, IDI_ASTERISK,
// IDI_EXCLAMATION and IDI_QUESTION, or another one.
enum class NoticeIcon : std::uint32_t { None, Stop, Information, Warning, Question, Unknown };

inline constexpr std::size_t kProbeTextChars = 16384;

struct ProbeBlock {
  ProbeRequest request;
  std::uint32_t answered;  // set to 1 by the probe
  std::uint64_t window;
  wchar_t text[kProbeTextChars];  // in: the request's data; out: the answer, null-terminated
};

inline constexpr wchar_t kProbeDll[] = L"tav_e2e_probe.dll";
inline constexpr char kProbeEntry[] = "TavProbe";

}  // namespace tav::e2e
