// Test-facing controls of the Linux stand-in: set up a machine under a root folder, change
// what the platform calls report (language, folders, environment, shell outcomes, the folder
// browser's answer) and read back what the setup did (registry values, shortcut files,
// message boxes, shell operations). Everything the setup itself does goes through the
// platform calls of system/platform.h; these functions are for tests and host tools only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "system/host/host_paths.h"

// ---- The machine ----------------------------------------------------------------------

// Makes `root` the machine's root folder (created when missing) and returns every setting to
// its default: language 1033, Windows folder C:\WINDOWS, temporary folder
// C:\users\user\Temp\, current directory C:\, environment ProgramFiles=C:\Program Files,
// the special folders below, normal shell outcomes, no browse answer, no active window, and
// empty recordings. Creates drive C and those folders, and the machine's ProgramFilesDir
// registry value when it has none. Nothing already under the root is deleted, so the
// registry and files of an earlier run persist.
void HostReset(const std::string& root);

// A new, empty folder under $TMPDIR (or /tmp) for a test's machine, and its removal.
std::string HostMakeTempRoot();
void HostRemoveTree(const std::string& nativePath);

// Makes a further drive exist (its folder under the root). Drive C exists after HostReset.
void HostAddDrive(char letter);

// Special folders by CSIDL, as Wine lays them out by default:
constexpr int kCsidlDesktop = 0;          // C:\users\user\Desktop
constexpr int kCsidlPrograms = 2;         // C:\users\user\AppData\Roaming\Microsoft\Windows\Start Menu\Programs
constexpr int kCsidlCommonPrograms = 23;  // C:\ProgramData\Microsoft\Windows\Start Menu\Programs
constexpr int kCsidlAppData = 26;         // C:\users\user\AppData\Roaming
// Sets a special folder's path and creates the folder; an empty path makes the system
// unable to supply that folder.
void HostSetSpecialFolder(int csidl, const std::u16string& path);

void HostSetSystemLanguage(uint16_t languageId);
void HostSetTempFolder(const std::u16string& path);       // GetTempPathW's answer, as given
void HostSetWindowsFolder(const std::u16string& path);
void HostSetCurrentDirectory(const std::u16string& path);
void HostSetEnvironment(const std::u16string& name, const std::u16string& value);
void HostUnsetEnvironment(const std::u16string& name);
// GetActiveWindow's answer; while none is set, the modal dialog that is running (if any).
void HostSetActiveWindow(void* window);
void HostSetLastError(uint32_t code);                     // the calling thread's last error

// ---- Registry ---------------------------------------------------------------------------
// Kept in <root>/registry/HKEY_CURRENT_USER.reg and HKEY_LOCAL_MACHINE.reg, rewritten after
// every change, so values persist between runs. Key and value names ignore letter case.

enum class HostHive { CurrentUser, LocalMachine };
// A REG_SZ value's text (up to its first terminator); false when the key or value is missing.
bool HostRegistryRead(HostHive hive, const std::u16string& key, const std::u16string& value,
                      std::u16string* text, uint32_t* type = nullptr);
// Stores a REG_SZ value with its terminator, creating the key.
void HostRegistryWrite(HostHive hive, const std::u16string& key, const std::u16string& value,
                       const std::u16string& text);
// Stores raw data of any type (for values the setup must cope with: too large, not text).
void HostRegistryWriteRaw(HostHive hive, const std::u16string& key, const std::u16string& value,
                          uint32_t type, const std::string& data);
void HostRegistryDeleteValue(HostHive hive, const std::u16string& key, const std::u16string& value);
bool HostRegistryKeyExists(HostHive hive, const std::u16string& key);
// Names of the values of a key (in the order stored); empty when the key is missing.
std::vector<std::u16string> HostRegistryValueNames(HostHive hive, const std::u16string& key);
// Sets or removes (empty text) HKLM\Software\Microsoft\Windows\CurrentVersion\ProgramFilesDir
// (in the view the setup sees).
void HostSetProgramFilesDir(const std::u16string& path);
// Makes the machine a 64-bit system (off after HostReset). The setup is a 32-bit program, so
// its keys under HKLM\Software then live under HKLM\Software\WOW6432Node, as on Windows;
// the 32-bit view's ProgramFilesDir is C:\Program Files (x86) unless already set. The
// HostRegistry* controls always take the key as stored (give the WOW6432Node path to read
// what the setup wrote there).
void HostSetWow64(bool on);

