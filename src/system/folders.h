// Folders: creating one with its missing parents, the shell's special folders (desktop,
// Start Menu programs, application data, Quick Launch), and the shell's folder browser.
#pragma once
#include "system/window.h"

// Results of CreateDirectories.
constexpr int kCreateDone = 0;          // created, with any missing parents
constexpr int kCreateFailed = 2;        // failed for another reason (it exists, say), or no parent to climb to
constexpr int kCreateParentsOnly = 3;   // the parents were made but the folder itself was not
int CreateDirectories(const char16_t* path);

// CSIDL numbers of the special folders used here.
constexpr int kFolderDesktop = 0;          // CSIDL_DESKTOP
constexpr int kFolderPrograms = 2;         // CSIDL_PROGRAMS: the user's Start Menu programs
constexpr int kFolderCommonPrograms = 23;  // CSIDL_COMMON_PROGRAMS: all users' programs
constexpr int kFolderAppData = 26;         // CSIDL_APPDATA

// The path of a special folder into a buffer of 260 characters; empty when unknown.
void SpecialFolderPath(int csidl, char16_t* out);
// <application data>\Microsoft\Internet Explorer\Quick Launch, or empty.
void QuickLaunchFolder(char16_t* out, int capacity);
// Whether the Quick Launch folder is known and exists.
bool QuickLaunchAvailable();

// The shell's folder browser, pre-selecting the folder in the edit field (or its parent);
// a chosen folder replaces the edit field's text.
void BrowseForDestination(WindowHandle dialog, int editId);
