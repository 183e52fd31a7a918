// The destination folder an installation is proposed and remembers, and the rules that keep
// a stored or typed folder out of the system's own (see destination.h).
#include "installation/destination.h"

#include "installation/uninstall_entry.h"
#include "system/platform.h"
#include "system/registry.h"
#include "system/text.h"

namespace {

const char16_t kCurrentVersionKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion";
constexpr int kProductIdCapacity = 4;

// A path made absolute, with backslashes, without the "\\?\" prefix of long names and without
// separators at its end (but a drive root's).
void Normalised(const char16_t* path, char16_t* out) {
  const bool longForm = (path[0] == u'\\' || path[0] == u'/') && (path[1] == u'\\' || path[1] == u'/') &&
                        (path[2] == u'?' || path[2] == u'.') && (path[3] == u'\\' || path[3] == u'/');
  CopyText(longForm ? path + 4 : path, out, kPathCapacity);
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

const char16_t kRememberedKey[] = u"Software\\Korvane";

void ReadProgramFilesDir(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  ReadRegistryText(RegistryRoot::LocalMachine, kCurrentVersionKey, u"ProgramFilesDir", out, capacity);
}

bool IsInsideWindowsFolder(const char16_t* path) {
  char16_t system[kPathCapacity], windows[kPathCapacity], normal[kPathCapacity];
  const uint32_t n = PlatformGetWindowsDirectory(system, kPathCapacity);
  if (!path || !path[0] || n == 0 || n >= uint32_t(kPathCapacity)) return false;
  Normalised(system, windows);
  Normalised(path, normal);
  return IsWithin(normal, windows);
}

bool IsUsableRememberedFolder(const char16_t* path) {
  const bool local = path && ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z')) &&
                     path[1] == u':' && path[2] == u'\\';
  return local && !HasDotComponent(path) && !IsInsideWindowsFolder(path) && !PassesThroughLink(path);
}

void DefaultDestination(const ProductFacts& facts, char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  char16_t group[kNameCapacity], key[kLinkCapacity];
  AnsiToWide(facts.group, group, kNameCapacity);
  if (UninstallKeyPath(group, key, kLinkCapacity) &&
      ReadProposable(RegistryRoot::LocalMachine, key, u"InstallLocation", out, capacity))
    return;
  char16_t id[kProductIdCapacity];
  AnsiToWide(facts.productId, id, kProductIdCapacity);
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
  AppendAnsiAsWide(facts.group, out, capacity);
}

void SaveDestination(const char* productId, const char16_t* folder) {
  char16_t id[kProductIdCapacity];
  AnsiToWide(productId, id, kProductIdCapacity);
  if (!id[0] || !folder || !folder[0]) return;
  RegistryKey key = nullptr;
  if (PlatformRegCreateKey(RegistryRoot::CurrentUser, kRememberedKey, kKeyWrite, &key) != 0) return;
  SetRegistryText(key, id, folder);
  PlatformRegCloseKey(key);
}

void ForgetDestination(const char* productId, const char16_t* folder) {
  char16_t id[kProductIdCapacity];
  AnsiToWide(productId, id, kProductIdCapacity);
  if (!id[0]) return;
  char16_t remembered[kPathCapacity];
  ReadRegistryText(RegistryRoot::CurrentUser, kRememberedKey, id, remembered, kPathCapacity);
  if (!remembered[0] || !SameFolder(remembered, folder)) return;
  RegistryKey key = nullptr;
  if (PlatformRegOpenKey(RegistryRoot::CurrentUser, kRememberedKey, kKeyWrite, &key) != 0) return;
  PlatformRegDeleteValue(key, id);
  PlatformRegCloseKey(key);
  // The key is shared by all our products: it goes only when this was its last value, so
  // that an uninstall leaves the registry as it was before the first installation.
  if (PlatformRegKeyIsEmpty(RegistryRoot::CurrentUser, kRememberedKey))
    PlatformRegDeleteKey(RegistryRoot::CurrentUser, kRememberedKey);
}
