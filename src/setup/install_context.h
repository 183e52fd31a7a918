// InstallContext: the user value of the install pass's extraction callback, one per run of
// the install sequence, zero-filled at its start. The program-group operation reads the
// destination folder, main program, uninstaller and staging root from it.
#pragma once
#include <cstdint>

#include "system/window.h"

struct InstallContext {
  WindowHandle dialog;            // the setup dialog (language list, status line)
  char16_t destination[260];      // where entries are written; the staging folder during staging
  char16_t mainProgram[32];       // file name the shortcuts start
  char16_t uninstaller[32];       // file name of the installed uninstaller, empty if none
  char16_t stagingRoot[260];      // the staging root while and after the staging attempt
  char16_t realDestination[260];  // the user's destination, kept while staging runs
  int refusal;                    // why the callback ended the pass: 0 none, -5 a target path
                                  // that does not fit, 3 an entry name that is unsafe
  uint64_t installedBytes;        // unpacked sizes of the entries this pass writes (the
                                  // uninstall entry's estimated size)
};
