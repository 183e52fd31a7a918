// The destination folder: the proposal at dialog start, the folder browser, creation with
// missing parents, the remembered folder of the last installation in the per-user registry
// (HKEY_CURRENT_USER\Software\Korvane, value named by the product id), and the rules that
// keep a stored or typed folder out of the system's own.
#pragma once
#include "system/platform.h"
#include "system/window.h"

// The per-user key of the remembered folders: one value per product id.
extern const char16_t kRememberedKey[];

// Reads a value as text into out (capacity in characters); empty when it cannot be read.
// A value that fills the buffer without a terminator is still terminated.
void ReadRegistryText(RegistryRoot root, const char16_t* key, const char16_t* name, char16_t* out, int capacity);

// Results of CreateDirectories.
constexpr int kCreateDone = 0;          // created, with any missing parents
constexpr int kCreateFailed = 2;        // failed for another reason (it exists, say), or no parent to climb to
constexpr int kCreateParentsOnly = 3;   // the parents were made but the folder itself was not

// The proposed folder: for an update, the folder the uninstall entry of the group names
// ("InstallLocation", written by an elevated setup); else the remembered one as stored;
// else the program-files folder with the group name appended; empty when nothing gives a
// folder. A stored folder is proposed only when it is a usable remembered folder (below):
// any process of the user can write the remembered value, and the setup runs elevated.
void DefaultDestination(char16_t* out, int capacity);
// A folder a stored value may propose: an absolute local path ("C:\..."), without "." or
// ".." components, outside the Windows folder, through no link or junction that exists.
bool IsUsableRememberedFolder(const char16_t* path);
// Whether a destination, made absolute, is the Windows folder or lies inside it: no product
// is installed there (it would replace the system's files, or be run in their place).
bool IsInsideWindowsFolder(const char16_t* path);
// HKLM\Software\Microsoft\Windows\CurrentVersion\ProgramFilesDir, or the empty text.
void ReadProgramFilesDir(char16_t* out, int capacity);
// Remembers the folder under the product id; nothing when either is empty.
void SaveDestination(const char16_t* folder);
// The shell's folder browser, pre-selecting the folder in the edit field (or its parent);
// a chosen folder replaces the edit field's text.
void BrowseForDestination(WindowHandle dialog, int editId);
int CreateDirectories(const char16_t* path);
