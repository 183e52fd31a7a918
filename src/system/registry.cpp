// Registry values as text and numbers (see registry.h).
#include "system/registry.h"

#include "system/text.h"

void ReadRegistryText(RegistryRoot root, const char16_t* key, const char16_t* name, char16_t* out, int capacity) {
  out[0] = 0;
  RegistryKey handle = nullptr;
  if (PlatformRegOpenKey(root, key, kKeyRead, &handle) != 0) return;
  uint32_t size = static_cast<uint32_t>(capacity) * 2;
  uint32_t type = 0;
  if (PlatformRegQueryValue(handle, name, &type, out, &size) != 0) out[0] = 0;
  out[capacity - 1] = 0;
  PlatformRegCloseKey(handle);
}

bool ReadRegistryNumber(RegistryRoot root, const char16_t* key, const char16_t* name, uint32_t* number) {
  RegistryKey handle = nullptr;
  if (PlatformRegOpenKey(root, key, kKeyRead, &handle) != 0) return false;
  uint8_t bytes[4] = {};
  uint32_t size = sizeof bytes, type = 0;
  const long result = PlatformRegQueryValue(handle, name, &type, bytes, &size);
  PlatformRegCloseKey(handle);
  if (result != 0 || type != kRegDword || size != 4) return false;
  *number = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24;
  return true;
}

void SetRegistryText(RegistryKey key, const char16_t* name, const char16_t* text) {
  PlatformRegSetValue(key, name, kRegSz, text, static_cast<uint32_t>(TextLength(text)) * 2 + 2);
}

void SetRegistryNumber(RegistryKey key, const char16_t* name, uint32_t number) {
  const uint8_t bytes[4] = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
  PlatformRegSetValue(key, name, kRegDword, bytes, 4);
}
