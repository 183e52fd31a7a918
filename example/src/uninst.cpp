// UnInst.exe, the example product's uninstaller: removes the files the setup put into its
// own folder and the shortcuts, after asking. It knows the example's file names; a real
// product's uninstaller would know its own.
#include <windows.h>

#include <shlobj.h>

namespace {

const wchar_t* const kInstalledFiles[] = {
    L"KNotes.exe",    L"FILE_ID.DIZ",   L"LICENSE.TXT",   L"README.TXT",
    L"KNotes_FR.LNG", L"KNotes_FR.TXT", L"KNotes_IT.LNG", L"KNotes_RU.LNG",
};
const wchar_t kGroup[] = L"Sample Notepad";

// folder + "\" + name, within MAX_PATH; false when it does not fit.
bool Join(wchar_t* out, const wchar_t* folder, const wchar_t* name) {
  if (lstrlenW(folder) + 1 + lstrlenW(name) >= MAX_PATH) return false;
  lstrcpyW(out, folder);
  lstrcatW(out, L"\\");
  lstrcatW(out, name);
  return true;
}

void DeleteInSpecialFolder(int csidl, const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  wchar_t path[MAX_PATH];
  if (SHGetSpecialFolderPathW(nullptr, folder, csidl, FALSE) && Join(path, folder, name)) {
    DeleteFileW(path);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  if (MessageBoxW(nullptr, L"Remove Sample Notepad from this computer?", L"Uninstall",
                  MB_YESNO | MB_ICONQUESTION) != IDYES) {
    return 1;
  }
  wchar_t folder[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, folder, MAX_PATH);
  *wcsrchr(folder, L'\\') = L'\0';
  wchar_t path[MAX_PATH];
  for (const wchar_t* name : kInstalledFiles) {
    if (Join(path, folder, name)) DeleteFileW(path);
  }
  DeleteInSpecialFolder(CSIDL_DESKTOPDIRECTORY, L"Sample Notepad.lnk");
  DeleteInSpecialFolder(CSIDL_APPDATA,
                        L"Microsoft\\Internet Explorer\\Quick Launch\\Sample Notepad.lnk");
  wchar_t programs[MAX_PATH] = {};
  wchar_t group[MAX_PATH];
  const int kProgramFolders[] = {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS};
  for (int csidl : kProgramFolders) {
    if (SHGetSpecialFolderPathW(nullptr, programs, csidl, FALSE) && Join(group, programs, kGroup)) {
      if (Join(path, group, L"Sample Notepad.lnk")) DeleteFileW(path);
      if (Join(path, group, L"Uninstall.lnk")) DeleteFileW(path);
      RemoveDirectoryW(group);
    }
  }
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Korvane", 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"SNP");
    RegCloseKey(key);
  }
  RegDeleteKeyW(HKEY_LOCAL_MACHINE,
                L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample Notepad");
  MessageBoxW(nullptr, L"Sample Notepad has been removed. The uninstaller itself stays in its folder.",
              L"Uninstall", MB_ICONINFORMATION);
  return 0;
}
