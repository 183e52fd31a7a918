// What the uninstaller removes, and the checks that keep it to what this installation made:
//   - the recorded files in the installation folder, nothing else there (a file the user
//     saved keeps the folder, and survives); for a product that keeps its folders, the
//     recorded paths below it, never through a link or junction, then the folders the
//     uninstall entry says the setup created, deepest first, each only when empty;
//   - the program group's two links, in the all-users and in the user's Start Menu
//     programs folder, and the desktop and Quick Launch links named by the group, each
//     only when it points into this installation folder; the group folder when then empty,
//     and only when the uninstall entry records that the setup created it;
//   - the uninstall key, only when its "UninstallString" names this folder, and the
//     remembered destination value, only when it holds this folder (and their shared key
//     when no other product's value is left in it); both only when every file went, so that
//     the user can run the uninstaller again to finish.
// Running copies of the main program are closed first, as the setup's watcher closes them.
// The uninstall entry, the shortcuts and the remembered folder are the installation's own
// (installation/); this removes the files and orders the steps. Everything goes through the
// platform calls, so the stand-in runs it in tests.
#pragma once
#include "payload/removal_record.h"

constexpr int kRemovalDone = 0;
constexpr int kRemovalFilesInUse = 3;

constexpr int kFailedNamesCapacity = 1024;
struct RemovalOutcome {
  int removedFiles;
  int failedFiles;
  char16_t failedNames[kFailedNamesCapacity];  // one per line, cut when too many
};

// Removes the installation in `folder` (the uninstaller's own folder) that `record`
// describes. `keep` is the base name of the uninstaller that is running from there: the
// caller deletes it once it has ended. kRemovalDone, or kRemovalFilesInUse with the names in
// the outcome.
int RemoveInstallation(const RemovalRecord& record, const char16_t* folder, const char16_t* keep,
                       RemovalOutcome* outcome);

