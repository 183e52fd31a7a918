// What setuptool manifest reads from a finished setup: which Windows its program is for, its
// version record, the product facts of its payload as the setup's scan pass reads them, the
// product description's text, and the SHA-256 of the whole file.
#pragma once
#include <string>

#include "payload/product_facts.h"
#include "report.h"

struct SetupSource {
  std::string architecture;     // "x86" or "x64"
  std::string recordVersion;    // the version record's ProductVersion (UTF-8), or empty
  ProductFacts facts = {};      // from FILE_ID.DIZ and the .INF, in the archive's code page
  std::string description;      // FILE_ID.DIZ's text as stored, or empty
  std::string sha256;           // of the whole file, upper-case hexadecimal
};

// Reads the setup in `archive` (opened by OpenArchiveFile), decoding every entry so that a
// damaged payload is refused. False with `error` set when the file is no setup program for
// x86 or x64 Windows with a sound archive.
bool ReadSetupSource(const ArchiveFile& archive, SetupSource* source, std::string* error);
