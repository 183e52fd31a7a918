// The uninstaller's switches (payload/deployment.h): /SILENT and /VERYSILENT remove without
// the question and without the final message, /LOG="file" writes a log of the run. Anything
// else on the command line is passed over, as the uninstaller always has: the copy's own
// arguments come first on its line, the original's switches after them.
#pragma once
#include "system/text.h"

struct UninstallOptions {
  bool quiet;                     // /SILENT or /VERYSILENT
  char16_t log[kPathCapacity];    // /LOG, empty when not given
  const char16_t* switches;       // the arguments as given, for the copy's command line
};

// Reads the options from a whole command line (the program's name first).
void ReadUninstallOptions(const char16_t* commandLine, UninstallOptions* options);
