// The uninstaller's run, from its start by the registered "UninstallString" to its exit code.
//
// Started without arguments from the installation folder, it asks first (with /SILENT or
// /VERYSILENT it neither asks nor shows the outcome), then copies itself
// into a fresh folder of its own under the temporary folder, starts the copy and waits for
// its result. The copy removes the installation, shows the outcome, hands the result to the
// original and, once the original has ended, deletes the original's file and the folder
// when empty. Its own file and folder cannot go while it runs: both are marked for deletion
// at the next restart. Only the copy's own path and the folder it created itself are so
// marked (a folder is removed at restart only when empty), so no file of the user's can
// be reached.
//
// The program runs with administrator rights, and the temporary folder is the user's: the
// copy's folder is one an elevated program can trust (system/trusted_folder.h: a random name,
// created afresh, a protected DACL, held open), and the copy is held from its writing until it
// has run, so that no process of the user can swap it or plant a file beside it. An elevated
// original that cannot make such a copy, or whose copy ends without reporting, removes nothing
// and says why (the system's text for the error, exit code kUninstallNoCopy). Only an original
// that does not run elevated, and so crosses no boundary, removes everything but itself when
// no copy can start, and marks its own file for deletion at restart.
#pragma once

// Exit codes.
constexpr int kUninstallSucceeded = 0;
constexpr int kUninstallDeclined = 1;   // the user said No
constexpr int kUninstallDamaged = 2;    // no sound removal record: nothing removed
constexpr int kUninstallIncomplete = 3; // files in use stayed; so did the uninstall entry
constexpr int kUninstallNoCopy = 4;     // no safe copy could do the work, or the copy ended
                                        // without reporting: the original removed nothing

// The run, from the program's whole command line (its name first).
int UninstallMain(const char16_t* commandLine);
