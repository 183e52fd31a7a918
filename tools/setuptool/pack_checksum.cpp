// The image checksum of a finished setup (see pack_checksum.h).
#include "pack_checksum.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "image/pe_checksum.h"
#include "image/pe_image.h"
#include "terminal_text.h"

bool WriteSetupChecksum(PackOutput& output, const StubImage& stub, std::string& error) {
  const PeLayout& layout = stub.layout;
  const std::string failed = "cannot write " + TerminalText(output.temp) + ": ";
  if (std::fflush(output.file) != 0) {
    error = failed + std::strerror(errno);
    return false;
  }
  const int fd = fileno(output.file);
  PeChecksum checksum;
  StartPeChecksum(&checksum, layout.checksumField);
  std::vector<uint8_t> piece(1 << 20);
  for (off_t at = 0;;) {
    const ssize_t got = pread(fd, piece.data(), piece.size(), at);
    if (got < 0) {
      error = "cannot read back " + TerminalText(output.temp) + ": " + std::strerror(errno);
      return false;
    }
    if (got == 0) break;
    AddPeChecksum(&checksum, piece.data(), size_t(got));
    at += got;
  }
  uint8_t field[4];
  PePut32(field, FinishPeChecksum(&checksum));
  if (pwrite(fd, field, sizeof field, off_t(layout.checksumField)) != ssize_t(sizeof field)) {
    error = failed + std::strerror(errno);
    return false;
  }
  return true;
}
