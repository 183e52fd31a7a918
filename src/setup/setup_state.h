// SetupState: the single global record of one run of the setup program.
//
// Written on the dialog's thread during start-up and the scan pass, read-only afterwards
// (the watcher thread reads the window class only once it is final); only `outcome` is
// written later, as the run ends, and read once the dialog has gone. 8-bit fields are in
// the ANSI code page; every user converts them to wide text with that code page.
#pragma once
#include "localisation/language_table.h"
#include "payload/product_facts.h"
#include "setup/command_line.h"
#include "setup/exit_code.h"

struct SetupState {
  void* icon;                        // icon resource 1, the dialog's class icon
  char languageCode[4];              // "US", "DE" or "IT", chosen once at start-up
  const LanguageTable* languageTable;  // every text lookup uses this table (not owned)
  ProductFacts facts;                // from the .INF and FILE_ID.DIZ; the window class becomes
                                     // a copy of the group name when the .INF gives none
  char16_t languageFilePrefix[32];   // from the first .LNG entry (its base name less 7 characters)
  char16_t languageFileFolder[260];  // the first .LNG entry's folder in the archive, or empty:
                                     // where a product that keeps its folders has its language files
  char16_t modulePath[260];          // the program's own file, which is also the payload archive
  int unsafeEntries;                 // entries seen by the scan pass whose names cannot be
                                     // installed safely; any makes the payload damaged
  int unsafePaths;                   // entries, folders included, with a folder component that
                                     // cannot be created: damage only when folders are kept
  int longestPath;                   // characters of the longest entry path that may be written
                                     // (the path limit of a product that keeps its folders)
  uint64_t payloadBytes;             // unpacked sizes of every entry the scan pass met
  SetupOptions options;              // the command line, read at start-up
  SetupRunFacts outcome;             // what the run came to: the exit code's facts
};

// The one global reference; set by the entry for the whole run.
extern SetupState* gSetupState;
