// Every entry of a setup's archive decoded and verified as the setup's scan pass does it (the
// same ExtractArchive, each entry judged as a memory entry; only an uninstaller's bytes are
// kept), and judged as extract judges it
// (entry_verdict.h): header checksums, sizes and volumes too. setuptool test runs it on the
// file it is given; setuptool pack --sign runs it on the setup the signing command gave back.
#pragma once
#include <cstddef>
#include <string>

#include "report.h"

struct ArchiveCheck {
  size_t verified = 0;
  bool hasUninstaller = false;     // an entry is the payload's UnInst.exe (any folder, any case)
  bool uninstallerSigned = false;  // the last such entry ends in a sound certificate table
  ArchiveSummary summary;          // where the archive lies, as the run's own walk found it
};

// Decodes and verifies every entry of `archive`, printing "ok SIZE NAME" for each when
// `printEntries`. False when an entry or the archive fails, with the failure printed as
// "setuptool COMMAND: WHERE: PROBLEM" (WHERE: the entry, else `shownFile`). When true,
// `check->summary` holds what a walk over the archive's headers would have found.
bool CheckArchiveEntries(const char* command, const ArchiveFile& archive, const std::string& shownFile,
                         bool printEntries, ArchiveCheck* check);
