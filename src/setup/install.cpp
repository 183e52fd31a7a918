// The install sequence around the install pass: the destination prepared, the staging
// route, the final move, the installation registered and the messages.
#include "setup/install.h"

#include "archive/extract.h"
#include "installation/destination.h"
#include "installation/shortcuts.h"
#include "installation/uninstall_entry.h"
#include "payload/entry_rules.h"
#include "localisation/string_tables.h"
#include "setup/install_context.h"
#include "setup/install_pass.h"
#include "setup/language_list.h"
#include "system/run_log.h"
#include "setup/setup_dialog.h"
#include "setup/setup_messages.h"
#include "setup/setup_state.h"
#include "system/file_ops.h"
#include "system/folders.h"
#include "system/messages.h"
#include "system/platform.h"
#include "system/text.h"
#include "system/trusted_folder.h"
#include "system/ui.h"

namespace {

constexpr int kLinkTargetCapacity = 264;
constexpr int kMessageCapacity = 263;  // group name and text 3000 together
constexpr int kTitleCapacity = 512;

// Removes separators at the end of a path, except the backslash of a drive root.
void TrimTrailingSeparators(char16_t* path) {
  int n = TextLength(path);
  while (n > 0 && (path[n - 1] == u'\\' || path[n - 1] == u'/') && !(n == 3 && path[1] == u':'))
    path[--n] = 0;
}

// The last component of a folder path, separators at its end ignored; empty for a drive root.
void LastComponent(const char16_t* folder, char16_t* out) {
  char16_t path[kPathCapacity];
  CopyText(folder, path, kPathCapacity);
  TrimTrailingSeparators(path);
  int at = FileNameOffset(path);
  if (at == 0 && TextLength(path) > 1 && path[1] == u':') at = TextLength(path);  // "C:"
  CopyText(path + at, out, kPathCapacity);
}

// What RunInstall carries from one step to the next besides the context.
struct InstallRun {
  char16_t group[kPayloadNameCapacity];  // the group name, wide
  void* cursor;                          // the cursor before the wait cursor
  bool staged;                           // the staging attempt ran
  TrustedFolder staging;                 // the staging root, held while staging is in use
  WindowHandle statusLine;               // the dialog's status line
  WindowHandle progress;                 // the progress window of /SILENT, or none
  const InstallContext* context;         // its bytes written so far drive the bar
};

// The destination folder exists, and a PSAPI.DLL there is out of the way. Products once
// shipped their own copy of that system library in their folder, where Windows finds it
// before the system's own; a left-over old copy would shadow the current one for the new
// programs. It is renamed to KVPSAPI.DLL rather than deleted, so nothing is lost. Neither
// result is looked at: a folder that cannot be made shows up as a file that cannot be created.
void PrepareDestination(const InstallContext& context) {
  CreateDirectories(context.destination);
  MoveOldPsapiAside(context.destination);
}

// The install pass, and, when a file in the destination cannot be created (-5: a file in
// use, a folder in its place), the whole pass again into a fresh staging folder named after
// the destination's last component, whose content is moved into place afterwards. A main
// program or uninstaller found by the first attempt remains. An elevated setup stages in a
// folder it can trust (system/trusted_folder.h) and holds each staged file, so that no
// process of the user can swap a program before the move; when no such folder can be made,
// the staging attempt fails as if its files could not be created (no unprotected fallback).
int RunInstallPasses(InstallContext& context, InstallRun& run) {
  int result = InstallPass(&context);
  if (result != kExtractCannotCreate) return result;
  run.staged = true;
  if (MakeTrustedFolder(&run.staging) != 0) return result;  // no safe, fresh folder to stage in
  CopyText(run.staging.path, context.stagingRoot, kPathCapacity);
  context.holdWritten = run.staging.elevated;
  char16_t staging[kPathCapacity];
  CopyText(context.stagingRoot, staging, kPathCapacity);
  char16_t last[kPathCapacity];
  LastComponent(context.destination, last);
  JoinPath(last, staging, kPathCapacity);
  CopyText(context.destination, context.realDestination, kPathCapacity);
  CopyText(staging, context.destination, kPathCapacity);
  LogLine("staging", context.destination);
  CreateDirectories(context.destination);
  return InstallPass(&context);
}

// The message for a failed pass; files written so far stay. -5 again, even in the staging
// folder, is the system's message for error 82. Every other code (3 a checksum, 9 and -1 no
// memory for the window or a copy buffer, 2 an archive that is gone) is reported as a
// damaged download, unless a checksum mismatch turns out to be a short write on a sound
// archive (a full disk).
void ReportFailedPass(WindowHandle dialog, int result, const InstallContext& context, bool staged) {
  SetupRunFacts& outcome = gSetupState->outcome;
  outcome.step = kInstallPassFailed;
  outcome.pass = result;
  outcome.staged = staged;
  if (result == kExtractCannotCreate) {
    ShowSetupSystemError(dialog, kErrorCannotMake, gSetupState->modulePath);
  } else if (result == kExtractBadChecksum && context.refusal == 0 && PayloadIntact()) {
    outcome.diskFull = true;
    ShowSetupSystemError(dialog, kErrorDiskFull, gSetupState->modulePath);
  } else {
    ShowSetupMessage(dialog, kTextBrokenFile, gSetupState->modulePath, kMbIconHand);
  }
}

// Moves what the staging attempt wrote onto the user's destination: 0, or -1 when the shell
// failed or the user cancelled it. The shell moves a folder onto an existing folder as a
// sub-folder of it (Dest\Tool\Tool), and some shells skip a folder that meets one of the
// same name: so the staging folder's content is moved ("folder\*"), each item merging into
// the destination.
int MoveStagedIntoPlace(WindowHandle dialog, InstallContext& context) {
  char16_t content[kPathCapacity];
  CopyText(context.destination, content, kPathCapacity);
  JoinPath(u"*", content, kPathCapacity);
  int result = ShellMove(dialog, content, context.realDestination) == 0 ? 0 : -1;
  // The emptied staging folder goes at once: the program group may be built in the staging
  // root under the same name (a destination named after the group).
  if (result == 0) ShellDeleteTree(context.destination);
  CopyText(context.realDestination, context.destination, kPathCapacity);
  return result;
}

// Lets go of the staged files and the staging root: after the move, or when staging failed.
void ReleaseStaging(InstallContext& context, InstallRun& run) {
  ReleaseHeldFiles(&context);
  ReleaseTrustedFolder(&run.staging);
}

// A file in the destination folder: its full path.
void InstalledPath(const InstallContext& context, const char16_t* file, char16_t* path) {
  CopyText(context.destination, path, kLinkTargetCapacity);
  JoinPath(file, path, kLinkTargetCapacity);
}

// The remembered folder, the uninstall entry and the chosen shortcuts; their failures are
// silent. Without a main program no check box is read.
void RegisterInstallation(WindowHandle dialog, InstallContext& context, const char16_t* group) {
  const ProductFacts& facts = gSetupState->facts;
  SaveDestination(facts.productId, context.destination);
  LogLine("registry: HKCU\\Software\\Korvane, the remembered folder", nullptr);
  char16_t program[kLinkTargetCapacity] = {};
  if (context.mainProgram[0]) InstalledPath(context, context.mainProgram, program);
  if (context.uninstaller[0]) {
    char16_t path[kLinkTargetCapacity];
    InstalledPath(context, context.uninstaller, path);
    RegisterUninstall(facts, {path, context.destination, program, context.installedBytes, context.createdFolders});
    char16_t key[kLinkCapacity];
    if (UninstallKeyPath(group, key, kLinkCapacity)) LogLine("registry", key);
  }
  if (!context.mainProgram[0]) return;
  // The uninstall entry, when there is one, records whether the group's folder is ours.
  const InstalledFiles files = {context.destination, context.mainProgram, context.uninstaller, context.stagingRoot};
  if (DialogIsChecked(dialog, kControlProgramGroup)) {
    RecordCreatedProgramGroup(group, CreateProgramGroup(dialog, group, files));
    LogLine("shortcut: program group", nullptr);
  }
  if (DialogIsChecked(dialog, kControlDesktopIcon)) {
    CreateDesktopLink(program, group);
    LogLine("shortcut: desktop", nullptr);
  }
  // The box is hidden where the system has no Quick Launch folder; a switch may still ask.
  if (DialogIsChecked(dialog, kControlQuickLaunch)) {
    if (QuickLaunchAvailable()) {
      CreateQuickLaunchLink(program, group);
      LogLine("shortcut: quick launch", nullptr);
    } else {
      LogLine("shortcut skipped: quick launch, the system has no Quick Launch folder", nullptr);
    }
  }
}

// The group name followed by text 3000, captioned with the dialog's title.
void ShowInstalledMessage(WindowHandle dialog, const char16_t* group) {
  char16_t message[kMessageCapacity] = {};
  CopyText(group, message, kMessageCapacity);
  int used = TextLength(message);
  LookupText(gSetupState->languageTable, kTextInstalled, message + used, kMessageCapacity - used);
  char16_t title[kTitleCapacity];
  WindowGetText(dialog, title, kTitleCapacity);
  ShowSetupText(dialog, message, title, kMbIconInformation);
}

// Reads the destination from the dialog and refuses one that cannot be used, with its
// message: none at all (nothing shown), the Windows folder, or, for a product that keeps its
// folders, a path that leaves no room for its longest file. Nothing is written before.
bool RefuseDestination(WindowHandle dialog, InstallContext& context) {
  SetupRunFacts& outcome = gSetupState->outcome;
  outcome.step = kInstallRefusedFolder;
  // The edit field holds at most 257 characters, so the base name and a separator still fit.
  DialogGetItemText(dialog, kControlDestination, context.destination, 258);
  if (!context.destination[0]) {
    outcome.step = kInstallNoDestination;
    return true;
  }
  if (IsInsideWindowsFolder(context.destination)) {
    ShowSetupMessage(dialog, kTextWindowsFolder, gSetupState->modulePath, kMbIconHand);
    return true;
  }
  context.keepFolders = KeepsFolders(gSetupState->facts);
  if (context.keepFolders && TextLength(context.destination) + 1 + gSetupState->longestPath >= kPathCapacity) {
    ShowSetupMessage(dialog, kTextPathTooLong, gSetupState->modulePath, kMbIconHand);
    return true;
  }
  outcome.step = kInstallNotRun;
  return false;
}

// Each target of the install pass: on the status line, in the log, and in the progress
// window with the share of the payload's bytes written when this entry is done.
void ShowTarget(void* value, const char16_t* target) {
  const InstallRun& run = *static_cast<const InstallRun*>(value);
  WindowSetText(run.statusLine, target);
  LogLine("file", target);
  const uint64_t total = gSetupState->payloadBytes;
  const uint64_t done = run.context->installedBytes;
  ShowProgress(run.progress, target, total == 0 ? 0 : done >= total ? 1000 : int(done * 1000 / total));
}

// The passes, the move into place, the registration and the final message. 0 when installed.
int InstallAndRegister(WindowHandle dialog, InstallContext& context, InstallRun& run) {
  run.cursor = ShowWaitCursor();
  SuppressCriticalErrorBoxes();
  PrepareDestination(context);
  int result = RunInstallPasses(context, run);
  if (result != 0) {
    ReleaseStaging(context, run);
    RestoreCursor(run.cursor);
    ReportFailedPass(dialog, result, context, run.staged);
    return result;  // the dialog stays open for another try
  }
  DialogSetItemText(dialog, kControlStatus, u"");
  ShowProgress(run.progress, nullptr, 1000);  // entries never written (the .INF) count too
  const int moved = run.staged ? MoveStagedIntoPlace(dialog, context) : 0;
  ReleaseStaging(context, run);  // the staged files are in place, or stay where they are
  if (moved != 0) {
    gSetupState->outcome.step = kInstallMoveFailed;
    LogLine("message: the staged files could not be moved into place", nullptr);
    RestoreCursor(run.cursor);
    return -1;  // the shell has shown what went wrong; the staging root stays
  }
  RegisterInstallation(dialog, context, run.group);
  if (run.staged) ShellDeleteTree(context.stagingRoot);
  RestoreCursor(run.cursor);
  gSetupState->outcome.step = kInstallDone;
  ShowInstalledMessage(dialog, run.group);
  return 0;
}

}  // namespace

