// The install pass's per-entry decisions and the install sequence around it.
#include "setup/install.h"

#include "archive/extract.h"
#include "localisation/string_tables.h"
#include "setup/entry_names.h"
#include "setup/install_context.h"
#include "setup/scan.h"
#include "setup/setup_dialog.h"
#include "setup/setup_state.h"
#include "system/destination.h"
#include "system/file_io.h"
#include "system/file_ops.h"
#include "system/messages.h"
#include "system/platform.h"
#include "system/shortcuts.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

constexpr int kLinkTargetCapacity = 264;
constexpr int kMessageCapacity = 263;  // group name and text 3000 together
constexpr int kTitleCapacity = 512;

char16_t UpperAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c; }

void Skip(char16_t* name) { name[0] = 0; }

// One extraction run with the install callback; a refusal by the callback (which ends the
// run with result 0) becomes the run's result.
int InstallPass(InstallContext* context) {
  context->refusal = 0;
  int result = ExtractArchive(gSetupState->modulePath, InstallCallback, context);
  if (result == 0 && context->refusal != 0) result = context->refusal;
  return result;
}

// Second opinion on a checksum mismatch while installing: when the payload verifies in a
// memory-only run, the archive is sound and the written copy fell short (a full disk).
int VerifyCallback(char16_t* name, const uint8_t* data, uint32_t, void*) {
  if (!data) name[0] = VerifyOnly;
  return 0;
}

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

bool PayloadIntact() {
  return ExtractArchive(gSetupState->modulePath, VerifyCallback, nullptr) == 0;
}

}  // namespace

LanguageCode EntryLanguageCode(const char16_t* name, int prefixLength) {
  for (const char16_t* p = name; *p; ++p) {
    if (*p == u'\\') {
      name = p + 1;
      break;
    }
  }
  if (TextLength(name) <= prefixLength || name[prefixLength] != u'_') return 0;
  const char16_t* code = name + prefixLength + 1;
  int length = 0;
  while (code[length] && code[length] != u'.') ++length;
  if (length == 0 || length > 4) return 0;
  char16_t upper[5] = {};
  for (int i = 0; i < length; ++i) upper[i] = UpperAscii(code[i]);
  char letters[4] = {};
  WideToAnsi(upper, letters, 4);  // at most the first 3 characters remain
  return LanguageCodeOf(letters);
}

int InstallCallback(char16_t* name, const uint8_t*, uint32_t, void* value) {
  auto* context = static_cast<InstallContext*>(value);
  // A name that cannot become a file safely ends the pass; the scan pass refuses such
  // payloads already, so this only meets an archive that changed since.
  if (IsUnsafeEntryName(name)) {
    Skip(name);
    context->refusal = kScanUnsafeName;
    return 1;
  }
  // 1. Entries of an unchecked language are dropped.
  LanguageCode code = EntryLanguageCode(name, TextLength(gSetupState->languageFilePrefix));
  if (code != 0) {
    WindowHandle list = DialogItem(context->dialog, kControlLanguages);
    int index = FindLanguageItem(list, code);
    if (index >= 0 && ListGetStateImage(list, index) == kStateUnchecked) {
      Skip(name);
      return 0;
    }
  }
  // 2. Every file lands in the destination folder itself, under its base name.
  const char16_t* base = name + FileNameOffset(name);
  char16_t target[kPathCapacity];
  CopyText(context->destination, target, kPathCapacity);
  EnsureTrailingSeparator(target, kPathCapacity);
  if (AppendText(base, target, kPathCapacity) != kTextDone) {
    // A path cut to fit would write the entry under another name: the file cannot be
    // created here, which sends the install through the staging folder.
    Skip(name);
    context->refusal = kExtractCannotCreate;
    return 1;
  }
  // 3. Uninstaller, installation descriptions and the main program.
  if (EqualsIgnoreCase(base, u"UnInst.exe")) {
    CopyText(base, context->uninstaller, 32);
  } else if (TextLength(base) > 4) {
    if (EndsWithIgnoreCase(base, u".INF")) {
      Skip(name);
      return 0;
    }
    if ((base[0] == u'K' || base[0] == u'k') && EndsWithIgnoreCase(base, u".EXE") &&
        !context->mainProgram[0])
      CopyText(base, context->mainProgram, 32);
  }
  // 4. An existing file of that name goes first; a failure shows up when it is created.
  if (FileExists(target)) DeleteOutputFile(target);
  // 5. The target path, also shown in the status line.
  CopyText(target, name, kPathCapacity);
  DialogSetItemText(context->dialog, kControlStatus, target);
  return 0;
}

