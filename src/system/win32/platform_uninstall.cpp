// The uninstaller's calls on the real kernel32, advapi32 and ole32: removing folders, keys
// and values, reading a shortcut's target, and the run from a copy of itself.
//
// The copy is started with the command line
//     "<copy>" /remove <pipe> <process> "<folder>"
// where <pipe> is the inherited write end of an anonymous pipe and <process> the original's
// process id, both in hexadecimal. The copy opens the original's process before it reports
// (the original is still waiting then, so the id cannot have been given to another process),
// writes one byte, the result, and waits for the original to end.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "system/arguments.h"
#include "system/platform.h"
#include "system/text.h"

namespace {

LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
LPWSTR W(char16_t* text) { return reinterpret_cast<LPWSTR>(text); }
HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

const char16_t kRemoveSwitch[] = u"/remove";

// What the copy keeps between PlatformCopyArguments and PlatformReportToOriginal.
HANDLE gReportPipe = nullptr;
HANDLE gOriginal = nullptr;

void AppendHex(uintptr_t value, char16_t* text, int capacity) {
  char16_t digits[2 * sizeof value + 2];
  int d = int(sizeof digits / sizeof digits[0]) - 1;
  digits[d] = 0;
  do {
    digits[--d] = u"0123456789abcdef"[value & 15];
    value >>= 4;
  } while (value);
  AppendText(u" ", text, capacity);
  AppendText(digits + d, text, capacity);
}

// Skips spaces, then reads a hexadecimal number; false when there is none.
bool ReadHex(const char16_t*& p, uintptr_t* value) {
  while (*p == u' ') ++p;
  uintptr_t v = 0;
  int n = 0;
  for (;; ++p, ++n) {
    const char16_t c = *p;
    const int digit = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
    if (digit < 0) break;
    v = v << 4 | uintptr_t(digit);
  }
  *value = v;
  return n > 0 && n <= int(2 * sizeof v);
}

// Reads `source` to its end and writes each piece to `copy`, or compares it with the same
// piece read from `compare`, which must then end where the source ends: false at the first
// failure or difference.
bool Transfer(HANDLE source, HANDLE copy, HANDLE compare) {
  char piece[8192], other[8192];
  for (;;) {
    DWORD got = 0, done = 0;
    if (!ReadFile(source, piece, sizeof piece, &got, nullptr)) return false;
    if (copy && got && (!WriteFile(copy, piece, got, &done, nullptr) || done != got)) return false;
    if (compare) {
      // Asking for one byte more than the piece shows a copy that is longer than the source.
      if (!ReadFile(compare, other, got + (got < sizeof other ? 1 : 0), &done, nullptr) || done != got) return false;
      for (DWORD i = 0; i < got; ++i)
        if (piece[i] != other[i]) return false;
    }
    if (got == 0) return true;
  }
}

}  // namespace

bool PlatformRemoveDirectory(const char16_t* path) { return RemoveDirectoryW(W(path)) != 0; }

long PlatformRegDeleteKey(RegistryRoot root, const char16_t* subKey) { return RegDeleteKeyW(RootKey(root), W(subKey)); }

long PlatformRegDeleteValue(RegistryKey key, const char16_t* name) {
  return RegDeleteValueW(static_cast<HKEY>(key), W(name));
}

bool PlatformRegKeyIsEmpty(RegistryRoot root, const char16_t* subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(RootKey(root), W(subKey), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD subKeys = 1, values = 1;
  const LONG result = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                       nullptr, nullptr, nullptr);
  RegCloseKey(key);
  return result == ERROR_SUCCESS && subKeys == 0 && values == 0;
}

long PlatformReadShellLink(const char16_t* linkPath, char16_t* target) {
  target[0] = 0;
  IShellLinkW* link = nullptr;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    reinterpret_cast<void**>(&link));
  if (FAILED(result)) return result;
  IPersistFile* file = nullptr;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
  if (SUCCEEDED(result)) {
    result = file->Load(W(linkPath), STGM_READ);
    if (SUCCEEDED(result)) result = link->GetPath(W(target), MAX_PATH, nullptr, SLGP_RAWPATH);
    file->Release();
  }
  link->Release();
  if (result != S_OK) target[0] = 0;  // S_FALSE: the link has no path
  return result == S_OK ? 0 : (result == S_FALSE ? long(E_FAIL) : long(result));
}

void PlatformSleep(uint32_t milliseconds) { Sleep(milliseconds); }

uint32_t PlatformTickCount() { return GetTickCount(); }

