// What a deployment tool sees of Setup.exe and UnInst.exe: the switches they take and the exit
// codes they end with. Written once for both programs and for setuptool manifest, which puts
// them into a winget manifest, so that what the manifest promises is what the programs do.
//
// Switches are case-insensitive and start with "/" or "-"; a value follows "=" and may be
// quoted ("/DIR="C:\Program Files\Tool""). Started without any argument, the setup asks
// through its dialog and always ends with kSetupSucceeded, whatever happens.
#pragma once

// The switches' names, without their "/" or "-".
constexpr char kSwitchSilent[] = "SILENT";          // no questions; a small progress window
constexpr char kSwitchVerySilent[] = "VERYSILENT";  // nothing on the screen at all
constexpr char kSwitchDir[] = "DIR";                // =folder: the destination
constexpr char kSwitchTasks[] = "TASKS";            // =group,desktop,quicklaunch: the shortcuts
constexpr char kSwitchLanguages[] = "LANGUAGES";    // =FR,IT: the language files by code
constexpr char kSwitchLog[] = "LOG";                // =file: a UTF-8 log of the run
constexpr char kSwitchHelp[] = "HELP";              // also "/?": the switches and exit codes

// The names /TASKS takes.
constexpr char kTaskGroup[] = "group";
constexpr char kTaskDesktop[] = "desktop";
constexpr char kTaskQuickLaunch[] = "quicklaunch";

// Setup.exe's exit codes whenever a switch was given.
constexpr int kSetupSucceeded = 0;
constexpr int kSetupBadCommandLine = 1;   // a switch not known, a value missing or unusable:
                                          // nothing was written
constexpr int kSetupDamaged = 2;          // the payload failed its check: nothing was written
constexpr int kSetupCancelled = 3;        // Cancel, Escape or the close box
constexpr int kSetupDestinationFailed = 4;  // the destination cannot be created or written
                                            // (the Windows folder, a path too long, no rights)
constexpr int kSetupDiskFull = 5;         // the payload is sound but did not fit on the disk
constexpr int kSetupFilesInUse = 6;       // files in use stayed even after staging
constexpr int kSetupOutOfMemory = 7;      // no memory for the decoder's window or a buffer
constexpr int kSetupFailed = 8;           // any other failure

// UnInst.exe's exit codes (with or without switches): 0 removed, 1 the user said No, 2 no
// sound removal record, 3 files in use stayed, 4 no safe copy could do the work
// (uninstall/uninstall_main.h names them).
