// A fresh folder under the temporary folder that an elevated program can trust with files it
// will run or move afterwards (the uninstaller's copy, the setup's staging folder).
//
// The temporary folder belongs to the user: every process of the user, elevated or not, may
// create, rename and replace what lies in it. A folder made there by an elevated program with
// the default security inherits the user's full control, so a process of the user could swap
// a file in it between its writing and its use, and have its own program run with
// administrator rights. So, when the program runs elevated, the folder is
//   - named from the system's cryptographic random generator, and created, never found: an
//     existing name (a folder, a file, a link someone planted) is passed over for a new one,
//     and creation never follows a link;
//   - given a protected DACL (no inherited entries): SYSTEM and Administrators have full
//     control, the user read and execute only, for the folder and all it will hold;
//   - held open without delete sharing from its creation until its use is over, so that
//     nobody can rename it away and put another folder in its place; the handle's own view
//     of it must show a folder that is no reparse point.
// When any of this fails, no folder is made: an elevated program never falls back to an
// unprotected one. A program that does not run elevated crosses no boundary, so it keeps the
// plain numbered folder (MakeTempFolderName).
#pragma once
#include <cstdint>

#include "system/platform.h"
#include "system/text.h"

// Folder names tried before giving up: a second random name can meet an existing folder only
// when something plants names as fast as they are drawn.
constexpr int kTrustedFolderAttempts = 4;
// Random bytes in a folder's name, written as twice as many hexadecimal digits.
constexpr int kTrustedNameBytes = 8;

struct TrustedFolder {
  char16_t path[kPathCapacity];  // the folder, no separator at its end; empty when none
  FileHandle handle;             // held while the folder is in use (elevated only), or none
  bool elevated;                 // the program runs elevated: the folder is protected, and
                                 // nothing may fall back to an unprotected place
};

// The DACL of a protected folder for the user of that SID text, as SDDL; false when it does
// not fit. OICI: files and folders created inside inherit each entry; 0x1200a9 is read and
// execute (FILE_GENERIC_READ | FILE_GENERIC_EXECUTE).
bool ProtectedFolderSddl(const char16_t* userSid, char16_t* out, int capacity);

// Makes the folder as described above and fills `folder`: 0, or a Windows error code (the
// folder's path is then empty and no handle is held).
uint32_t MakeTrustedFolder(TrustedFolder* folder);
// Lets the folder go (closes its handle); the folder and its content stay.
void ReleaseTrustedFolder(TrustedFolder* folder);
