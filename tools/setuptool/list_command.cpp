// setuptool list FILE: one line per entry of the archive.
#include <cstdio>
#include <string>

#include "commands.h"
#include "report.h"

namespace {

const char kHelp[] =
    "Usage: setuptool list FILE\n"
    "\n"
    "Lists the entries of the RAR 2.x archive in FILE, which may be a bare archive or a\n"
    "setup program with the archive appended. One line per entry: unpacked size, packed\n"
    "size, method, CRC-32, flags and name. Flags: solid, dir (directory), label (volume\n"
    "label), encrypted, from-previous-volume, to-next-volume, old-method (not decodable),\n"
    "damaged-header (header checksum mismatch).\n";

}  // namespace

int RunListCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "setuptool list: expected one FILE\n\n%s", kHelp);
    return kExitUsage;
  }
  ArchiveListing listing;
  const ListingStatus status = ReadArchiveListing(argv[1], &listing);
  if (status != ListingStatus::kOk) {
    std::fprintf(stderr, "setuptool list: %s: %s\n", argv[1], ListingError(status));
    return ListingExitCode(status);
  }
  std::printf("Archive at offset %d of %s\n", listing.archiveOffset, argv[1]);
  PrintEntryHeading(stdout);
  uint64_t size = 0, packed = 0;
  for (const EntryInfo& e : listing.entries) {
    PrintEntryLine(stdout, e);
    size += e.unpackedSize;
    packed += e.packedSize;
  }
  std::printf("%zu entries, %llu bytes, %llu packed\n", listing.entries.size(),
              static_cast<unsigned long long>(size), static_cast<unsigned long long>(packed));
  if (listing.mainHeaderDamaged)
    std::fprintf(stderr, "setuptool list: warning: the main header's checksum does not match\n");
  return kExitOk;
}
