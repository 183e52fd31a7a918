// What setuptool test says about a setup beyond its archive: whether it is signed (an
// Authenticode certificate table behind the archive, which the stub's headers point to),
// whether its image checksum is that of the file, and whether bytes follow the archive that
// are neither the signature nor the zero padding around it: they would belong to nobody.
//
// "signed" needs more than a directory entry pointing behind the archive: the bytes it names
// must read as a certificate table, entries of PKCS#7 signed data one after the other, or
// anything appended and named by the entry (another setup, say) would pass for a signature.
#pragma once
#include <cstdint>
#include <string>

#include "report.h"

// Prints "signed ..." or "unsigned" and warnings to stderr. Nothing for a bare archive.
// `summary`: the archive's place, from a walk over all its headers (or a run's own walk).
void ReportSignature(const ArchiveFile& archive, const ArchiveSummary& summary, const std::string& shownFile);

// Why a setup is not signed as pack --sign needs it, or "" when it is: its headers name a
// sound certificate table behind the archive that ends the file (only zero bytes between
// archive and table). `tableBytes` gets the table's size.
std::string SetupSignatureProblem(const ArchiveFile& archive, uint32_t* tableBytes);
