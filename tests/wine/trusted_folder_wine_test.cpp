// The folders an elevated program trusts (system/trusted_folder.h), checked on the real calls
// under Wine, and the tools the end-to-end scenarios use from another process: the DACL read
// back as SDDL (GetNamedSecurityInfoW + ConvertSecurityDescriptorToStringSecurityDescriptorW),
// the process's elevation, and a watcher that tries to swap the uninstaller's copy.
//
// Wine decides file access by Unix permissions, so a refusal by the DACL cannot be seen here;
// the DACL itself is stored and read back, and share modes are enforced across processes: the
// checks of what a held handle stops go through share modes.
#include "trusted_folder_wine_test.h"

#include <aclapi.h>
#include <sddl.h>

#include <cstdio>
#include <cwchar>

#include "check.h"
#include "system/file_ops.h"
#include "system/platform.h"
#include "system/text.h"
#include "system/trusted_folder.h"

namespace {

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// The DACL of a path as SDDL into out; false when it cannot be read.
bool ReadDaclSddl(const wchar_t* path, wchar_t* out, int capacity) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoW(path, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                            &descriptor) != ERROR_SUCCESS)
    return false;
  LPWSTR text = nullptr;
  const bool ok = ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  LocalFree(descriptor);
  if (!ok) return false;
  lstrcpynW(out, text, capacity);
  LocalFree(text);
  return true;
}

// Wine keeps no security descriptor of its own for a file: it reads one back made from the
// Unix mode, which the descriptor given at creation set (its entries for others decide the
// mode's bits for the group and others). Nor does it apply share modes to folders.
bool RunsUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// Opening for writing, renaming and deleting a path: the last errors, 0 where it worked.
struct Attempts {
  DWORD write, rename, remove;
};

Attempts TryToChange(const wchar_t* path, bool folder) {
  Attempts attempts = {};
  HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, folder ? FILE_FLAG_BACKUP_SEMANTICS : 0, nullptr);
  attempts.write = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  wchar_t moved[MAX_PATH];
  lstrcpynW(moved, path, MAX_PATH - 8);
  lstrcatW(moved, L"-moved");
  attempts.rename = MoveFileW(path, moved) ? 0 : GetLastError();
  if (attempts.rename == 0) MoveFileW(moved, path);
  attempts.remove = (folder ? RemoveDirectoryW(path) : DeleteFileW(path)) ? 0 : GetLastError();
  return attempts;
}

// Two folders: fresh random names under the temporary folder, the protected DACL read back,
// and neither renamed nor removed while held.
void CheckFolderPair(TrustedFolder* folders) {
  char16_t sid[192], expected[300];
  CHECK(PlatformUserSid(sid, 192) > 0);
  CHECK(ProtectedFolderSddl(sid, expected, 300));
  char16_t temp[kPathCapacity];
  PlatformGetTempPath(kPathCapacity, temp);
  for (int i = 0; i < 2; ++i) {
    CHECK_INT(MakeTrustedFolder(&folders[i]), 0);
    CHECK(folders[i].handle != nullptr);
    CHECK_INT(TextLength(folders[i].path), TextLength(temp) + 2 * kTrustedNameBytes);
    wchar_t sddl[512] = L"";
    CHECK(ReadDaclSddl(W(folders[i].path), sddl, 512));
    char shown[600];
    std::printf("  trusted folder %s\n", check::Utf8(folders[i].path, shown, sizeof shown));
    std::printf("    DACL read back: %s\n", check::Utf8(reinterpret_cast<char16_t*>(sddl), shown, sizeof shown));
    if (RunsUnderWine()) {
      // A folder made with the default descriptor reads back with read and execute for
      // everyone, (A;OICI;0x1200a9;;;WD); one made with ours gives others no access.
      CHECK(std::wcsstr(sddl, L";;;WD)") == nullptr);
    } else {
      CHECK_TEXT(reinterpret_cast<char16_t*>(sddl), expected);
      const Attempts held = TryToChange(W(folders[i].path), true);
      CHECK(held.rename != 0);
      CHECK(held.remove != 0);
    }
  }
  CHECK(!check::SameText(folders[0].path, folders[1].path));
}

