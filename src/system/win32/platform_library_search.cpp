// Restricts where the process loads DLLs from: the system folder only. A setup runs from the
// user's download folder with administrator rights, and whatever else lies there is hostile;
// a DLL planted beside it under the name of a system DLL would otherwise be loaded by the
// system DLLs the program uses. The programs import kernel32 and the C runtime alone (known
// DLLs, always taken from the system folder) and delay-load every other system DLL, so this
// call comes before any DLL is searched for.
#include <windows.h>

#include "system/platform.h"

namespace {

constexpr DWORD kLoadLibrarySearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32

// DLLs that the system's own DLLs load by name while a setup runs (theming, the window
// manager, file versions, the shell's property system, the crypto base) and that are not on
// the known-DLL list. They are loaded once from the system folder by full path, so that later
// loads by name find them loaded: that protects systems without SetDefaultDllDirectories, and
// delay-loads inside system DLLs that take the default search order whatever the process set
// (Wine's builtin uxtheme loads msimg32 so).
const wchar_t* const kLoadedByNameLater[] = {
    L"uxtheme.dll", L"msimg32.dll", L"dwmapi.dll", L"version.dll", L"cryptbase.dll", L"propsys.dll",
};

using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
using SetDllDirectoryCall = BOOL(WINAPI*)(LPCWSTR);

// A kernel32 function that older systems lack, or null.
template <typename Call>
Call Kernel32Function(const char* name) {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (!kernel32) return nullptr;
  return reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

// Loads each of kLoadedByNameLater from the system folder; their own imports are looked for
// there first (LOAD_WITH_ALTERED_SEARCH_PATH). A DLL the system lacks is left out. The modules
// stay loaded for the life of the process.
void LoadFromSystemFolder() {
  wchar_t path[MAX_PATH];
  const UINT folder = GetSystemDirectoryW(path, MAX_PATH);
  if (folder == 0 || folder + 16 >= MAX_PATH) return;
  path[folder] = L'\\';
  for (const wchar_t* name : kLoadedByNameLater) {
    lstrcpynW(path + folder + 1, name, int(MAX_PATH - folder - 1));
    LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

}  // namespace

bool PlatformRestrictLibrarySearch() {
  // The current folder goes from the standard search order too, for the calls that still use
  // it (and for systems where the call below is missing).
  if (auto setDllDirectory = Kernel32Function<SetDllDirectoryCall>("SetDllDirectoryW")) setDllDirectory(L"");
  auto setDefault = Kernel32Function<SetDefaultDllDirectoriesCall>("SetDefaultDllDirectories");
  const bool restricted = setDefault && setDefault(kLoadLibrarySearchSystem32);
  LoadFromSystemFolder();
  return restricted;
}
