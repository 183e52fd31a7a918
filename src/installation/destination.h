// The destination folder of an installation: what the setup proposes, what it remembers for
// the next run (HKEY_CURRENT_USER\Software\Korvane, a value named by the product id), what the
// uninstaller forgets, and the rules that keep a stored or typed folder out of the system's
// own. The setup writes and the uninstaller removes; both pass the product facts and folders.
#pragma once
#include "payload/product_facts.h"

// The per-user key of the remembered folders: one value per product id.
extern const char16_t kRememberedKey[];

// The proposed folder: for an update, the folder the uninstall entry of the group names
// ("InstallLocation", written by an elevated setup); else the remembered one as stored;
// else the program-files folder with the group name appended; empty when nothing gives a
// folder. A stored folder is proposed only when it is a usable remembered folder (below):
// any process of the user can write the remembered value, and the setup runs elevated.
void DefaultDestination(const ProductFacts& facts, char16_t* out, int capacity);
// HKLM\Software\Microsoft\Windows\CurrentVersion\ProgramFilesDir, or the empty text.
void ReadProgramFilesDir(char16_t* out, int capacity);
// Remembers the folder under the product id; nothing when either is empty.
void SaveDestination(const char* productId, const char16_t* folder);
// Deletes the remembered folder of the product id when it names this folder, and the shared
// key once no product's value is left in it.
void ForgetDestination(const char* productId, const char16_t* folder);

// A folder a stored value may propose: an absolute local path ("C:\..."), without "." or
// ".." components, outside the Windows folder, through no link or junction that exists.
bool IsUsableRememberedFolder(const char16_t* path);
// Whether a destination, made absolute, is the Windows folder or lies inside it: no product
// is installed there (it would replace the system's files, or be run in their place).
bool IsInsideWindowsFolder(const char16_t* path);
