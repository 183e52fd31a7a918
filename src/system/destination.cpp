// The destination folder and the registry values behind its proposal.
#include "system/destination.h"

#include "setup/setup_state.h"
#include "system/platform.h"
#include "system/shortcuts.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

const char16_t kCurrentVersionKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr int kProductIdCapacity = 4;

}  // namespace

const char16_t kRememberedKey[] = u"Software\\Korvane";

void ReadRegistryText(RegistryRoot root, const char16_t* key, const char16_t* name, char16_t* out,
                      int capacity) {
  out[0] = 0;
  RegistryKey handle = nullptr;
  if (PlatformRegOpenKey(root, key, kKeyRead, &handle) != 0) return;
  uint32_t size = static_cast<uint32_t>(capacity) * 2;
  uint32_t type = 0;
  if (PlatformRegQueryValue(handle, name, &type, out, &size) != 0) out[0] = 0;
  out[capacity - 1] = 0;
  PlatformRegCloseKey(handle);
}

namespace {

void ProductIdWide(char16_t* id) {
  AnsiToWide(gSetupState ? gSetupState->facts.productId : nullptr, id, kProductIdCapacity);
}


// A path made absolute, with backslashes, without the "\\?\" prefix of long names and without
// separators at its end (but a drive root's).
void Normalised(const char16_t* path, char16_t* out) {
  char16_t text[kPathCapacity];
  CopyText(path, text, kPathCapacity);
  const char16_t* from = text;
  if ((text[0] == u'\\' || text[0] == u'/') && (text[1] == u'\\' || text[1] == u'/') &&
      (text[2] == u'?' || text[2] == u'.') && (text[3] == u'\\' || text[3] == u'/'))
    from = text + 4;
  CopyText(from, out, kPathCapacity);
  MakeFullPath(out);
  int n = TextLength(out);
  for (int i = 0; i < n; ++i)
    if (out[i] == u'/') out[i] = u'\\';
  while (n > 3 && out[n - 1] == u'\\') out[--n] = 0;
}

// Whether `path` is `folder` or lies inside it, ASCII letter case ignored.
bool IsWithin(const char16_t* path, const char16_t* folder) {
  if (!folder[0]) return false;
  int i = 0;
  for (; folder[i]; ++i) {
    char16_t a = path[i], b = folder[i];
    if (a >= u'a' && a <= u'z') a = char16_t(a - 32);
    if (b >= u'a' && b <= u'z') b = char16_t(b - 32);
    if (a != b) return false;
  }
  return folder[i - 1] == u'\\' || path[i] == 0 || path[i] == u'\\';
}

bool HasDotComponent(const char16_t* path) {
  for (int i = 0; path[i]; ++i) {
    const bool start = i == 0 || path[i - 1] == u'\\' || path[i - 1] == u'/';
    if (!start || path[i] != u'.') continue;
    const int next = path[i + 1] == u'.' ? i + 2 : i + 1;
    if (path[next] == 0 || path[next] == u'\\' || path[next] == u'/') return true;
  }
  return false;
}

// Whether a component of the path that exists is a link or junction, which could lead the
// folder anywhere.
bool PassesThroughLink(const char16_t* path) {
  char16_t prefix[kPathCapacity];
  CopyText(path, prefix, kPathCapacity);
  for (int n = TextLength(prefix); n > 3; n = StripToFolder(prefix)) {
    const uint32_t attributes = PlatformGetFileAttributes(prefix);
    if (attributes != kInvalidFileAttributes && (attributes & kFileAttributeReparsePoint)) return true;
  }
  return false;
}

// The text of a stored value that names a folder, when it may be proposed.
bool ReadProposable(RegistryRoot root, const char16_t* key, const char16_t* name, char16_t* out, int capacity) {
  ReadRegistryText(root, key, name, out, capacity);
  if (out[0] && IsUsableRememberedFolder(out)) return true;
  out[0] = 0;
  return false;
}

}  // namespace

void ReadProgramFilesDir(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  ReadRegistryText(RegistryRoot::LocalMachine, kCurrentVersionKey, u"ProgramFilesDir", out, capacity);
}

bool IsInsideWindowsFolder(const char16_t* path) {
  char16_t windows[kPathCapacity], normal[kPathCapacity];
  const uint32_t n = PlatformGetWindowsDirectory(windows, kPathCapacity);
  if (!path || !path[0] || n == 0 || n >= uint32_t(kPathCapacity)) return false;
  Normalised(windows, windows);
  Normalised(path, normal);
  return IsWithin(normal, windows);
}

