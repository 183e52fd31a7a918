// The removal of one installation (see removal.h).
#include "uninstall/removal.h"

#include "installation/destination.h"
#include "installation/shortcuts.h"
#include "installation/uninstall_entry.h"
#include "payload/entry_rules.h"
#include "system/file_io.h"
#include "system/platform.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr uint32_t kFileAttributeReadOnly = 0x01;
constexpr uint32_t kFileAttributeNormal = 0x80;
constexpr int kCloseRounds = 50;        // 50 rounds of 100 ms: a program that will not close
constexpr uint32_t kCloseWaitMs = 100;  // is not waited for longer than 5 s
constexpr int kDeleteAttempts = 3;      // a closed program may hold its files a moment longer
constexpr uint32_t kDeleteWaitMs = 300;

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

// Whether a folder on the way from the installation folder to the first `length` characters
// of `relative` (that component included) is a reparse point: a link or junction someone put
// there would lead the removal out of the installation, so nothing is removed through one.
bool PassesReparsePoint(const char16_t* folder, const char16_t* relative, int length) {
  for (int i = 1; i <= length; ++i) {
    if (i < length && relative[i] != u'\\') continue;
    char16_t part[kPathCapacity], path[kLinkCapacity];
    CopyText(relative, part, i + 1 < kPathCapacity ? i + 1 : kPathCapacity);
    CopyText(folder, path, kLinkCapacity);
    if (JoinPath(part, path, kLinkCapacity) != kTextDone) return true;
    const uint32_t attributes = PlatformGetFileAttributes(path);
    if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeReparsePoint)) return true;
  }
  return false;
}

// The folders the installation created (a folder list of its uninstall entry), deepest
// first, each only when empty: a folder that holds a file of the user's stays, and so do the
// folders above it. A longer path is never a parent of a shorter one, so longest first is
// deepest first.
void RemoveCreatedFolders(const char16_t* group, const char16_t* folder) {
  char16_t list[kCreatedFoldersCapacity];
  ReadCreatedFolders(group, folder, list);
  for (;;) {
    int longest = -1, longestLength = 0;
    for (int at = 0; list[at];) {
      int length = 0;
      while (list[at + length] && list[at + length] != kCreatedFolderEnd) ++length;
      if (length > longestLength) longest = at, longestLength = length;
      at += list[at + length] ? length + 1 : length;
    }
    if (longest < 0) return;
    char16_t relative[kPathCapacity], path[kLinkCapacity];
    CopyText(list + longest, relative, longestLength + 1 < kPathCapacity ? longestLength + 1 : kPathCapacity);
    for (int i = 0; i < longestLength; ++i) list[longest + i] = kCreatedFolderEnd;  // done with it
    CopyText(folder, path, kLinkCapacity);
    if (UnsafePathReasonOf(relative) != kNameSafe || JoinPath(relative, path, kLinkCapacity) != kTextDone ||
        PassesReparsePoint(folder, relative, TextLength(relative)))
      continue;
    PlatformRemoveDirectory(path);  // fails, as meant, for a folder that holds anything
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
    if (PassesReparsePoint(folder, base, BaseNameOffset(base) - 1)) continue;
    if (DeleteRecordedFile(path)) {
      ++outcome->removedFiles;
      continue;
    }
    ++outcome->failedFiles;
    AppendText(base, outcome->failedNames, kFailedNamesCapacity);
    AppendText(u"\n", outcome->failedNames, kFailedNamesCapacity);
  }
}

}  // namespace

int RemoveInstallation(const RemovalRecord& record, const char16_t* folder, const char16_t* keep,
                       RemovalOutcome* outcome) {
  outcome->removedFiles = 0;
  outcome->failedFiles = 0;
  outcome->failedNames[0] = 0;
  CloseRunningProgram(record.windowClass);
  RemoveRecordedFiles(record, folder, keep, outcome);
  char16_t group[kRemovalGroupWidth + 1];
  AnsiToWide(record.group, group, kRemovalGroupWidth + 1);
  RemoveCreatedFolders(group, folder);
  RemoveShortcuts(group, folder);
  if (outcome->failedFiles) return kRemovalFilesInUse;
  RemoveUninstallEntry(group, folder);
  ForgetDestination(record.productId, folder);
  return kRemovalDone;
}
