// The install pass's per-entry decisions: which entries are written, where, and which are
// dropped; and the runs of the pass.
#include "setup/install_pass.h"

#include "archive/extract.h"
#include "archive/rar_format.h"
#include "setup/entry_names.h"
#include "setup/scan.h"
#include "setup/setup_state.h"
#include "system/file_io.h"
#include "system/platform.h"
#include "system/text.h"

namespace {

void Skip(char16_t* name) { name[0] = 0; }

// Second opinion on a checksum mismatch while installing: when the payload verifies in a
// memory-only run, the archive is sound and the written copy fell short (a full disk).
int VerifyCallback(char16_t* name, const uint8_t* data, uint32_t, void*) {
  if (!data) name[0] = VerifyOnly;
  return 0;
}

// The observer's end of an entry in a holding pass: the file just written and closed (its time
// and attributes set) is opened again at once with sharing that excludes writing, and kept so
// until the move into place is over. Writing itself shares no writing either (the file layer's
// output streams), so on Windows the time between the two handles is only a few calls long,
// and the staging folder's DACL already keeps the user's processes from writing there; the
// hold is what also stops a process that runs with the same rights, or one under a system
// that decides access by other means. The shell can still move a held file (deletion is
// shared). A file that cannot be held (someone has it open for writing) fails the pass.
void HoldWrittenFile(const ExtractContext*, const ExtractEntryOutcome* outcome, void* value) {
  auto* context = static_cast<InstallContext*>(value);
  if (!context->writing[0]) return;
  if (outcome->checked && outcome->checksumMatches) {
    FileHandle file = context->heldCount < kMostHeldFiles ? PlatformHoldFile(context->writing) : nullptr;
    if (file) {
      context->held[context->heldCount++] = file;
    } else if (context->refusal == 0) {
      context->refusal = kExtractCannotCreate;
    }
  }
  context->writing[0] = 0;
}

// Notes a folder the installation made. In a staging pass the real destination decides: a
// folder it holds already was there before (or was noted by the first attempt).
void NoteCreatedFolder(InstallContext* context, const char16_t* relative) {
  if (context->stagingRoot[0]) {
    char16_t real[kPathCapacity];
    CopyText(context->realDestination, real, kPathCapacity);
    if (JoinPath(relative, real, kPathCapacity) != kTextDone || FileExists(real)) return;
  }
  AddToFolderList(context->createdFolders, relative);
}

// Makes the folders of the first `length` characters of `relative` (a path below the
// destination) that do not exist yet, noting each one made. A folder that cannot be made
// shows up as a file that cannot be created.
void MakeEntryFolders(InstallContext* context, const char16_t* relative, int length) {
  char16_t part[kPathCapacity];
  for (int i = 1; i <= length; ++i) {
    if (i < length && relative[i] != u'\\') continue;
    CopyText(relative, part, i + 1 < kPathCapacity ? i + 1 : kPathCapacity);
    char16_t path[kPathCapacity];
    CopyText(context->destination, path, kPathCapacity);
    if (JoinPath(part, path, kPathCapacity) != kTextDone) return;
    if (FileExists(path)) continue;
    if (!PlatformCreateDirectory(path)) return;
    NoteCreatedFolder(context, part);
  }
}

// A folder entry of a product that keeps its folders: the folder is made, empty. A path that
// cannot be made safely ends the pass as an unsafe name does.
void MakeFolderEntry(const ExtractContext* run, void* value) {
  auto* context = static_cast<InstallContext*>(value);
  if (!context->keepFolders || !(run->attributes & kAttributeDirectory)) return;
  char16_t name[kEntryNameCapacity];
  AnsiToWide(run->name, name, kEntryNameCapacity);
  if (UnsafePathReasonOf(name) != kNameSafe) {
    if (context->refusal == 0) context->refusal = kScanUnsafeName;
    return;
  }
  MakeEntryFolders(context, name, TextLength(name));
}

}  // namespace

