// The calls behind folders an elevated program trusts (see system/trusted_folder.h) on the
// real kernel32 and advapi32: the token's elevation and user, the random generator, a folder
// created with a security descriptor, and handles held on folders and files.
#include <windows.h>
#include <sddl.h>

#include "system/platform.h"

// advapi32's RtlGenRandom, exported under this name (declared here: the SDK headers give it
// only as a macro of ntsecapi.h).
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace {

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }

// The process token's information of one class into `buffer`; false when unavailable.
bool TokenInformation(TOKEN_INFORMATION_CLASS type, void* buffer, DWORD size) {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD used = 0;
  const bool ok = GetTokenInformation(token, type, buffer, size, &used) != 0;
  CloseHandle(token);
  return ok;
}

}  // namespace

bool PlatformIsElevated() {
  TOKEN_ELEVATION elevation = {};
  return TokenInformation(TokenElevation, &elevation, sizeof elevation) && elevation.TokenIsElevated != 0;
}

bool PlatformRandomBytes(void* out, uint32_t size) { return SystemFunction036(out, size) != FALSE; }

int PlatformUserSid(char16_t* out, int capacity) {
  // TOKEN_USER followed by the SID it points to: SECURITY_MAX_SID_SIZE bytes at most.
  union {
    TOKEN_USER user;
    BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
  } info;
  LPWSTR text = nullptr;
  if (!TokenInformation(TokenUser, &info, sizeof info) || !ConvertSidToStringSidW(info.user.User.Sid, &text))
    return 0;
  const int length = lstrlenW(text);
  const bool fits = length < capacity;
  if (fits) lstrcpynW(reinterpret_cast<LPWSTR>(out), text, capacity);
  LocalFree(text);
  return fits ? length : 0;
}

bool PlatformCreateSecuredDirectory(const char16_t* path, const char16_t* sddl) {
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, FALSE};
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(W(sddl), SDDL_REVISION_1,
                                                            &attributes.lpSecurityDescriptor, nullptr))
    return false;
  const bool made = CreateDirectoryW(W(path), &attributes) != FALSE;
  const DWORD error = GetLastError();
  LocalFree(attributes.lpSecurityDescriptor);
  SetLastError(error);
  return made;
}

FileHandle PlatformHoldFolder(const char16_t* path) {
  HANDLE folder = CreateFileW(W(path), FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                              nullptr);
  return folder == INVALID_HANDLE_VALUE ? nullptr : folder;
}

FileHandle PlatformHoldFile(const char16_t* path) {
  HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                            FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

uint32_t PlatformHandleAttributes(FileHandle handle) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!handle || !GetFileInformationByHandle(static_cast<HANDLE>(handle), &info)) return kInvalidFileAttributes;
  return info.dwFileAttributes;
}

void PlatformCloseHandle(FileHandle handle) {
  if (handle) CloseHandle(static_cast<HANDLE>(handle));
}
