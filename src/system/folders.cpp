// Folders, special folders and the folder browser (see folders.h).
#include "system/folders.h"

#include "system/platform.h"
#include "system/text.h"
#include "system/ui.h"

namespace {

const char16_t kQuickLaunchTail[] = u"\\Microsoft\\Internet Explorer\\Quick Launch";

}  // namespace

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

void SpecialFolderPath(int csidl, char16_t* out) {
  if (!out) return;
  out[0] = 0;
  ItemList list = PlatformSpecialFolderLocation(csidl);
  if (!list) return;
  if (!PlatformPathFromItemList(list, out)) out[0] = 0;
  PlatformFreeItemList(list);
}

void QuickLaunchFolder(char16_t* out, int capacity) {
  if (!out || capacity <= 0) return;
  out[0] = 0;
  char16_t appData[kPathCapacity];
  SpecialFolderPath(kFolderAppData, appData);
  if (!appData[0]) return;
  CopyText(appData, out, capacity);
  AppendText(kQuickLaunchTail, out, capacity);
}

bool QuickLaunchAvailable() {
  char16_t folder[kPathCapacity];
  QuickLaunchFolder(folder, kPathCapacity);
  return folder[0] && FileExists(folder);
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
