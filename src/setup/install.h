// The install sequence: OK's second extraction run, into the destination folder (or, when a
// file there cannot be created, through a staging folder), then the registry value, the
// uninstall entry, the shortcuts and the final message.
#pragma once
#include <cstdint>

#include "system/window.h"

// The install sequence for OK. 0 on success, and the dialog closes; anything else leaves
// it open. -1 for an empty destination or a failed move from the staging folder (the same
// code as an extraction run without memory for a copy buffer: the dialog treats both
// alike); -5 when a file cannot be created even in the staging folder; another extraction
// result otherwise (3 a checksum, 9 no memory for the window, ...), reported as a damaged
// download.
int RunInstall(WindowHandle dialog);

// PSAPI.DLL in the folder becomes KVPSAPI.DLL; nothing changes when there is none or the new
// name is taken.
void MoveOldPsapiAside(const char16_t* destination);

// Error code of the message for a payload that is intact but could not be written out
// (ERROR_DISK_FULL): shown instead of the damaged-download message.
constexpr uint32_t kErrorDiskFull = 112;
