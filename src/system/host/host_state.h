// The stand-in's machine settings and recordings, shared by the host implementations of the
// platform calls and by the test controls (host_control.h). Process-wide; the setup uses it
// from its dialog thread only, tests from theirs.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "system/host/host_control.h"

struct HostMachine {
  uint16_t systemLanguage = 1033;
  std::u16string tempFolder;            // GetTempPathW, ends in a backslash
  std::u16string windowsFolder;         // GetWindowsDirectoryW
  std::u16string currentDirectory;      // base of relative paths in GetFullPathNameW
  std::map<std::u16string, std::u16string> environment;  // names compared ignoring case
  std::map<int, std::u16string> specialFolders;          // CSIDL -> path; missing = none
  void* activeWindow = nullptr;         // null: the running modal dialog, if any
  bool wow64 = false;                   // a 64-bit system: HKLM\Software is seen in its 32-bit view
  HostShellOutcome shellOutcome = HostShellOutcome::Normal;
  long shellLinkFailure = 0;            // nonzero: creating the link object fails with it
  bool browseAnswerSet = false;
  std::u16string browseAnswer;          // empty with browseAnswerSet = the user cancelled
  int messageAnswer = 1;                // what every message box answers (IDOK)
  std::vector<std::string> filesInUse;  // native paths that cannot be deleted now
  std::vector<std::u16string> deletedAtRestart;  // paths marked for deletion at restart
  std::vector<HostMessage> messages;
  HostProgressRecord progress;
  std::vector<HostShellOperation> shellOperations;
  std::vector<HostBrowseRequest> browseRequests;
  bool elevated = false;                // PlatformIsElevated's answer
  std::vector<uint8_t> randomBytes;     // served by PlatformRandomBytes before /dev/urandom
  std::map<std::string, std::u16string> folderSecurity;  // native path -> SDDL it was made with
  int copyResult = -1;                  // what PlatformRunCopy answers (kCopyNotStarted)
  int heldHandles = 0;                  // handles opened by the hold calls and not closed
};

// The one machine record, with its defaults filled in on first use.
HostMachine& TheHostMachine();
void HostFillDefaults(HostMachine& machine);

// Copies a setting out as the Windows calls that report a text do: its length when it fits
// with its terminator, else the size it needs (terminator included) and nothing written.
uint32_t HostCopyOut(const std::u16string& text, char16_t* out, int capacity);

// Whether a test has marked the file (native path) as in use.
bool HostFileInUse(const std::string& nativePath);

// Folding used for names that Windows compares without regard to case (environment
// variables, registry keys and values): ASCII letters and the Latin-1 capitals.
std::u16string HostFoldCase(const std::u16string& text);
