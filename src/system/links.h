// Shortcut files (.lnk), written by the shell's link object.
#pragma once

constexpr int kShowCommand = 5;  // SW_SHOW

// Writes a shortcut file (target, working directory, show command 5); the link object's last
// result.
long CreateShellLink(const char16_t* linkPath, const char16_t* target, const char16_t* workingDirectory);
// <folder>\<name>.lnk to the target, working in the target's folder; nothing when the folder
// is empty (the system could not supply it) or the name is.
void CreateLinkInFolder(const char16_t* folder, const char16_t* target, const char16_t* name);
