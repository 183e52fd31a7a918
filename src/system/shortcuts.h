// The uninstall entry in the system's list of installed programs, the shell's special
// folders, shortcut files, and the program group with its entries.
#pragma once
#include <cstdint>

#include "setup/install_context.h"
#include "system/window.h"

// CSIDL numbers of the special folders used here.
constexpr int kFolderDesktop = 0;          // CSIDL_DESKTOP
constexpr int kFolderPrograms = 2;         // CSIDL_PROGRAMS: the user's Start Menu programs
constexpr int kFolderCommonPrograms = 23;  // CSIDL_COMMON_PROGRAMS: all users' programs
constexpr int kFolderAppData = 26;         // CSIDL_APPDATA
constexpr int kShowCommand = 5;            // SW_SHOW

// What the uninstall entry records of one installation; the group name, version and
// publisher come from the setup state.
struct UninstallRecord {
  const char16_t* uninstallerPath;  // full path of the installed uninstaller
  const char16_t* installFolder;    // the installation folder
  const char16_t* mainProgramPath;  // full path of the main program; null or empty when none is known
  uint64_t installedBytes;          // unpacked sizes of the entries the install pass wrote
};

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<group name>: what the list of
// installed programs shows and runs. "DisplayName" the group name; "UninstallString" the
// uninstaller's path in quotes (unquoted, a path with spaces is tried as C:\Program.exe
// first); "Publisher" the .INF's "Publisher", else "Korvane"; "DisplayVersion" the product
// version when there is one; "DisplayIcon" the main program when known; "InstallLocation";
// "EstimatedSize" in KB rounded up; "NoModify" and "NoRepair" 1, as the uninstaller offers
// neither.
void RegisterUninstall(const UninstallRecord& record);
// Kilobytes the list of installed programs shows for so many bytes: rounded up, at most
// the largest REG_DWORD.
uint32_t EstimatedSizeKb(uint64_t bytes);
// The path of a special folder into a buffer of 260 characters; empty when unknown.
void SpecialFolderPath(int csidl, char16_t* out);
// <application data>\Microsoft\Internet Explorer\Quick Launch, or empty.
void QuickLaunchFolder(char16_t* out, int capacity);
bool QuickLaunchAvailable();
// Writes a shortcut file (target, working directory, show command 5); the link object's
// last result.
long CreateShellLink(const char16_t* linkPath, const char16_t* target, const char16_t* workingDirectory);
// <folder>\<name>.lnk to the target, working in the target's folder.
void CreateDesktopLink(const char16_t* target, const char16_t* name);
void CreateQuickLaunchLink(const char16_t* target, const char16_t* name);
// <group folder>\<entry name>.lnk to <destination>\<target file>, working in the destination.
void AddGroupEntry(const char16_t* entryName, const char16_t* destination, const char16_t* targetFile,
                   const char16_t* groupFolder);
// The program group in the Start Menu with the main program and the uninstaller; built in the
// staging root and moved into place when the installation went through it. Returns the CSIDL
// of the programs folder in which it created the group's folder, or 0 when it created none
// (a folder of that name was there already, or nothing could be made).
int CreateProgramGroup(WindowHandle dialog, const InstallContext* context);

// The uninstall entry's value "ProgramGroupCreated" (REG_DWORD): the CSIDL of the programs
// folder in which the setup created the group's folder. The uninstaller removes that folder,
// when empty, only where this names it: a folder of that name that was there before the
// installation (the Start Menu's own "StartUp", a group of another product) stays.
extern const char16_t kProgramGroupCreatedValue[];
// Records in the uninstall entry that the group's folder was created in that programs folder.
void RecordCreatedProgramGroup(int csidl);
// The programs folder recorded for the group's uninstall entry, or 0 when none is.
int CreatedProgramGroup(const char16_t* group);
// HKLM's uninstall key of a group: SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\<group>;
// false when it does not fit.
bool UninstallKeyPath(const char16_t* group, char16_t* key, int capacity);
