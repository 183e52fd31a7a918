// Staging root names, shell moves and deletes, and the PSAPI.DLL rename.
#include "system/file_ops.h"

#include "system/platform.h"
#include "system/text.h"

namespace {

// The shell takes a list of paths ended by two terminators: a zero-filled buffer two
// characters longer than the path capacity always holds them.
constexpr int kPathListSize = kPathCapacity + 2;

// Copies a path into a path list; false when it does not fit whole (a cut path would make
// the shell work on a different file).
bool MakePathList(const char16_t* path, char16_t* list) {
  return path && path[0] && CopyText(path, list, kPathCapacity) == kTextDone;
}

}  // namespace

void MakeTempFolderName(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  const uint32_t length = PlatformGetTempPath(capacity, out);
  if (length == 0 || length >= static_cast<uint32_t>(capacity)) out[0] = 0;
  if (!out[0]) return;
  EnsureTrailingSeparator(out, capacity);
  const int n = TextLength(out);
  for (uint32_t i = 1; i != 0; ++i) {
    char16_t digits[9];
    int d = 8;
    digits[d] = 0;
    for (uint32_t v = i; v; v >>= 4) digits[--d] = u"0123456789abcdef"[v & 15];
    out[n] = 0;
    // No room for the whole counter: stop rather than try the same cut name forever.
    if (AppendText(digits + d, out, capacity) != kTextDone) break;
    // Creating is the test: a folder that exists already, whoever made it and whatever it
    // holds, is never used, and nothing can slip in between a check and the creation.
    if (PlatformCreateDirectory(out)) return;
    if (PlatformGetLastError() != kErrorAlreadyExists) break;
  }
  out[0] = 0;
}

namespace {
// Flags every shell operation adds: none, or those that keep it off the screen.
uint16_t gQuietFlags = 0;
}  // namespace

void MakeShellOperationsQuiet() { gQuietFlags = kFofSilent | kFofNoConfirmation | kFofNoErrorUi | kFofNoConfirmMkdir; }

int ShellMove(WindowHandle owner, const char16_t* source, const char16_t* target) {
  char16_t from[kPathListSize] = {};
  char16_t to[kPathListSize] = {};
  if (!MakePathList(source, from) || !MakePathList(target, to)) return -1;
  bool aborted = false;
  const int result = PlatformShellFileOperation(owner, kFoMove, from, to,
                                                kFofNoConfirmation | kFofNoConfirmMkdir | gQuietFlags, &aborted);
  if (result != 0 || aborted) return -1;
  // A move that reports success but left its source in place did not happen (some shells
  // skip a folder that meets one of the same name): the caller must not go on and delete it.
  return FileExists(from) ? -1 : 0;
}

void ShellDeleteTree(const char16_t* path) {
  if (!FileExists(path)) return;
  char16_t from[kPathListSize] = {};
  if (!MakePathList(path, from)) return;
  bool aborted = false;
  PlatformShellFileOperation(nullptr, kFoDelete, from, nullptr, kFofNoConfirmation | gQuietFlags, &aborted);
}
