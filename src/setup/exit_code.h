// What one run of the setup came to, and the exit code a deployment tool reads for it
// (payload/deployment.h). One pure mapping, so that every way a run can end has its code in
// one table.
#pragma once

// How far the install sequence got.
enum InstallStep : int {
  kInstallNotRun = 0,      // the dialog was left before OK, or the scan failed
  kInstallDone,            // installed and registered
  kInstallNoDestination,   // no destination folder
  kInstallRefusedFolder,   // the Windows folder, or a path too long for the product
  kInstallPassFailed,      // the install pass (and any staging pass) ended with `pass`
  kInstallMoveFailed,      // the staged files could not be moved into place
};

struct SetupRunFacts {
  bool badCommandLine;  // the command line was not understood
  int scan;             // the scan pass's result (0 sound)
  bool cancelled;       // Cancel, Escape or the close box ended the dialog
  int step;             // an InstallStep
  int pass;             // the extraction result of the failed pass
  bool staged;          // the failed pass was the staging one
  bool diskFull;        // the payload verified intact after a failed pass: the copy fell short
};

// The deployment.h code for what happened.
int SetupExitCode(const SetupRunFacts& facts);
