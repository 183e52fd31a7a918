// Bounded text and path operations (see text.h). They keep no state and allocate nothing:
// all work happens in the caller's fixed buffers. The platform is reached only for the
// code-page conversions, the existence test and the absolute form of a path.
#include "system/text.h"

#include "system/platform.h"

namespace {

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// The shared rule of the append family, for wide and 8-bit text alike.
template <typename Char>
int BoundedAppend(const Char* source, Char* dest, int capacity) {
  if (capacity <= 0 || !source || !dest) return kTextDone;
  int used = 0;
  while (used < capacity && dest[used]) ++used;
  const int room = capacity - 1 - used;
  if (room <= 0) return kTextNoRoom;
  int i = 0;
  for (; i < room && source[i]; ++i) dest[used + i] = source[i];
  if (!source[i]) {
    dest[used + i] = 0;
    return kTextDone;
  }
  dest[capacity - 1] = 0;
  return kTextCut;
}

}  // namespace

// ---- Bounded copy and append ------------------------------------------------------------

int TextLength(const char16_t* text) {
  int n = 0;
  if (text)
    while (text[n]) ++n;
  return n;
}

int CopyText(const char16_t* source, char16_t* dest, int capacity) {
  if (dest && capacity > 0) dest[0] = 0;
  return AppendText(source, dest, capacity);
}

int AppendText(const char16_t* source, char16_t* dest, int capacity) {
  return BoundedAppend(source, dest, capacity);
}

int AppendTextNarrow(const char* source, char* dest, int capacity) {
  return BoundedAppend(source, dest, capacity);
}

// ---- Paths ----------------------------------------------------------------------------

void EnsureTrailingSeparator(char16_t* path, int capacity) {
  if (!path) return;
  const int n = TextLength(path);
  if (n == 0 || IsSeparator(path[n - 1])) return;
  AppendText(u"\\", path, capacity);
}

int JoinPath(const char16_t* name, char16_t* path, int capacity) {
  if (!name || !path || !name[0]) return kTextDone;
  if (IsSeparator(name[0])) ++name;  // one leading separator only
  EnsureTrailingSeparator(path, capacity);
  return AppendText(name, path, capacity);
}

int StripToFolder(char16_t* path) {
  if (!path) return 0;
  int last = 0;
  for (int i = 0; path[i]; ++i)
    if (IsSeparator(path[i])) last = i;
  if (last == 2 && path[1] == u':') last = 3;  // a drive root keeps its backslash
  path[last] = 0;
  return last;
}

int FileNameOffset(const char16_t* path) {
  if (!path) return 0;
  int offset = 0;
  for (int i = 0; path[i]; ++i)
    if (IsSeparator(path[i])) offset = i + 1;
  return offset;
}

bool FileExists(const char16_t* path) {
  if (!path) return false;
  return PlatformGetFileAttributes(path) != kInvalidFileAttributes;
}

void MakeFullPath(char16_t* path) {
  if (!path) return;
  char16_t work[kPathCapacity] = {};
  const uint32_t n = PlatformGetFullPathName(path, kPathCapacity, work);
  // When the absolute form does not fit, the call reports the size it would need and leaves
  // the work buffer empty; the path is kept then rather than replaced by the empty text.
  if (n == 0 || n >= static_cast<uint32_t>(kPathCapacity)) return;
  CopyText(work, path, kPathCapacity);
}

// ---- Code-page conversions --------------------------------------------------------------

void AnsiToWide(const char* source, char16_t* dest, int capacity) {
  if (!dest) return;
  if (capacity <= 0) return;  // no room even for a terminator: nothing may be written
  dest[0] = 0;
  if (!source) return;
  PlatformAnsiToWide(source, dest, capacity - 1);
  dest[capacity - 1] = 0;
}

void WideToAnsi(const char16_t* source, char* dest, int capacity) {
  if (!dest) return;
  if (capacity <= 0) return;
  dest[0] = 0;
  if (!source) return;
  PlatformWideToAnsi(source, dest, capacity - 1);
  dest[capacity - 1] = 0;
}

void AppendAnsiAsWide(const char* source, char16_t* dest, int capacity) {
  if (!dest || capacity <= 0) return;
  int n = 0;
  while (n < capacity && dest[n]) ++n;
  if (n < capacity) AnsiToWide(source, dest + n, capacity - n);
}

// ---- Folder comparison ----------------------------------------------------------------------

namespace {

char16_t FoldedSeparatorAndCase(char16_t c) {
  if (c == u'/') return u'\\';
  return (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
}

// Length without the separators at the end, but a drive root's.
int FolderLength(const char16_t* path) {
  int n = TextLength(path);
  while (n > 3 && (path[n - 1] == u'\\' || path[n - 1] == u'/')) --n;
  return n;
}

}  // namespace

bool SameFolder(const char16_t* a, const char16_t* b) {
  if (!a || !b) return false;
  const int n = FolderLength(a);
  if (n == 0 || n >= kPathCapacity || n != FolderLength(b)) return false;
  for (int i = 0; i < n; ++i)
    if (FoldedSeparatorAndCase(a[i]) != FoldedSeparatorAndCase(b[i])) return false;
  return true;
}
