// The removal of one installation (see removal.h).
#include "uninstall/removal.h"

#include "payload/entry_rules.h"
#include "system/destination.h"
#include "system/file_io.h"
#include "system/platform.h"
#include "system/shortcuts.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr int kCloseRounds = 50;        // 50 rounds of 100 ms: a program that will not close
constexpr uint32_t kCloseWaitMs = 100;  // is not waited for longer than 5 s
constexpr int kDeleteAttempts = 3;      // a closed program may hold its files a moment longer
constexpr uint32_t kDeleteWaitMs = 300;

void Normalised(const char16_t* path, char16_t* out) {
  CopyText(path, out, kPathCapacity);
  for (int i = 0; out[i]; ++i)
    if (out[i] == u'/') out[i] = u'\\';
  for (int n = TextLength(out); n > 3 && out[n - 1] == u'\\'; --n) out[n - 1] = 0;
}

void CloseRunningProgram(const char* windowClass) {
  if (!windowClass[0]) return;
  for (int round = 0; round < kCloseRounds; ++round) {
    WindowHandle window = FindWindowByClass(windowClass);
    if (!window) return;
    SendDestroyMessage(window);
    PlatformSleep(kCloseWaitMs);
  }
}

// 0 when the file is gone (or was never there), else the error of the last attempt.
bool DeleteRecordedFile(const char16_t* path) {
  for (int attempt = 0;; ++attempt) {
    const uint32_t attributes = PlatformGetFileAttributes(path);
    if (attributes == kInvalidFileAttributes) return true;
    if (attributes & kFileAttributeDirectory) return true;  // a folder of that name is not ours
    if (attributes & kFileAttributeReadOnly) SetFileAttributesTo(path, kFileAttributeNormal);
    if (DeleteOutputFile(path)) return true;
    if (attempt + 1 == kDeleteAttempts) return false;
    PlatformSleep(kDeleteWaitMs);
  }
}

void RemoveRecordedFiles(const RemovalRecord& record, const char16_t* folder, const char16_t* keep,
                         RemovalOutcome* outcome) {
  uint32_t offset = 0;
  char name[kRemovalFileNameWidth + 1];
  while (NextRemovalName(record, &offset, name)) {
    char16_t base[kPathCapacity];
    AnsiToWide(name, base, kPathCapacity);
    if (EqualsIgnoreCase(base, keep)) continue;
    char16_t path[kLinkCapacity];
    CopyText(folder, path, kLinkCapacity);
    if (JoinPath(base, path, kLinkCapacity) != kTextDone || TextLength(path) >= kPathCapacity) continue;
    if (DeleteRecordedFile(path)) {
      ++outcome->removedFiles;
      continue;
    }
    ++outcome->failedFiles;
    AppendText(base, outcome->failedNames, kFailedNamesCapacity);
    AppendText(u"\n", outcome->failedNames, kFailedNamesCapacity);
  }
}

// Deletes folder\name.lnk when it points into the installation folder.
void RemoveLink(const char16_t* linkFolder, const char16_t* name, const char16_t* installation) {
  if (!linkFolder[0]) return;
  char16_t link[kLinkCapacity];
  CopyText(linkFolder, link, kLinkCapacity);
  JoinPath(name, link, kLinkCapacity);
  if (AppendText(u".lnk", link, kLinkCapacity) != kTextDone) return;
  char16_t target[kPathCapacity];
  if (PlatformReadShellLink(link, target) != 0) return;
  StripToFolder(target);
  if (SameFolder(target, installation)) DeleteOutputFile(link);
}

