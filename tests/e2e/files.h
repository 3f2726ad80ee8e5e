// File-system helpers of the driver: preparing folders and files, reading exact bytes, holding a
// file open so that nobody else may touch it, and recording what changed under a folder.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/support.h"

namespace tav::e2e {

std::optional<std::string> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool MakeFolder(const std::wstring& path);
bool IsFolder(const std::wstring& path);
bool Exists(const std::wstring& path);
// Makes a new file at path and writes into it until the drive is full; false when the drive
// never reported itself full.
bool FillDrive(const std::wstring& path);
// Deletes a file, or a folder with everything in it.
void RemoveTree(const std::wstring& path);

// Every entry under a folder (the folder itself excluded), by full path: "dir" for a folder,
// "file:" and the bytes for a file.
using TreeSnapshot = std::map<std::wstring, std::string>;
TreeSnapshot Snapshot(const std::wstring& root);
// Paths added, removed or changed between two snapshots, in order.
std::vector<std::wstring> Differences(const TreeSnapshot& before, const TreeSnapshot& after);

// Runs commandLine through the system's cmd.exe (cmd /d /s /c commandLine) with currentFolder as
// its current folder, as a user's console would, and waits for it; cmd's exit code, or nullopt
// when it could not be started or did not end within timeoutMs (it is then ended).
std::optional<DWORD> RunInterpreter(const std::wstring& commandLine,
                                    const std::wstring& currentFolder,
                                    DWORD timeoutMs = kShowWaitMs);

// A folder of its own holding a copy of the driver named explorer.exe. Started by that name, the
// driver only records its arguments (see RecordArgumentsAsExplorer), and a command interpreter
// whose current folder this is runs that copy for "explorer", as it looks there first.
class RecordingExplorer {
 public:
  RecordingExplorer();
  ~RecordingExplorer();
  RecordingExplorer(const RecordingExplorer&) = delete;
  RecordingExplorer& operator=(const RecordingExplorer&) = delete;

  // Runs line through cmd.exe in the folder; the arguments explorer was started with, or nullopt
  // when it was not started.
  std::optional<std::vector<std::wstring>> Run(const std::wstring& line) const;

 private:
  std::wstring folder_;
};

// When the driver runs as explorer.exe: writes its arguments into a file beside itself and
// returns true.
bool RecordArgumentsAsExplorer(int argc, wchar_t** argv);

// Holds a file open with no sharing, so that other processes can neither write nor delete it.
class ExclusiveHold {
 public:
  explicit ExclusiveHold(const std::wstring& path);
  bool held() const { return static_cast<bool>(handle_); }
  void Release() { handle_.Reset(); }

 private:
  UniqueHandle handle_;
};

}  // namespace tav::e2e