LanguageCode EntryLanguageCode(const char16_t* name, int prefixLength) {
  char16_t code[5];
  if (EntryLanguageCodeText(name, prefixLength, code) == 0) return 0;
  char letters[4] = {};
  WideToAnsi(code, letters, 4);  // at most the first 3 characters remain
  return LanguageCodeOf(letters);
}

int InstallCallback(char16_t* name, const uint8_t*, uint32_t size, void* value) {
  auto* context = static_cast<InstallContext*>(value);
  // A name that cannot become a file safely ends the pass; the scan pass refuses such
  // payloads already, so this only meets an archive that changed since.
  if (IsUnsafeEntryName(name) || (context->keepFolders && UnsafePathReasonOf(name) != kNameSafe)) {
    Skip(name);
    context->refusal = kScanUnsafeName;
    return 1;
  }
  // Entries of an unchecked language are dropped. With kept folders the code is read from the
  // base name, so that a language's files may lie in any folder.
  const char16_t* base = name + BaseNameOffset(name);
  const char16_t* bound = context->keepFolders ? base : name;
  const LanguageCode code = EntryLanguageCode(bound, TextLength(gSetupState->languageFilePrefix));
  for (int i = 0; code != 0 && i < context->uncheckedCount; ++i) {
    if (context->unchecked[i] != code) continue;
    Skip(name);
    return 0;
  }
  // Every file lands in the destination folder itself, under its base name; or, with kept
  // folders, under its path below it (the run has made every separator a backslash).
  const char16_t* written = context->keepFolders ? name : base;
  char16_t target[kPathCapacity];
  CopyText(context->destination, target, kPathCapacity);
  EnsureTrailingSeparator(target, kPathCapacity);
  if (AppendText(written, target, kPathCapacity) != kTextDone) {
    // A path cut to fit would write the entry under another name: the file cannot be
    // created here, which sends the install through the staging folder.
    Skip(name);
    context->refusal = kExtractCannotCreate;
    return 1;
  }
  // With kept folders, the uninstaller and the main program are files at the top level only.
  const bool topLevel = written == base || base == name;
  if (topLevel && IsUninstallerName(base)) {
    CopyText(base, context->uninstaller, kPayloadNameCapacity);  // the last one wins
  } else if (IsNeverInstalled(base)) {
    Skip(name);
    return 0;
  } else if (topLevel && IsMainProgramCandidate(base) && !context->mainProgram[0]) {
    CopyText(base, context->mainProgram, kPayloadNameCapacity);  // the first one wins
  }
  if (written != base) MakeEntryFolders(context, name, int(base - name) - 1);
  // An existing file of that name goes first; a failure shows up when it is created.
  if (FileExists(target)) DeleteOutputFile(target);
  // The target path, also reported (the status line shows it).
  context->installedBytes += size;
  CopyText(target, name, kPathCapacity);
  if (context->holdWritten) CopyText(target, context->writing, kPathCapacity);
  if (context->showTarget) context->showTarget(context->showTargetUser, target);
  return 0;
}

int InstallPass(InstallContext* context) {
  context->refusal = 0;
  context->installedBytes = 0;
  context->writing[0] = 0;
  ExtractObserver observer = {context->keepFolders ? MakeFolderEntry : nullptr,
                              context->holdWritten ? HoldWrittenFile : nullptr, context, false, false, false, 0, 0, false, 0};
  const bool observed = context->keepFolders || context->holdWritten;
  int result = ExtractArchiveObserved(gSetupState->modulePath, InstallCallback, context,
                                      observed ? &observer : nullptr);
  if (result == 0 && context->refusal != 0) result = context->refusal;
  return result;
}

void ReleaseHeldFiles(InstallContext* context) {
  while (context->heldCount > 0) PlatformCloseHandle(context->held[--context->heldCount]);
}

bool PayloadIntact() { return ExtractArchive(gSetupState->modulePath, VerifyCallback, nullptr) == 0; }
