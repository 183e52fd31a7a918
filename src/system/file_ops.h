// File operations beyond extraction: a fresh folder under the temporary folder, and the
// shell's move and delete of folder trees.
#pragma once
#include "system/window.h"

// Creates a fresh folder under the user's temporary folder: its name is the temporary
// folder, a backslash and the first counter (1, 2, ... in lower-case hexadecimal) whose
// folder could be created; a name that exists already is passed over. Empty when no folder
// could be created (no temporary folder, or a failure other than an existing name).
void MakeTempFolderName(char16_t* out, int capacity);
// Moves a file or folder tree with the shell, without confirmations: 0 on success, -1 when
// the shell failed, the user cancelled, or the source is still there afterwards.
int ShellMove(WindowHandle owner, const char16_t* source, const char16_t* target);
// Deletes a file or folder tree with the shell (not into the recycle bin); reports nothing.
void ShellDeleteTree(const char16_t* path);
// From now on the shell's moves and deletes show nothing at all: no progress, no
// confirmation, no error box (a run without anything on the screen).
void MakeShellOperationsQuiet();
