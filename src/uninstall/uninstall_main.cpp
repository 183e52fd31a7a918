// The uninstaller's run (see uninstall_main.h).
#include "uninstall/uninstall_main.h"

#include "system/file_io.h"
#include "system/file_ops.h"
#include "system/messages.h"
#include "system/platform.h"
#include "system/run_log.h"
#include "system/text.h"
#include "system/trusted_folder.h"
#include "system/ui.h"
#include "uninstall/record_file.h"
#include "uninstall/removal.h"
#include "uninstall/uninstall_texts.h"
#include "uninstall/uninstall_switches.h"

namespace {

constexpr int kMessageCapacity = kFailedNamesCapacity + 2 * kLinkCapacity;

struct UninstallRun {
  const LanguageTable* texts;
  RecordFile own;                  // the record at the end of this program's file
  char16_t self[kPathCapacity];    // this program's file
  char16_t baseName[kPathCapacity];  // its name, the same for the original and the copy
  char16_t caption[kLinkCapacity];
  UninstallOptions options;
};

// A message box, also a line of the log; with /SILENT or /VERYSILENT only the line (the
// question then counts as answered Yes).
int Show(const UninstallRun& run, const char16_t* text, unsigned type) {
  LogLine("message", text);
  return run.options.quiet ? kIdYes : PlatformMessageBox(nullptr, text, run.caption, type);
}

int ShowText(const UninstallRun& run, int id, unsigned type) {
  char16_t text[kLinkCapacity] = {};
  AppendUninstallText(run.texts, id, run.own.record.group, text, kLinkCapacity);
  return Show(run, text, type);
}

void ShowOutcome(const UninstallRun& run, int result, const RemovalOutcome& outcome) {
  if (result == kRemovalDone) {
    ShowText(run, kUninstallTextDone, kMbIconInformation);
    return;
  }
  char16_t text[kMessageCapacity] = {};
  AppendUninstallText(run.texts, kUninstallTextInUse, run.own.record.group, text, kMessageCapacity);
  AppendText(u"\n\n", text, kMessageCapacity);
  AppendText(outcome.failedNames, text, kMessageCapacity);
  AppendText(u"\n", text, kMessageCapacity);
  AppendUninstallText(run.texts, kUninstallTextRetry, run.own.record.group, text, kMessageCapacity);
  Show(run, text, kMbIconHand);
}

int ExitCodeOf(int removal) { return removal == kRemovalDone ? kUninstallSucceeded : kUninstallIncomplete; }

// The copy's work: only for a folder whose uninstaller carries the very same record, so the
// copy started by hand on another folder removes nothing.
int RunAsCopy(UninstallRun& run, const char16_t* folder) {
  char16_t original[kPathCapacity];
  CopyText(folder, original, kPathCapacity);
  RecordFile twin;
  if (JoinPath(run.baseName, original, kPathCapacity) != kTextDone || !LoadRecordFile(original, &twin)) {
    PlatformReportToOriginal(kUninstallDamaged);
    return kUninstallDamaged;
  }
  const bool same = SameRecord(twin, run.own);
  ReleaseRecordFile(&twin);
  if (!same) {
    PlatformReportToOriginal(kUninstallDamaged);
    return kUninstallDamaged;
  }
  LogLine("removing", folder);
  RemovalOutcome outcome;
  const int removal = RemoveInstallation(run.own.record, folder, run.baseName, &outcome);
  ShowOutcome(run, removal, outcome);
  LogNumber("exit code", ExitCodeOf(removal));
  CloseRunLog();  // before the original, which waits for the result, can end
  PlatformReportToOriginal(ExitCodeOf(removal));  // returns once the original has ended
  if (removal == kRemovalDone) {
    if (!DeleteOutputFile(original)) PlatformDeleteAtRestart(original);
    PlatformRemoveDirectory(folder);  // only when nothing of the user's is left in it
  }
  PlatformDeleteAtRestart(run.self);
  char16_t ownFolder[kPathCapacity];
  CopyText(run.self, ownFolder, kPathCapacity);
  StripToFolder(ownFolder);
  PlatformDeleteAtRestart(ownFolder);
  return ExitCodeOf(removal);
}

// Removes the installation from here, the original's own file marked for deletion at restart.
int RemoveInPlace(UninstallRun& run, const char16_t* folder) {
  RemovalOutcome outcome;
  const int removal = RemoveInstallation(run.own.record, folder, run.baseName, &outcome);
  ShowOutcome(run, removal, outcome);
  if (removal == kRemovalDone) PlatformDeleteAtRestart(run.self);
  return ExitCodeOf(removal);
}

// Copies this program into the folder, held, and lets the copy remove the installation: its
// result, or kCopySilent, or kCopyNotStarted with *error set (the copy is then gone again).
int RunCopyFrom(UninstallRun& run, const TrustedFolder& place, const char16_t* folder, uint32_t* error) {
  char16_t copy[kPathCapacity];
  CopyText(place.path, copy, kPathCapacity);
  FileHandle held = JoinPath(run.baseName, copy, kPathCapacity) == kTextDone ? PlatformCopyFileHeld(run.self, copy)
                                                                               : nullptr;
  // The copy stays held, so that nobody writes, renames or deletes it, until it has run.
  LogLine("copy", copy);
  CloseRunLog();  // the copy writes the log of the work from here on
  const int result = held ? PlatformRunCopy(copy, folder, run.options.switches) : kCopyNotStarted;
  if (result < 0 && run.options.log[0]) OpenRunLog(run.options.log);
  if (result == kCopyNotStarted) *error = PlatformGetLastError();
  PlatformCloseHandle(held);
  if (result == kCopyNotStarted && held) DeleteOutputFile(copy);
  return result;
}

// The original: a copy in a fresh folder does the work. An elevated original never removes
// anything itself: when the copy cannot be made safely, or started but reported nothing (it
// may not have been our copy that ran), the user is told and nothing is removed here. Without
// elevation nothing crosses a boundary, and the work is done here when no copy can run.
int RunAsOriginal(UninstallRun& run) {
  char16_t folder[kPathCapacity];
  CopyText(run.self, folder, kPathCapacity);
  StripToFolder(folder);
  TrustedFolder place;
  uint32_t error = MakeTrustedFolder(&place);
  const int result = error == 0 ? RunCopyFrom(run, place, folder, &error) : kCopyNotStarted;
  ReleaseTrustedFolder(&place);  // the folder can be removed only once it is let go
  if (result == kCopyNotStarted && place.path[0]) PlatformRemoveDirectory(place.path);
  if (result >= 0) return result;
  if (!place.elevated && result == kCopyNotStarted) return RemoveInPlace(run, folder);
  const uint32_t code = result == kCopySilent ? kErrorProcessAborted : error ? error : kErrorCannotMake;
  LogNumber("no copy could do the work, error", long(code));
  if (!run.options.quiet) ShowSystemError(nullptr, code, run.caption);
  return kUninstallNoCopy;
}

}  // namespace

