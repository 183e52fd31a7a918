// Text conversion, files, folders and machine information on the real kernel32 calls.
// char16_t and wchar_t are both UTF-16 code units here, so wide buffers go to the W calls as
// they are.
#include <windows.h>

#include "system/platform.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wide characters");

namespace {
LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
LPWSTR W(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }
}  // namespace

int PlatformAnsiToWide(const char* source, char16_t* dest, int room) {
  return MultiByteToWideChar(CP_ACP, 0, source, -1, W(dest), room);
}

int PlatformWideToAnsi(const char16_t* source, char* dest, int room) {
  return WideCharToMultiByte(CP_ACP, 0, W(source), -1, dest, room, nullptr, nullptr);
}

int PlatformWideToUtf8(const char16_t* source, char* dest, int room) {
  return WideCharToMultiByte(CP_UTF8, 0, W(source), lstrlenW(W(source)), dest, room, nullptr, nullptr);
}

uint32_t PlatformGetFileAttributes(const char16_t* path) { return GetFileAttributesW(W(path)); }

uint32_t PlatformGetFullPathName(const char16_t* path, int capacity, char16_t* out) {
  return GetFullPathNameW(W(path), static_cast<DWORD>(capacity), W(out), nullptr);
}

bool PlatformCreateDirectory(const char16_t* path) { return CreateDirectoryW(W(path), nullptr) != FALSE; }

bool PlatformMoveFile(const char16_t* from, const char16_t* to) { return MoveFileW(W(from), W(to)) != FALSE; }

uint32_t PlatformGetTempPath(int capacity, char16_t* out) {
  using GetTempPath2Call = DWORD(WINAPI*)(DWORD, LPWSTR);
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto getTempPath2 = kernel32 ? reinterpret_cast<GetTempPath2Call>(
                                     reinterpret_cast<void*>(GetProcAddress(kernel32, "GetTempPath2W")))
                               : nullptr;
  if (getTempPath2) return getTempPath2(static_cast<DWORD>(capacity), W(out));
  return GetTempPathW(static_cast<DWORD>(capacity), W(out));
}

uint32_t PlatformGetLastError() { return GetLastError(); }
void PlatformSetLastError(uint32_t code) { SetLastError(code); }

uint16_t PlatformGetSystemDefaultLangId() { return GetSystemDefaultLangID(); }

uint32_t PlatformLocalDate() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return now.wYear * 10000u + now.wMonth * 100u + now.wDay;
}

uint32_t PlatformGetEnvironmentVariable(const char16_t* name, char16_t* out, int capacity) {
  return GetEnvironmentVariableW(W(name), W(out), static_cast<DWORD>(capacity));
}

uint32_t PlatformGetWindowsDirectory(char16_t* out, int capacity) {
  return GetWindowsDirectoryW(W(out), static_cast<UINT>(capacity));
}