int RunInstall(WindowHandle dialog) {
  // 1-2. The context, and the destination from the edit field.
  char16_t group[32];
  AnsiToWide(gSetupState->groupName, group, 32);
  InstallContext context = {};
  context.dialog = dialog;
  AnsiToWide(gSetupState->mainProgram, context.mainProgram, 32);
  DialogGetItemText(dialog, kControlDestination, context.destination, 258);
  if (!context.destination[0]) return -1;

  // 3-5. Wait cursor, no critical-error boxes, the folder, an old PSAPI.DLL moved aside.
  void* cursor = ShowWaitCursor();
  SuppressCriticalErrorBoxes();
  CreateDirectories(context.destination);
  MoveOldPsapiAside(context.destination);

  // 6-7. The first attempt, and the staging attempt when a file could not be created.
  int result = InstallPass(&context);
  bool staged = false;
  if (result == kExtractCannotCreate) {
    staged = true;
    MakeTempFolderName(context.stagingRoot, kPathCapacity);
    char16_t staging[kPathCapacity];
    CopyText(context.stagingRoot, staging, kPathCapacity);
    char16_t last[kPathCapacity];
    LastComponent(context.destination, last);
    JoinPath(last, staging, kPathCapacity);
    CopyText(context.destination, context.realDestination, kPathCapacity);
    CopyText(staging, context.destination, kPathCapacity);
    CreateDirectories(context.destination);
    result = InstallPass(&context);
  }

  // 8. Failure: files written so far stay; the message names the cause.
  if (result != 0) {
    RestoreCursor(cursor);
    if (result == kExtractCannotCreate) {
      ShowSystemError(dialog, kErrorCannotMake, nullptr);
    } else if (result == kExtractBadChecksum && context.refusal == 0 && PayloadIntact()) {
      // The archive is sound, so the written copy fell short: not a damaged download.
      ShowSystemError(dialog, kErrorDiskFull, nullptr);
    } else {
      ShowTextMessage(dialog, kTextBrokenFile, gSetupState->modulePath, kMbIconHand);
    }
    return result;
  }

  // 9. Into place from the staging folder.
  DialogSetItemText(dialog, kControlStatus, u"");
  if (staged) {
    // The shell moves a folder onto an existing folder as a sub-folder of it (Dest\Tool\Tool),
    // and some shells skip a folder that meets one of the same name: so the staging folder's
    // content is moved ("folder\*"), each item merging into the destination.
    char16_t content[kPathCapacity];
    CopyText(context.destination, content, kPathCapacity);
    JoinPath(u"*", content, kPathCapacity);
    result = ShellMove(dialog, content, context.realDestination) == 0 ? 0 : -1;
    // The emptied staging folder goes at once: the program group may be built in the
    // staging root under the same name (a destination named after the group).
    if (result == 0) ShellDeleteTree(context.destination);
    CopyText(context.realDestination, context.destination, kPathCapacity);
    if (result != 0) {
      RestoreCursor(cursor);
      return result;
    }
  }

  // 10-12. Remembered folder, uninstall entry, shortcuts.
  SaveDestination(context.destination);
  if (context.uninstaller[0]) {
    char16_t path[kLinkTargetCapacity];
    CopyText(context.destination, path, kLinkTargetCapacity);
    JoinPath(context.uninstaller, path, kLinkTargetCapacity);
    RegisterUninstall(path);
  }
  if (context.mainProgram[0]) {
    if (DialogIsChecked(dialog, kControlProgramGroup)) CreateProgramGroup(dialog, &context);
    char16_t program[kLinkTargetCapacity];
    CopyText(context.destination, program, kLinkTargetCapacity);
    JoinPath(context.mainProgram, program, kLinkTargetCapacity);
    if (DialogIsChecked(dialog, kControlDesktopIcon)) CreateDesktopLink(program, group);
    if (DialogIsChecked(dialog, kControlQuickLaunch)) CreateQuickLaunchLink(program, group);
  }

  // 13-16. Staging root removed, cursor back, the success message.
  if (staged) ShellDeleteTree(context.stagingRoot);
  RestoreCursor(cursor);
  char16_t message[kMessageCapacity] = {};
  CopyText(group, message, kMessageCapacity);
  int used = TextLength(message);
  LookupText(gSetupState->languageTable, kTextInstalled, message + used, kMessageCapacity - used);
  char16_t title[kTitleCapacity];
  WindowGetText(dialog, title, kTitleCapacity);
  ShowMessage(dialog, message, title, kMbIconInformation);
  return 0;
}
