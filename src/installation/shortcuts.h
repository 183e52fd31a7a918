// The shortcuts of an installation: the program group in the Start Menu with the main program
// and the uninstaller, the desktop and Quick Launch shortcuts named by the group, written by
// the setup; and their removal by the uninstaller, which touches only shortcuts that point
// into the installation and a group folder the setup created.
#pragma once
#include "system/window.h"

// The installed files a program group names.
struct InstalledFiles {
  const char16_t* folder;       // the installation folder (the staging folder's final place)
  const char16_t* mainProgram;  // file name the group's first entry starts
  const char16_t* uninstaller;  // file name of the installed uninstaller, empty if none
  const char16_t* stagingRoot;  // the staging root when the installation went through it, else empty
};

// <desktop>\<name>.lnk and <Quick Launch>\<name>.lnk to the target, working in its folder.
void CreateDesktopLink(const char16_t* target, const char16_t* name);
void CreateQuickLaunchLink(const char16_t* target, const char16_t* name);
// <group folder>\<entry name>.lnk to <destination>\<target file>, working in the destination.
void AddGroupEntry(const char16_t* entryName, const char16_t* destination, const char16_t* targetFile,
                   const char16_t* groupFolder);
// The program group in the Start Menu (all users', else the user's) with the main program and
// the uninstaller; built in the staging root and moved into place when the installation went
// through it. A group folder that exists already is left untouched. Returns the CSIDL of the
// programs folder in which it created the group's folder, or 0 when it created none.
int CreateProgramGroup(WindowHandle owner, const char16_t* group, const InstalledFiles& files);

// Deletes the group's shortcuts (all users' and the user's programs, the desktop, Quick Launch)
// that point into the folder, and the group's folder when the uninstall entry records that the
// setup created it and nothing else is left in it.
void RemoveShortcuts(const char16_t* group, const char16_t* folder);
