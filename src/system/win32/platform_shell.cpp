// The shell on the real shell32 and ole32 calls: item lists, special folders, the folder
// browser with its pre-selection callback, shell links and the shell's file operation.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "system/platform.h"

namespace {

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
LPWSTR W(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }

// On BFFM_INITIALIZED the browser selects the item list given as callback data.
int CALLBACK BrowseCallback(HWND window, UINT message, LPARAM, LPARAM data) {
  if (message == BFFM_INITIALIZED) SendMessageW(window, BFFM_SETSELECTIONW, FALSE, data);
  return 0;
}

}  // namespace

ItemList PlatformSpecialFolderLocation(int csidl) {
  LPITEMIDLIST list = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list))) return nullptr;
  return list;
}

ItemList PlatformParseDisplayName(WindowHandle owner, const char16_t* path) {
  IShellFolder* desktop = nullptr;
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator))) return nullptr;
  allocator->Release();
  if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
  // ParseDisplayName takes a writable text.
  wchar_t work[MAX_PATH] = {};
  lstrcpynW(work, W(path), MAX_PATH);
  LPITEMIDLIST list = nullptr;
  if (FAILED(desktop->ParseDisplayName(static_cast<HWND>(owner), nullptr, work, nullptr, &list, nullptr)))
    list = nullptr;
  desktop->Release();
  return list;
}

bool PlatformPathFromItemList(ItemList list, char16_t* out) {
  return list && SHGetPathFromIDListW(static_cast<LPCITEMIDLIST>(list), W(out)) != FALSE;
}

void PlatformFreeItemList(ItemList list) {
  IMalloc* allocator = nullptr;
  if (!list || FAILED(SHGetMalloc(&allocator))) return;
  allocator->Free(list);
  allocator->Release();
}

ItemList PlatformBrowseForFolder(WindowHandle owner, ItemList initialSelection) {
  BROWSEINFOW request = {};
  request.hwndOwner = static_cast<HWND>(owner);
  request.ulFlags = BIF_RETURNONLYFSDIRS;
  if (initialSelection) {
    request.lpfn = BrowseCallback;
    request.lParam = reinterpret_cast<LPARAM>(initialSelection);
  }
  return SHBrowseForFolderW(&request);
}

long PlatformCreateShellLink(const char16_t* linkPath, const char16_t* target,
                             const char16_t* workingDirectory, int showCommand) {
  IShellLinkW* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  link->SetPath(W(target));
  link->SetWorkingDirectory(W(workingDirectory));
  link->SetShowCmd(showCommand);
  IPersistFile* file = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    result = file->Save(W(linkPath), TRUE);
    file->Release();
  }
  link->Release();
  return result;
}

int PlatformShellFileOperation(WindowHandle owner, unsigned function, const char16_t* from,
                               const char16_t* to, uint16_t flags, bool* aborted) {
  SHFILEOPSTRUCTW request = {};
  request.hwnd = static_cast<HWND>(owner);
  request.wFunc = function;
  request.pFrom = W(from);
  request.pTo = to ? W(to) : nullptr;
  request.fFlags = flags;
  const int result = SHFileOperationW(&request);
  if (aborted) *aborted = request.fAnyOperationsAborted != FALSE;
  return result;
}
