// The scan pass: one extraction run over the whole payload at the dialog's start. Every
// entry is decoded into memory, so every checksum is verified before anything is installed;
// the product description, the installation description and the language files are read
// from it, and every entry name is checked for names that must never become files.
#pragma once
#include <cstdint>

#include "payload/entry_rules.h"
#include "system/window.h"

// ScanEntryKind, the code the scan callback writes into the first character of an entry's
// name, is one of the payload rules (payload/entry_rules.h).

// Result of a scan pass whose archive was intact but named an entry that cannot be installed
// safely, or gave product facts that break their rule (the same code as a checksum
// mismatch: the payload is damaged).
constexpr int kScanUnsafeName = 3;

// Runs the scan pass over the archive at the module path with the dialog as callback value.
// Returns the run's result, or kScanUnsafeName when the run succeeded but an entry name was
// unsafe or the product facts break their rule.
int ScanPayload(WindowHandle dialog);
// The scan pass's ExtractCallback; always 0.
int ScanCallback(char16_t* name, const uint8_t* data, uint32_t size, void* dialog);
// Fills product id, group name, window class, main program and publisher from an installation
// description.
void ParseSetupInfo(const char* text);
// Product name and version from a product description: window title, control 1001 with its
// font, the state's version, and the group name when still empty.
void ApplyDescription(WindowHandle dialog, const char* text);