void MoveOldPsapiAside(const char16_t* destination) {
  if (!destination[0]) return;
  char16_t oldName[kPathCapacity];
  char16_t newName[kPathCapacity];
  CopyText(destination, oldName, kPathCapacity);
  EnsureTrailingSeparator(oldName, kPathCapacity);
  CopyText(oldName, newName, kPathCapacity);
  // A name cut to fit would rename another file.
  if (AppendText(u"PSAPI.DLL", oldName, kPathCapacity) != kTextDone ||
      AppendText(u"KVPSAPI.DLL", newName, kPathCapacity) != kTextDone)
    return;
  PlatformMoveFile(oldName, newName);
}

int RunInstall(WindowHandle dialog) {
  InstallRun run = {};
  AnsiToWide(gSetupState->facts.group, run.group, kPayloadNameCapacity);
  InstallContext context = {};
  AnsiToWide(gSetupState->facts.mainProgram, context.mainProgram, kPayloadNameCapacity);
  if (RefuseDestination(dialog, context)) return -1;  // the dialog stays open for another folder
  // What the pass decides by and reports to is fixed before it starts.
  context.uncheckedCount = UncheckedLanguages(DialogItem(dialog, kControlLanguages), context.unchecked,
                                              kMostUncheckedLanguages);
  context.showTarget = ShowTarget;  // the status line, the log and the progress window
  context.showTargetUser = &run;
  run.statusLine = DialogItem(dialog, kControlStatus);
  run.context = &context;
  LogLine("destination", context.destination);
  const SetupOptions& options = gSetupState->options;
  if (options.silent && !options.verySilent) {
    char16_t title[kTitleCapacity];
    WindowGetText(dialog, title, kTitleCapacity);  // the setup's caption with the product line
    run.progress = OpenProgressWindow(title);
  }
  const int result = InstallAndRegister(dialog, context, run);
  CloseProgressWindow(run.progress);
  return result;
}
