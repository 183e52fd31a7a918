// What setuptool test says about a setup beyond its archive: whether it is signed (an
// Authenticode certificate table behind the archive, which the stub's headers point to),
// whether its image checksum is that of the file, and whether bytes follow the archive that
// are neither the signature nor the zero padding around it: they would belong to nobody.
#pragma once
#include <string>

#include "report.h"

// Prints "signed ..." or "unsigned" and warnings to stderr. Nothing for a bare archive.
void ReportSignature(const ArchiveFile& archive, const std::string& shownFile);