int UninstallMain(const char16_t* commandLine) {
  UninstallRun run = {};
  ReadUninstallOptions(commandLine, &run.options);
  if (run.options.log[0]) OpenRunLog(run.options.log);
  run.texts = ChooseUninstallTable();
  ModuleFilePath(run.self, kPathCapacity);
  LogLine("uninstaller", run.self);
  LogLine("command line", run.options.switches);
  CopyText(run.self + FileNameOffset(run.self), run.baseName, kPathCapacity);
  const bool sound = LoadRecordFile(run.self, &run.own);
  AppendUninstallText(run.texts, kUninstallTextCaption, run.own.record.group, run.caption, kLinkCapacity);
  if (!sound) {
    ShowText(run, kUninstallTextDamaged, kMbIconHand);
    LogNumber("exit code", kUninstallDamaged);
    CloseRunLog();
    return kUninstallDamaged;
  }
  ComInitialize();  // the shell link object reads the shortcuts
  char16_t folder[kPathCapacity];
  int result;
  if (PlatformCopyArguments(folder, kPathCapacity)) {
    result = RunAsCopy(run, folder);
  } else if (ShowText(run, kUninstallTextQuestion, kMbYesNo | kMbIconQuestion) != kIdYes) {
    result = kUninstallDeclined;
  } else {
    result = RunAsOriginal(run);
  }
  ComUninitialize();
  ReleaseRecordFile(&run.own);
  LogNumber("exit code", result);
  CloseRunLog();
  return result;
}
