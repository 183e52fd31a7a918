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
  RemoveShortcuts(group, folder);
  if (outcome->failedFiles) return kRemovalFilesInUse;
  RemoveUninstallEntry(group, folder);
  ForgetDestination(record.productId, folder);
  return kRemovalDone;
}