// The uninstaller's way of copying itself: the held copy cannot be written, renamed or
// deleted, and starts (this program, with --exit-code 7).
void CheckHeldCopy(const TrustedFolder& folder, const wchar_t* self) {
  char16_t copy[kPathCapacity];
  CopyText(folder.path, copy, kPathCapacity);
  JoinPath(u"copy.exe", copy, kPathCapacity);
  FileHandle held = PlatformCopyFileHeld(reinterpret_cast<const char16_t*>(self), copy);
  CHECK(held != nullptr);
  CHECK(PlatformCopyFileHeld(reinterpret_cast<const char16_t*>(self), copy) == nullptr);  // never replaces
  const Attempts attempts = TryToChange(W(copy), false);
  std::printf("  held copy: write error %lu, rename error %lu, delete error %lu\n", attempts.write, attempts.rename,
              attempts.remove);
  CHECK_INT(attempts.write, ERROR_SHARING_VIOLATION);
  CHECK(attempts.rename != 0);
  CHECK(attempts.remove != 0);
  wchar_t line[MAX_PATH + 32] = L"\"";
  lstrcatW(line, W(copy));
  lstrcatW(line, L"\" --exit-code 7");
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const bool started = CreateProcessW(W(copy), line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
  CHECK(started);
  DWORD code = 0;
  if (started) {
    WaitForSingleObject(process.hProcess, 30000);
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CHECK_INT(code, 7);
  PlatformCloseHandle(held);
  CHECK(DeleteFileW(W(copy)));
}

// A staged file held as the setup holds it: nobody writes it; it can still be moved.
void CheckHeldFile(const TrustedFolder& folder) {
  char16_t path[kPathCapacity], moved[kPathCapacity];
  CopyText(folder.path, path, kPathCapacity);
  CopyText(folder.path, moved, kPathCapacity);
  JoinPath(u"staged.exe", path, kPathCapacity);
  JoinPath(u"moved.exe", moved, kPathCapacity);
  HANDLE file = CreateFileW(W(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
  CHECK(file != INVALID_HANDLE_VALUE);
  CloseHandle(file);
  FileHandle held = PlatformHoldFile(path);
  CHECK(held != nullptr);
  file = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, 0, nullptr);
  CHECK_INT(file == INVALID_HANDLE_VALUE ? GetLastError() : 0, ERROR_SHARING_VIOLATION);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  CHECK(MoveFileW(W(path), W(moved)));
  PlatformCloseHandle(held);
  DeleteFileW(W(moved));
}

}  // namespace

void CheckTrustedFolders() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::printf("Folders an elevated program trusts\n");
  PrintElevation();
  if (!PlatformIsElevated()) {
    std::printf("  not elevated: the numbered folder is kept, nothing more to check here\n");
    return;
  }
  TrustedFolder folders[2];
  CheckFolderPair(folders);
  CheckHeldCopy(folders[0], self);
  CheckHeldFile(folders[1]);
  for (TrustedFolder& folder : folders) {
    ReleaseTrustedFolder(&folder);
    CHECK(RemoveDirectoryW(W(folder.path)));  // let go, it can be removed
  }
  // A numbered folder as a non-elevated program makes it, for comparison.
  char16_t plain[kPathCapacity];
  MakeTempFolderName(plain, kPathCapacity);
  wchar_t sddl[512] = L"";
  char shown[600];
  if (ReadDaclSddl(W(plain), sddl, 512))
    std::printf("  a numbered folder made with the default descriptor reads back: %s\n",
                check::Utf8(reinterpret_cast<char16_t*>(sddl), shown, sizeof shown));
  RemoveDirectoryW(W(plain));
}

int PrintDaclSddl(const wchar_t* path) {
  wchar_t sddl[512];
  if (!ReadDaclSddl(path, sddl, 512)) return 1;
  char shown[1024];
  std::printf("%s\n", check::Utf8(reinterpret_cast<char16_t*>(sddl), shown, sizeof shown));
  return 0;
}

int PrintElevation() {
  HANDLE token = nullptr;
  TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
  DWORD used = 0;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    GetTokenInformation(token, TokenElevationType, &type, sizeof type, &used);
    CloseHandle(token);
  }
  std::printf("  elevated: %s (token elevation type %d)\n", PlatformIsElevated() ? "yes" : "no", int(type));
  return 0;
}

int WatchAndSwap(const wchar_t* folder, const wchar_t* name, DWORD milliseconds) {
  wchar_t self[MAX_PATH], pattern[MAX_PATH], found[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  lstrcpynW(pattern, folder, MAX_PATH - 4);
  lstrcatW(pattern, L"\\*");
  // Folders there before the watch are not the ones looked for: "|name|name|...".
  static wchar_t before[32768] = L"|";
  const DWORD start = GetTickCount();
  for (bool first = true; GetTickCount() - start < milliseconds; first = false) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    for (bool more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &entry)) {
      if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || entry.cFileName[0] == L'.') continue;
      wchar_t key[MAX_PATH + 2];
      wsprintfW(key, L"|%s|", entry.cFileName);
      if (first && lstrlenW(before) + lstrlenW(key) < 32767) lstrcatW(before, key + 1);
      if (first || std::wcsstr(before, key)) continue;
      wsprintfW(found, L"%s\\%s\\%s", folder, entry.cFileName, name);
      if (GetFileAttributesW(found) == INVALID_FILE_ATTRIBUTES) continue;
      FindClose(search);
      const DWORD foundAfter = GetTickCount() - start;
      // What a swapping process does: put its own program in the copy's place.
      const DWORD replaced = CopyFileW(self, found, FALSE) ? 0 : GetLastError();
      HANDLE file = CreateFileW(found, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
      const DWORD write = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
      if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
      wchar_t moved[MAX_PATH + 8];
      wsprintfW(moved, L"%s-moved", found);
      const DWORD rename = MoveFileW(found, moved) ? 0 : GetLastError();
      if (rename == 0) MoveFileW(moved, found);
      char shown[MAX_PATH * 3];
      std::printf("found %s after %lu ms\n", check::Utf8(reinterpret_cast<char16_t*>(found), shown, sizeof shown),
                  foundAfter);
      std::printf("replace: %s (error %lu)\nopen for writing: error %lu\nrename: error %lu\n",
                  replaced ? "failed" : "done", replaced, write, rename);
      std::fflush(stdout);
      return 0;
    }
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    Sleep(1);
  }
  std::printf("nothing found\n");
  return 1;
}

int RecordSwappedRun() {
  HANDLE file = CreateFileW(L"C:\\swapped-copy-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  char line[2048];
  check::Utf8(reinterpret_cast<const char16_t*>(GetCommandLineW()), line, sizeof line);
  char text[2200];
  wsprintfA(text, "ran as the uninstaller's copy, elevated: %s\r\n%s\r\n", PlatformIsElevated() ? "yes" : "no", line);
  DWORD written = 0;
  WriteFile(file, text, lstrlenA(text), &written, nullptr);
  CloseHandle(file);
  return 0;
}