FileHandle PlatformCopyFileHeld(const char16_t* from, const char16_t* to) {
  HANDLE source = CreateFileW(W(from), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return nullptr;
  // Written with sharing for reading only: nobody else writes or deletes it meanwhile.
  HANDLE copy = CreateFileW(W(to), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  bool ok = copy != INVALID_HANDLE_VALUE && Transfer(source, copy, nullptr);
  if (copy != INVALID_HANDLE_VALUE) CloseHandle(copy);
  // The program cannot start from a file open for writing, so the copy is opened again, for
  // reading; whatever happened to it between the two handles shows in the comparison.
  HANDLE held = ok ? CreateFileW(W(to), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT, nullptr)
                   : INVALID_HANDLE_VALUE;
  ok = held != INVALID_HANDLE_VALUE && SetFilePointer(source, 0, nullptr, FILE_BEGIN) == 0 &&
       Transfer(source, nullptr, held);
  const DWORD error = ok ? 0 : GetLastError() ? GetLastError() : ERROR_FILE_INVALID;
  CloseHandle(source);
  if (ok) return held;
  if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
  SetLastError(error);
  return nullptr;
}

bool PlatformDeleteAtRestart(const char16_t* path) {
  return MoveFileExW(W(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

int PlatformRunCopy(const char16_t* copyPath, const char16_t* folder, const char16_t* switches) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);  // only the write end goes to the copy
  char16_t line[3 * kPathCapacity];
  line[0] = 0;
  AppendText(u"\"", line, 3 * kPathCapacity);
  AppendText(copyPath, line, 3 * kPathCapacity);
  AppendText(u"\" ", line, 3 * kPathCapacity);
  AppendText(kRemoveSwitch, line, 3 * kPathCapacity);
  AppendHex(uintptr_t(writeEnd), line, 3 * kPathCapacity);
  AppendHex(GetCurrentProcessId(), line, 3 * kPathCapacity);
  AppendText(u" \"", line, 3 * kPathCapacity);
  int fits = AppendText(folder, line, 3 * kPathCapacity);
  AppendText(u"\" ", line, 3 * kPathCapacity);
  if (fits == kTextDone) fits = AppendText(switches, line, 3 * kPathCapacity);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  const BOOL started = fits == kTextDone && CreateProcessW(W(copyPath), W(line), nullptr, nullptr, TRUE, 0,
                                                           nullptr, nullptr, &startup, &process);
  const DWORD error = started ? 0 : GetLastError();
  CloseHandle(writeEnd);  // from now on only the copy holds it: its end ends the read below
  int result = kCopyNotStarted;
  if (started) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    unsigned char byte = 0;
    DWORD read = 0;
    result = ReadFile(readEnd, &byte, 1, &read, nullptr) && read == 1 ? byte : kCopySilent;
  }
  CloseHandle(readEnd);
  if (!started) SetLastError(error ? error : ERROR_FILENAME_EXCED_RANGE);  // a line that did not fit
  return result;
}

bool PlatformCopyArguments(char16_t* folder, int capacity) {
  folder[0] = 0;
  const char16_t* p = SkipProgramName(reinterpret_cast<const char16_t*>(GetCommandLineW()));
  const int switchLength = TextLength(kRemoveSwitch);
  for (int i = 0; i < switchLength; ++i)
    if (p[i] != kRemoveSwitch[i]) return false;
  p += switchLength;
  uintptr_t pipe = 0, original = 0;
  if (!ReadHex(p, &pipe) || !ReadHex(p, &original)) return false;
  while (*p == u' ') ++p;
  if (*p++ != u'"') return false;
  int n = 0;
  for (; *p && *p != u'"'; ++p) {
    if (n + 1 >= capacity) return false;
    folder[n++] = *p;
  }
  folder[n] = 0;
  if (*p != u'"' || n == 0) return false;
  gReportPipe = reinterpret_cast<HANDLE>(pipe);
  gOriginal = OpenProcess(SYNCHRONIZE, FALSE, DWORD(original));
  return true;
}

void PlatformReportToOriginal(int result) {
  if (gReportPipe) {
    const unsigned char byte = static_cast<unsigned char>(result);
    DWORD written = 0;
    WriteFile(gReportPipe, &byte, 1, &written, nullptr);
    CloseHandle(gReportPipe);
    gReportPipe = nullptr;
  }
  if (gOriginal) {
    WaitForSingleObject(gOriginal, 30000);
    CloseHandle(gOriginal);
    gOriginal = nullptr;
  }
}
