// The program group and the shortcuts of an installation (see shortcuts.h).
#include "installation/shortcuts.h"

#include "installation/uninstall_entry.h"
#include "system/file_io.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/links.h"
#include "system/platform.h"
#include "system/text.h"

namespace {

constexpr int kStagedGroupCapacity = 256;

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

}  // namespace

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

int CreateProgramGroup(WindowHandle owner, const char16_t* group, const InstalledFiles& files) {
  if (!group || !group[0]) return 0;
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
  if (files.stagingRoot[0]) {
    CopyText(programs, moveTarget, kStagedGroupCapacity);
    CopyText(files.stagingRoot, groupFolder, kStagedGroupCapacity);
    JoinPath(group, groupFolder, kStagedGroupCapacity);
  } else {
    CopyText(programs, groupFolder, kPathCapacity);
    JoinPath(group, groupFolder, kPathCapacity);
  }
  if (CreateDirectories(groupFolder) != kCreateDone) return 0;
  AddGroupEntry(group, files.folder, files.mainProgram, groupFolder);
  AddGroupEntry(u"Uninstall", files.folder, files.uninstaller, groupFolder);
  if (moveTarget[0]) ShellMove(owner, groupFolder, moveTarget);
  return !existed && FileExists(finalFolder) ? csidl : 0;
}

// The group's folder goes only where the uninstall entry records that the setup created it,
// and only when nothing else is left in it: a folder that was there before (the Start Menu's
// "StartUp", another product's group of the same name) stays.
void RemoveShortcuts(const char16_t* group, const char16_t* folder) {
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
