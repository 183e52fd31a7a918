// System error texts and message boxes on the real kernel32 and user32 calls.
#include <windows.h>

#include "system/platform.h"

uint32_t PlatformFormatSystemMessage(uint32_t code, char16_t** text) {
  LPWSTR buffer = nullptr;
  const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
  *text = reinterpret_cast<char16_t*>(buffer);
  return length;
}

void PlatformLocalFree(void* memory) { LocalFree(memory); }

WindowHandle PlatformGetActiveWindow() { return GetActiveWindow(); }

int PlatformMessageBox(WindowHandle owner, const char16_t* text, const char16_t* caption, unsigned type) {
  return MessageBoxW(static_cast<HWND>(owner), reinterpret_cast<LPCWSTR>(text),
                     reinterpret_cast<LPCWSTR>(caption), type);
}