// The group's folder goes only where the uninstall entry records that the setup created it,
// and only when nothing else is left in it: a folder that was there before (the Start Menu's
// "StartUp", another product's group of the same name) stays.
void RemoveLinks(const char16_t* group, const char16_t* folder) {
  const int created = CreatedProgramGroup(group);
  const int programFolders[] = {kFolderCommonPrograms, kFolderPrograms};
  for (int csidl : programFolders) {
    char16_t groupFolder[kPathCapacity];
    SpecialFolderPath(csidl, groupFolder);
    if (!groupFolder[0] || JoinPath(group, groupFolder, kPathCapacity) != kTextDone) continue;
    RemoveLink(groupFolder, group, folder);
    RemoveLink(groupFolder, u"Uninstall", folder);
    if (csidl == created) PlatformRemoveDirectory(groupFolder);
  }
  char16_t desktop[kPathCapacity];
  SpecialFolderPath(kFolderDesktop, desktop);
  RemoveLink(desktop, group, folder);
  char16_t quickLaunch[kPathCapacity];
  QuickLaunchFolder(quickLaunch, kPathCapacity);
  RemoveLink(quickLaunch, group, folder);
}

// The uninstall key goes when its uninstaller lies in this folder (the value may be quoted).
void RemoveUninstallKey(const char16_t* group, const char16_t* folder) {
  char16_t key[kLinkCapacity];
  if (!UninstallKeyPath(group, key, kLinkCapacity)) return;
  char16_t command[kPathCapacity + 2];
  ReadRegistryText(RegistryRoot::LocalMachine, key, u"UninstallString", command, kPathCapacity + 2);
  const char16_t* path = command[0] == u'"' ? command + 1 : command;
  char16_t uninstaller[kPathCapacity];
  CopyText(path, uninstaller, kPathCapacity);
  const int n = TextLength(uninstaller);
  if (n && uninstaller[n - 1] == u'"') uninstaller[n - 1] = 0;
  StripToFolder(uninstaller);
  if (uninstaller[0] && SameFolder(uninstaller, folder)) PlatformRegDeleteKey(RegistryRoot::LocalMachine, key);
}

void RemoveRememberedDestination(const char* productId, const char16_t* folder) {
  char16_t id[kRemovalIdWidth + 1];
  AnsiToWide(productId, id, kRemovalIdWidth + 1);
  if (!id[0]) return;
  char16_t remembered[kPathCapacity];
  ReadRegistryText(RegistryRoot::CurrentUser, kRememberedKey, id, remembered, kPathCapacity);
  if (!remembered[0] || !SameFolder(remembered, folder)) return;
  RegistryKey key = nullptr;
  if (PlatformRegOpenKey(RegistryRoot::CurrentUser, kRememberedKey, kKeyWrite, &key) != 0) return;
  PlatformRegDeleteValue(key, id);
  PlatformRegCloseKey(key);
  // The key is shared by all our products: it goes only when this was its last value, so
  // that an uninstall leaves the registry as it was before the first installation.
  if (PlatformRegKeyIsEmpty(RegistryRoot::CurrentUser, kRememberedKey))
    PlatformRegDeleteKey(RegistryRoot::CurrentUser, kRememberedKey);
}

}  // namespace

bool SameFolder(const char16_t* a, const char16_t* b) {
  char16_t left[kPathCapacity], right[kPathCapacity];
  Normalised(a, left);
  Normalised(b, right);
  return left[0] && EqualsIgnoreCase(left, right);
}

int RemoveInstallation(const RemovalRecord& record, const char16_t* folder, const char16_t* keep,
                       RemovalOutcome* outcome) {
  outcome->removedFiles = 0;
  outcome->failedFiles = 0;
  outcome->failedNames[0] = 0;
  CloseRunningProgram(record.windowClass);
  RemoveRecordedFiles(record, folder, keep, outcome);
  char16_t group[kRemovalGroupWidth + 1];
  AnsiToWide(record.group, group, kRemovalGroupWidth + 1);
  RemoveLinks(group, folder);
  if (outcome->failedFiles) return kRemovalFilesInUse;
  RemoveUninstallKey(group, folder);
  RemoveRememberedDestination(record.productId, folder);
  return kRemovalDone;
}
