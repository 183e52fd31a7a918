// The stub setuptool pack puts in front of the archive: read from a regular file (a FIFO
// or a device is refused before anything is read from it, a folder too) and checked to be
// a complete, unsigned 32-bit Windows program (pack/stub_image.h).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Reads the stub at `path` into `stub`. A stub larger than the setup program allows is not
// read: `stub` stays empty and `size` tells its size, for the payload check to refuse.
// Returns false with `error` set when the file cannot serve as a stub.
bool ReadStub(const std::string& path, std::vector<uint8_t>& stub, uint64_t& size, std::string& error);
