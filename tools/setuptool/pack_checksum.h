// The image checksum of a finished setup: setuptool pack sums the whole file it has written
// (stub and archive) and puts the sum into the stub's CheckSum field, the last change before
// the file is renamed into place.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack_output.h"

// Sums the output's temporary file and writes the checksum into its header. `stub` is the
// stub as written (its headers say where the field is). False with `error` set.
bool WriteSetupChecksum(PackOutput& output, const std::vector<uint8_t>& stub, std::string& error);
