// The stub setuptool pack puts in front of the archive: read from a regular file (a FIFO
// or a device is refused before anything is read from it, a folder too) and checked to be
// a complete, unsigned Windows program of the setup's architecture (image/stub_image.h). The
// headers are read here once; the rewriting of its resources and the setup's checksum take
// their layout.
#pragma once
#include <cstdint>
#include <string>

#include "image/stub_image.h"

// Reads the stub at `path` into `stub`, for a setup of the architecture `wanted`. A stub
// larger than the setup program allows is not read: `stub` stays empty and `size` tells its
// size, for the payload check to refuse. Returns false with `error` set when the file cannot
// serve as a stub (a program of the other architecture: with the --arch that takes it).
bool ReadStub(const std::string& path, PeArchitecture wanted, StubImage& stub, uint64_t& size, std::string& error);
