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

const char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char16_t kQuickLaunchTail[] = u"\\Microsoft\\Internet Explorer\\Quick Launch";
constexpr int kGroupNameCapacity = 32;
constexpr int kStagedGroupCapacity = 256;
constexpr int kPublisherCapacity = 64;
constexpr uint32_t kRegDword = 4;  // REG_DWORD: four bytes, little-endian

void GroupNameWide(char16_t* group) {
  AnsiToWide(gSetupState ? gSetupState->facts.group : nullptr, group, kGroupNameCapacity);
}

void SetText(RegistryKey key, const char16_t* name, const char16_t* text) {
  PlatformRegSetValue(key, name, kRegSz, text, static_cast<uint32_t>(TextLength(text)) * 2 + 2);
}

void SetNumber(RegistryKey key, const char16_t* name, uint32_t number) {
  const uint8_t bytes[4] = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
  PlatformRegSetValue(key, name, kRegDword, bytes, 4);
}

// The values beyond the name, command and publisher: what the list of installed programs
// displays, each only when the setup knows it.
void SetDisplayedValues(RegistryKey key, const UninstallRecord& record) {
  char16_t text[kLinkCapacity];
  AnsiToWide(gSetupState->facts.version, text, kNameCapacity);
  // An update over an older installation must not keep what the older one displayed.
  if (text[0]) SetText(key, u"DisplayVersion", text);
  else PlatformRegDeleteValue(key, u"DisplayVersion");
  if (record.mainProgramPath && record.mainProgramPath[0]) SetText(key, u"DisplayIcon", record.mainProgramPath);
  else PlatformRegDeleteValue(key, u"DisplayIcon");
  if (record.installFolder && record.installFolder[0]) SetText(key, u"InstallLocation", record.installFolder);
  SetNumber(key, u"EstimatedSize", EstimatedSizeKb(record.installedBytes));
  SetNumber(key, u"NoModify", 1);
  SetNumber(key, u"NoRepair", 1);
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

uint32_t EstimatedSizeKb(uint64_t bytes) {
  const uint64_t kb = bytes / 1024 + (bytes % 1024 != 0);
  return kb > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(kb);
}

const char16_t kProgramGroupCreatedValue[] = u"ProgramGroupCreated";

bool UninstallKeyPath(const char16_t* group, char16_t* key, int capacity) {
  CopyText(kUninstallKey, key, capacity);
  return group && group[0] && AppendText(group, key, capacity) == kTextDone;
}

void RegisterUninstall(const UninstallRecord& record) {
  char16_t group[kGroupNameCapacity];
  GroupNameWide(group);
  if (!gSetupState || !group[0] || !record.uninstallerPath) return;
  char16_t keyPath[kLinkCapacity];
  UninstallKeyPath(group, keyPath, kLinkCapacity);
  RegistryKey key = nullptr;
  if (PlatformRegCreateKey(RegistryRoot::LocalMachine, keyPath, kKeyWrite, &key) != 0) return;
  SetText(key, u"DisplayName", group);
  char16_t command[kLinkCapacity] = u"\"";
  AppendText(record.uninstallerPath, command, kLinkCapacity);
  AppendText(u"\"", command, kLinkCapacity);
  SetText(key, u"UninstallString", command);
  char16_t publisher[kPublisherCapacity];
  AnsiToWide(gSetupState->facts.publisher, publisher, kPublisherCapacity);
  SetText(key, u"Publisher", publisher[0] ? publisher : u"Korvane");
  SetDisplayedValues(key, record);
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

void RecordCreatedProgramGroup(int csidl) {
  char16_t group[kGroupNameCapacity];
  GroupNameWide(group);
  char16_t keyPath[kLinkCapacity];
  RegistryKey key = nullptr;
  if (!csidl || !UninstallKeyPath(group, keyPath, kLinkCapacity) ||
      PlatformRegOpenKey(RegistryRoot::LocalMachine, keyPath, kKeyWrite, &key) != 0)
    return;
  SetNumber(key, kProgramGroupCreatedValue, uint32_t(csidl));
  PlatformRegCloseKey(key);
}

int CreatedProgramGroup(const char16_t* group) {
  char16_t keyPath[kLinkCapacity];
  RegistryKey key = nullptr;
  if (!UninstallKeyPath(group, keyPath, kLinkCapacity) ||
      PlatformRegOpenKey(RegistryRoot::LocalMachine, keyPath, kKeyRead, &key) != 0)
    return 0;
  uint8_t bytes[4] = {};
  uint32_t size = sizeof bytes, type = 0;
  const long result = PlatformRegQueryValue(key, kProgramGroupCreatedValue, &type, bytes, &size);
  PlatformRegCloseKey(key);
  if (result != 0 || type != kRegDword || size != 4) return 0;
  return int(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24);
}

int CreateProgramGroup(WindowHandle dialog, const InstallContext* context) {
  char16_t group[kGroupNameCapacity];
  GroupNameWide(group);
  if (!context || !group[0]) return 0;
  int csidl = kFolderCommonPrograms;
  char16_t programs[kPathCapacity];
  SpecialFolderPath(csidl, programs);
  if (!programs[0]) SpecialFolderPath(csidl = kFolderPrograms, programs);
  if (!programs[0]) return 0;
  // Whether the setup creates the group's folder is judged where it will stand, so that a
  // folder built in the staging root and moved onto an existing one does not count.
  char16_t finalFolder[kPathCapacity];
  CopyText(programs, finalFolder, kPathCapacity);
  if (JoinPath(group, finalFolder, kPathCapacity) != kTextDone) return 0;
  const bool existed = FileExists(finalFolder);

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
  if (CreateDirectories(groupFolder) != kCreateDone) return 0;
  AddGroupEntry(group, context->destination, context->mainProgram, groupFolder);
  AddGroupEntry(u"Uninstall", context->destination, context->uninstaller, groupFolder);
  if (moveTarget[0]) ShellMove(dialog, groupFolder, moveTarget);
  return !existed && FileExists(finalFolder) ? csidl : 0;
}
