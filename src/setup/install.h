// The install sequence: OK's second extraction run, into the destination folder (or, when a
// file there cannot be created, through a staging folder), then the registry value, the
// uninstall entry, the shortcuts and the final message.
#pragma once
#include <cstdint>

#include "setup/language_list.h"
#include "system/window.h"

// The LanguageCode an entry is bound to (prefix "_" code "." ...), or 0 for none. prefixLength
// is the length of the language-file prefix; only codes of at most 4 characters count.
LanguageCode EntryLanguageCode(const char16_t* name, int prefixLength);

// The install pass's ExtractCallback (value: the InstallContext). Leaves the target path in
// the name buffer, or the empty text for an entry that is decoded and dropped.
int InstallCallback(char16_t* name, const uint8_t* data, uint32_t size, void* context);

// The install sequence for OK. 0 on success, and the dialog closes; anything else leaves
// it open. -1 for an empty destination or a failed move from the staging folder (the same
// code as an extraction run without memory for a copy buffer: the dialog treats both
// alike); -5 when a file cannot be created even in the staging folder; another extraction
// result otherwise (3 a checksum, 9 no memory for the window, ...), reported as a damaged
// download.
int RunInstall(WindowHandle dialog);

// Error code of the message for a payload that is intact but could not be written out
// (ERROR_DISK_FULL): shown instead of the damaged-download message.
constexpr uint32_t kErrorDiskFull = 112;
