// Registry values as the setup and the uninstaller store them: text with its terminator
// (REG_SZ) and 32-bit numbers (REG_DWORD), over the platform's registry calls.
#pragma once
#include <cstdint>

#include "system/platform.h"

constexpr uint32_t kRegDword = 4;  // REG_DWORD: four bytes, little-endian

// Reads a value as text into out (capacity in characters); empty when it cannot be read.
// A value that fills the buffer without a terminator is still terminated.
void ReadRegistryText(RegistryRoot root, const char16_t* key, const char16_t* name, char16_t* out, int capacity);
// Reads a REG_DWORD value; false when the key or value is missing or is not one.
bool ReadRegistryNumber(RegistryRoot root, const char16_t* key, const char16_t* name, uint32_t* number);
// Stores a REG_SZ value with its terminator (2 x length + 2 bytes) in an open key.
void SetRegistryText(RegistryKey key, const char16_t* name, const char16_t* text);
// Stores a REG_DWORD value in an open key.
void SetRegistryNumber(RegistryKey key, const char16_t* name, uint32_t number);
