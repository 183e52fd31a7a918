// A DLL planted beside the setup under the name of a system DLL, as an attacker would leave
// one in a download folder. When any process loads it, DllMain appends one line to a marker
// file beside it ("<this DLL's path>.loaded"): the path of the program that loaded it. The
// planting scenario then looks for markers. It exports nothing and depends on kernel32 alone
// (no runtime library), so loading it pulls in nothing else.
#include <windows.h>

namespace {

// Appends `text` (wide, terminated) to the marker as UTF-16.
void AppendToMarker(const wchar_t* markerPath, const wchar_t* text) {
  HANDLE file = CreateFileW(markerPath, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text, DWORD(lstrlenW(text) * sizeof(wchar_t)), &written, nullptr);
  WriteFile(file, L"\n", sizeof(wchar_t), &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI PlantedDllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH + 8];
  DWORD n = GetModuleFileNameW(self, marker, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return TRUE;
  lstrcpyW(marker + n, L".loaded");
  wchar_t program[MAX_PATH];
  if (GetModuleFileNameW(nullptr, program, MAX_PATH) == 0) lstrcpyW(program, L"?");
  AppendToMarker(marker, program);
  return TRUE;
}
