// InstallContext: the user value of the install pass's extraction callback, one per run of
// the install sequence, zero-filled at its start. Everything the callback decides by is
// chosen before the pass starts (the unchecked languages), and what it reports goes through
// a function it is handed: the callback touches no window.
#pragma once
#include <cstdint>

#include "installation/uninstall_entry.h"
#include "localisation/language_code.h"
#include "system/platform.h"

// The languages the user left unchecked, whose language-bound entries are dropped.
constexpr int kMostUncheckedLanguages = 256;
// Staged files held open at once; a staging pass that writes more fails as for a file that
// cannot be created.
constexpr int kMostHeldFiles = 1024;


struct InstallContext {
  char16_t destination[260];      // where entries are written; the staging folder during staging
  char16_t mainProgram[32];       // file name the shortcuts start
  char16_t uninstaller[32];       // file name of the installed uninstaller, empty if none
  char16_t stagingRoot[260];      // the staging root while and after the staging attempt
  char16_t realDestination[260];  // the user's destination, kept while staging runs
  int refusal;                    // why the callback ended the pass: 0 none, -5 a target path
                                  // that does not fit, 3 an entry name that is unsafe
  uint64_t installedBytes;        // unpacked sizes of the entries this pass writes (the
                                  // uninstall entry's estimated size)
  LanguageCode unchecked[kMostUncheckedLanguages];
  int uncheckedCount;
  // Called with each target path before its entry is written (the status line); may be null.
  void (*showTarget)(void* user, const char16_t* target);
  void* showTargetUser;
  // Set for a pass into a staging folder of an elevated setup: each file written is held from
  // right after its writing until the move into place is over, so that no other process can
  // write it meanwhile (see HoldWrittenFile).
  bool holdWritten;
  char16_t writing[260];          // the file being written by the current entry, or empty
  FileHandle held[kMostHeldFiles];
  int heldCount;
  // A product that keeps its folders ("Folders=Keep"): each entry goes under its path below
  // the destination, and the folders it needs are made on the way.
  bool keepFolders;
  // The folders this installation created (a folder list, installation/uninstall_entry.h):
  // what the uninstaller may remove when they are empty. A staging pass notes only folders
  // that the real destination lacks.
  char16_t createdFolders[kCreatedFoldersCapacity];
};
