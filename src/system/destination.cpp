// The destination folder and the registry values behind its proposal.
#include "system/destination.h"

#include "setup/setup_state.h"
#include "system/platform.h"
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
  AnsiToWide(gSetupState ? gSetupState->productId : nullptr, id, kProductIdCapacity);
}

}  // namespace

void ReadProgramFilesDir(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  ReadRegistryText(RegistryRoot::LocalMachine, kCurrentVersionKey, u"ProgramFilesDir", out, capacity);
}

void DefaultDestination(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  char16_t id[kProductIdCapacity];
  ProductIdWide(id);
  if (id[0]) {
    ReadRegistryText(RegistryRoot::CurrentUser, kRememberedKey, id, out, capacity);
    if (out[0]) return;  // proposed exactly as remembered
  }
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
  AppendAnsiAsWide(gSetupState ? gSetupState->groupName : nullptr, out, capacity);
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
