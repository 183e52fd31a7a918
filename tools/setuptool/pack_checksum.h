// The image checksum of a finished setup: setuptool pack sums the whole file it has written
// (stub and archive) and puts the sum into the stub's CheckSum field, the last change before
// the file is renamed into place.
#pragma once
#include <string>

#include "image/stub_image.h"
#include "pack_output.h"

// Sums the output's temporary file and writes the checksum into its header. `stub` is the
// stub as written (its layout says where the field is). False with `error` set.
bool WriteSetupChecksum(PackOutput& output, const StubImage& stub, std::string& error);