bool IsUsableRememberedFolder(const char16_t* path) {
  const bool local = path && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
                     path[1] == u':' && path[2] == u'\\';
  return local && !HasDotComponent(path) && !IsInsideWindowsFolder(path) && !PassesThroughLink(path);
}

void DefaultDestination(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  char16_t group[kNameCapacity], key[kLinkCapacity];
  AnsiToWide(gSetupState ? gSetupState->facts.group : nullptr, group, kNameCapacity);
  if (UninstallKeyPath(group, key, kLinkCapacity) &&
      ReadProposable(RegistryRoot::LocalMachine, key, u"InstallLocation", out, capacity))
    return;
  char16_t id[kProductIdCapacity];
  ProductIdWide(id);
  if (id[0] && ReadProposable(RegistryRoot::CurrentUser, kRememberedKey, id, out, capacity)) return;
  ReadProgramFilesDir(out, capacity);
  if (!out[0]) {
    const uint32_t n = PlatformGetEnvironmentVariable(u"ProgramFiles", out, capacity);
    if (n == 0 || n >= static_cast<uint32_t>(capacity)) out[0] = 0;
  }
  if (!out[0]) {
    const uint32_t n = PlatformGetWindowsDirectory(out, capacity);
    if (n == 0 || n >= static_cast<uint32_t>(capacity)) out[0] = 0;
    // Without a Windows folder this source gives nothing rather than a relative name.
    // "Programme" is the programs folder's name on German Windows; it is tried before
    // "Program Files" when neither the registry nor the environment names the folder.
    if (out[0]) {
      StripToFolder(out);
      EnsureTrailingSeparator(out, capacity);
      const int before = TextLength(out);
      AppendText(u"Programme", out, capacity);
      if (!FileExists(out)) {
        out[before] = 0;
        AppendText(u"Program Files", out, capacity);
      }
    }
  }
  if (!out[0]) return;
  EnsureTrailingSeparator(out, capacity);
  AppendAnsiAsWide(gSetupState ? gSetupState->facts.group : nullptr, out, capacity);
}

void SaveDestination(const char16_t* folder) {
  char16_t id[kProductIdCapacity];
  ProductIdWide(id);
  if (!id[0] || !folder || !folder[0]) return;
  RegistryKey key = nullptr;
  if (PlatformRegCreateKey(RegistryRoot::CurrentUser, kRememberedKey, kKeyWrite, &key) != 0) return;
  PlatformRegSetValue(key, id, kRegSz, folder, static_cast<uint32_t>(TextLength(folder)) * 2 + 2);
  PlatformRegCloseKey(key);
}

void BrowseForDestination(WindowHandle dialog, int editId) {
  char16_t text[kPathCapacity] = {};
  DialogGetItemText(dialog, editId, text, kPathCapacity);
  ItemList selection = nullptr;
  if (text[0]) {
    char16_t work[kPathCapacity];
    MakeFullPath(text);
    CopyText(text, work, kPathCapacity);
    selection = PlatformParseDisplayName(dialog, work);
    if (!selection) {  // a folder that does not exist yet: open on its parent
      StripToFolder(text);
      CopyText(text, work, kPathCapacity);
      if (work[0]) selection = PlatformParseDisplayName(dialog, work);
    }
  }
  if (ItemList chosen = PlatformBrowseForFolder(dialog, selection)) {
    char16_t path[kPathCapacity] = {};
    if (PlatformPathFromItemList(chosen, path)) DialogSetItemText(dialog, editId, path);
    PlatformFreeItemList(chosen);
  }
  if (selection) PlatformFreeItemList(selection);
}

int CreateDirectories(const char16_t* path) {
  if (!path) return kCreateFailed;
  if (PlatformCreateDirectory(path)) return kCreateDone;
  if (PlatformGetLastError() != kErrorPathNotFound) return kCreateFailed;
  char16_t parent[kPathCapacity];
  CopyText(path, parent, kPathCapacity);
  if (StripToFolder(parent) <= 3) return kCreateFailed;
  const int result = CreateDirectories(parent);
  if (result != kCreateDone) return result;
  return PlatformCreateDirectory(path) ? kCreateDone : kCreateParentsOnly;
}
