// SetupState: the single global record of one run of the setup program.
//
// Written on the dialog's thread during start-up and the scan pass, read-only afterwards
// (the watcher thread reads the window class only once it is final). 8-bit fields are in
// the ANSI code page; every user converts them to wide text with that code page.
#pragma once
#include "localisation/language_table.h"

struct SetupState {
  void* icon;                        // icon resource 1, the dialog's class icon
  char languageCode[4];              // "US", "DE" or "IT", chosen once at start-up
  const LanguageTable* languageTable;  // every text lookup uses this table (not owned)
  char productId[4];                 // "ID": names the remembered-destination registry value
  char groupName[32];                // "Group", else the product name from FILE_ID.DIZ
  char windowClass[32];              // "Class", else a copy of the group name
  char mainProgram[32];              // "Exe": file name the shortcuts start
  char publisher[64];                // "Publisher": the uninstall entry's publisher; empty = ours
  char version[32];                  // the version of FILE_ID.DIZ's first line, or empty
  char16_t languageFilePrefix[32];   // from the first .LNG entry (its base name less 7 characters)
  char16_t modulePath[260];          // the program's own file, which is also the payload archive
  int unsafeEntries;                 // entries seen by the scan pass whose names cannot be
                                     // installed safely; any makes the payload damaged
};

// The one global reference; set by the entry for the whole run.
extern SetupState* gSetupState;