// ---- Shortcuts --------------------------------------------------------------------------
// A shortcut file is a small text file in UTF-8:
//   [Shortcut]
//   Target=C:\Program Files\Tool\Tool.exe
//   WorkingDirectory=C:\Program Files\Tool
//   ShowCommand=5
struct HostShortcut {
  std::u16string target;
  std::u16string workingDirectory;
  int showCommand = 0;
};
// Reads the shortcut file at a Windows path; false when it is missing or not a shortcut.
bool HostReadShortcut(const std::u16string& linkPath, HostShortcut* shortcut);
// Makes creating the shell link object fail with this result (0 = works again).
void HostSetShellLinkFailure(long result);

// ---- Message boxes ----------------------------------------------------------------------
// Every message box is recorded and answered with OK (1).
struct HostMessage {
  void* owner;
  std::u16string text;
  std::u16string caption;
  unsigned type;
};
const std::vector<HostMessage>& HostMessages();

// The progress window as the stand-in keeps it: whether it was ever opened, whether it is
// open now, its caption, its last line and bar, and how often it was updated.
struct HostProgressRecord {
  bool opened = false;
  bool open = false;
  std::u16string caption;
  std::u16string text;
  int thousandths = 0;
  int updates = 0;
};
const HostProgressRecord& HostProgressWindow();
void HostClearMessages();
// The button every following message box answers with (1 IDOK after HostReset, 6 IDYES, 7 IDNO).
void HostSetMessageAnswer(int answer);

// ---- Files in use and deletion at restart -------------------------------------------------
// A file in use cannot be deleted (error 32, a sharing violation) until released.
void HostSetFileInUse(const std::u16string& path, bool inUse);
// The paths the program marked for deletion when the system next starts, in order.
const std::vector<std::u16string>& HostDeletedAtRestart();

// ---- Shell file operations --------------------------------------------------------------
// What the next shell file operations do: carry out the work; fail without doing anything
// (nonzero result); be cancelled by the user (result 0, aborted indicator set, nothing done);
// or report success without doing anything (result 0, as a shell that skips a folder does).
enum class HostShellOutcome { Normal, Fail, Cancel, Skip };
void HostSetShellOutcome(HostShellOutcome outcome);
struct HostShellOperation {
  void* owner;
  unsigned function;  // 1 = move, 3 = delete
  std::u16string from;
  std::u16string to;  // empty for a delete
  uint16_t flags;
  int heldHandles;    // handles the program held open when it asked (see HostHeldHandles)
};
const std::vector<HostShellOperation>& HostShellOperations();

// ---- Folder browser ---------------------------------------------------------------------
// The folder the user will pick in the folder browser; an empty text (the default) means
// the user cancels. The answer stays in force until changed.
void HostSetBrowseAnswer(const std::u16string& folder);
struct HostBrowseRequest {
  void* owner;
  std::u16string initialSelection;  // the pre-selected folder, empty when none
};
const std::vector<HostBrowseRequest>& HostBrowseRequests();

// ---- Elevation, folders an elevated program trusts, the uninstaller's copy -----------------
// Whether the program runs elevated (off after HostReset).
void HostSetElevated(bool on);
// Bytes PlatformRandomBytes hands out first, in order; then it reads /dev/urandom.
void HostQueueRandomBytes(const std::vector<uint8_t>& bytes);
// The user's SID as PlatformUserSid reports it.
constexpr char16_t kHostUserSid[] = u"S-1-5-21-0-0-0-1000";
// The SDDL text a folder was created with by PlatformCreateSecuredDirectory; empty for a
// folder made otherwise (or not at all).
std::u16string HostFolderSecurity(const std::u16string& path);
// Handles opened by PlatformHoldFolder, PlatformHoldFile or PlatformCopyFileHeld and not yet
// closed.
int HostHeldHandles();
// What PlatformRunCopy answers: the copy's result, kCopyNotStarted (after HostReset: there
// are no processes on the stand-in) or kCopySilent.
void HostSetCopyResult(int result);
