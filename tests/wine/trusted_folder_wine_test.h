// Checks of the folders an elevated program trusts on the real calls, and the tools the
// end-to-end scenarios use to look at them from another process (see the .cpp file).
#pragma once
#include <windows.h>

// The folder's rules on the Windows layer: names, the DACL read back, what its handles stop.
// This program's file is copied as the uninstaller copies itself.
void CheckTrustedFolders();
// --sddl PATH: prints the DACL of a file or folder as SDDL; 0, or 1 when it cannot be read.
int PrintDaclSddl(const wchar_t* path);
// --elevation: prints whether this process runs elevated, and its token's elevation type.
int PrintElevation();
// --swap FOLDER NAME MS: watches FOLDER for a new sub-folder holding a file NAME for up to MS
// milliseconds and tries to put this program in its place; prints what it met. 0 when found.
int WatchAndSwap(const wchar_t* folder, const wchar_t* name, DWORD milliseconds);
// Started in place of the uninstaller's copy (its first argument is /remove): writes the
// command line and its elevation to C:\swapped-copy-ran.txt and ends without reporting.
int RecordSwappedRun();
