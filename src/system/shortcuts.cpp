// Uninstall entry, special folders, shortcut files and the program group.
//
// Without a group name the uninstall key would be the Uninstall key itself, the program
// group the programs folder itself and the links would be named ".lnk": these steps are
// refused then.
#include "system/shortcuts.h"

#include "setup/setup_state.h"
#include "system/destination.h"
#include "system/file_ops.h"
#include "system/platform.h"
#include "system/text.h"

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kQuickLaunchTail[] = u"\\Microsoft\\Internet Explorer\\Quick Launch";
constexpr int kGroupNameCapacity = 32;
constexpr int kStagedGroupCapacity = 256;

void GroupNameWide(char16_t* group) {
  AnsiToWide(gSetupState ? gSetupState->groupName : nullptr, group, kGroupNameCapacity);
}

void SetText(RegistryKey key, const char16_t* name, const char16_t* text) {
  PlatformRegSetValue(key, name, kRegSz, text, static_cast<uint32_t>(TextLength(text)) * 2 + 2);
}

// <folder>\<name>.lnk to the target, working in the target's folder; folder may be empty
// (the system could not supply it), and then nothing is made.
void CreateLinkInFolder(const char16_t* folder, const char16_t* target, const char16_t* name) {
  if (!folder[0] || !target || !name || !name[0]) return;
  char16_t link[kLinkCapacity];
  char16_t workingDirectory[kLinkCapacity];
  CopyText(folder, link, kLinkCapacity);
  JoinPath(name, link, kLinkCapacity);
  AppendText(u".lnk", link, kLinkCapacity);
  CopyText(target, workingDirectory, kLinkCapacity);
  StripToFolder(workingDirectory);
  CreateShellLink(link, target, workingDirectory);
}

}  // namespace

void RegisterUninstall(const char16_t* uninstallerPath) {
  char16_t group[kGroupNameCapacity];
  GroupNameWide(group);
  if (!group[0] || !uninstallerPath) return;
  char16_t keyPath[kLinkCapacity];
  AnsiToWide(kUninstallKey, keyPath, kLinkCapacity);
  AppendText(group, keyPath, kLinkCapacity);
  RegistryKey key = nullptr;
  if (PlatformRegCreateKey(RegistryRoot::LocalMachine, keyPath, kKeyWrite, &key) != 0) return;
  SetText(key, u"DisplayName", group);
  SetText(key, u"UninstallString", uninstallerPath);
  SetText(key, u"Publisher", u"Korvane");
  PlatformRegCloseKey(key);
}

void SpecialFolderPath(int csidl, char16_t* out) {
  if (!out) return;
  out[0] = 0;
  ItemList list = PlatformSpecialFolderLocation(csidl);
  if (!list) return;
  if (!PlatformPathFromItemList(list, out)) out[0] = 0;
  PlatformFreeItemList(list);
}

void QuickLaunchFolder(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  char16_t appData[kPathCapacity];
  SpecialFolderPath(kFolderAppData, appData);
  if (!appData[0]) return;
  CopyText(appData, out, capacity);
  AppendText(kQuickLaunchTail, out, capacity);
}

bool QuickLaunchAvailable() {
  char16_t folder[kPathCapacity];
  QuickLaunchFolder(folder, kPathCapacity);
  return folder[0] && FileExists(folder);
}

long CreateShellLink(const char16_t* linkPath, const char16_t* target, const char16_t* workingDirectory) {
  char16_t link[kLinkCapacity];
  CopyText(linkPath, link, kLinkCapacity);
  return PlatformCreateShellLink(link, target, workingDirectory, kShowCommand);
}

void CreateDesktopLink(const char16_t* target, const char16_t* name) {
  char16_t folder[kPathCapacity];
  SpecialFolderPath(kFolderDesktop, folder);
  CreateLinkInFolder(folder, target, name);
}

void CreateQuickLaunchLink(const char16_t* target, const char16_t* name) {
  char16_t folder[kLinkCapacity];
  QuickLaunchFolder(folder, kLinkCapacity);
  CreateLinkInFolder(folder, target, name);
}

void AddGroupEntry(const char16_t* entryName, const char16_t* destination, const char16_t* targetFile,
                   const char16_t* groupFolder) {
  if (!entryName || !entryName[0] || !targetFile || !targetFile[0]) return;
  char16_t workingDirectory[kLinkCapacity];
  char16_t target[kLinkCapacity];
  char16_t link[kLinkCapacity];
  CopyText(destination, workingDirectory, kLinkCapacity);
  CopyText(destination, target, kLinkCapacity);
  JoinPath(targetFile, target, kLinkCapacity);
  CopyText(groupFolder, link, kLinkCapacity);
  JoinPath(entryName, link, kLinkCapacity);
  AppendText(u".lnk", link, kLinkCapacity);
  CreateShellLink(link, target, workingDirectory);
}

void CreateProgramGroup(WindowHandle dialog, const InstallContext* context) {
  char16_t group[kGroupNameCapacity];
  GroupNameWide(group);
  if (!context || !group[0]) return;
  char16_t programs[kPathCapacity];
  SpecialFolderPath(kFolderCommonPrograms, programs);
  if (!programs[0]) SpecialFolderPath(kFolderPrograms, programs);
  if (!programs[0]) return;

  char16_t groupFolder[kPathCapacity];
  char16_t moveTarget[kPathCapacity] = {};
  if (context->stagingRoot[0]) {
    CopyText(programs, moveTarget, kStagedGroupCapacity);
    CopyText(context->stagingRoot, groupFolder, kStagedGroupCapacity);
    JoinPath(group, groupFolder, kStagedGroupCapacity);
  } else {
    CopyText(programs, groupFolder, kPathCapacity);
    JoinPath(group, groupFolder, kPathCapacity);
  }
  if (CreateDirectories(groupFolder) != kCreateDone) return;
  AddGroupEntry(group, context->destination, context->mainProgram, groupFolder);
  AddGroupEntry(u"Uninstall", context->destination, context->uninstaller, groupFolder);
  if (moveTarget[0]) ShellMove(dialog, groupFolder, moveTarget);
}
