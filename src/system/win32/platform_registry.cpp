// The registry on the real advapi32 calls, in the view of the program's own architecture (no
// KEY_WOW64_* flag): on a 64-bit system the 32-bit setup's HKLM\Software keys land in the
// registry's 32-bit view, as for any 32-bit installer, and the 64-bit setup's in the native one.
#include <windows.h>

#include "system/platform.h"

namespace {
HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }
LPCWSTR W(const char16_t* text) { return reinterpret_cast<LPCWSTR>(text); }
}  // namespace

long PlatformRegOpenKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key) {
  HKEY handle = nullptr;
  const LONG result = RegOpenKeyExW(RootKey(root), W(subKey), 0, access, &handle);
  *key = result == ERROR_SUCCESS ? handle : nullptr;
  return result;
}

long PlatformRegCreateKey(RegistryRoot root, const char16_t* subKey, uint32_t access, RegistryKey* key) {
  HKEY handle = nullptr;
  const LONG result = RegCreateKeyExW(RootKey(root), W(subKey), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                      nullptr, &handle, nullptr);
  *key = result == ERROR_SUCCESS ? handle : nullptr;
  return result;
}

long PlatformRegQueryValue(RegistryKey key, const char16_t* name, uint32_t* type, void* data, uint32_t* size) {
  DWORD valueType = 0;
  DWORD valueSize = size ? *size : 0;
  const LONG result = RegQueryValueExW(static_cast<HKEY>(key), W(name), nullptr, &valueType,
                                       static_cast<BYTE*>(data), size ? &valueSize : nullptr);
  if (type) *type = valueType;
  if (size) *size = valueSize;
  return result;
}

long PlatformRegSetValue(RegistryKey key, const char16_t* name, uint32_t type, const void* data, uint32_t size) {
  return RegSetValueExW(static_cast<HKEY>(key), W(name), 0, type, static_cast<const BYTE*>(data), size);
}

void PlatformRegCloseKey(RegistryKey key) {
  if (key) RegCloseKey(static_cast<HKEY>(key));
}
