// setuptool list FILE: one line per entry of the archive, printed as the headers are read.
#include <cstdio>
#include <string>

#include <vector>

#include "commands.h"
#include "list_installed.h"
#include "report.h"
#include "stub_report.h"
#include "terminal_text.h"

namespace {

const char kHelp[] =
    "Usage: setuptool list FILE\n"
    "\n"
    "Lists the entries of the RAR 2.x archive in FILE, which may be a bare archive or a\n"
    "setup program with the archive appended; for a setup, the line after the archive's\n"
    "offset says which Windows its program is for (\"setup program for x86 (32-bit)\n"
    "Windows\" or \"... for x64 (64-bit) Windows\"). One line per entry: unpacked size, packed\n"
    "size, method, CRC-32, flags and name. Flags: solid, dir (directory), label (volume\n"
    "label), encrypted, from-previous-volume, to-next-volume, old-method (not decodable),\n"
    "damaged-header (header checksum mismatch). Control characters in names are shown as\n"
    "\\xNN. Exit status 0 when the archive was listed (warnings go to standard error), 1 when\n"
    "FILE holds no archive, 2 when FILE cannot be read. Below the entries: where the setup\n"
    "writes the files that lie in folders (flat under their file names, unless the .INF says\n"
    "Folders=Keep).\n";

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
  const std::string shown = TerminalText(argv[1]);
  ArchiveFile archive;
  if (!OpenArchiveFile("list", argv[1], &archive)) return kExitUsage;
  uint64_t size = 0, packed = 0;
  bool headingDone = false;
  ArchiveSummary summary;
  std::vector<EntryInfo> listed;
  // Where the archive is, and for a setup which Windows its program is for.
  auto printPlace = [&]() {
    std::printf("Archive at offset %d of %s\n", summary.archiveOffset, shown.c_str());
    const std::string kind = SetupProgramText(ReadSetupProgram(archive, summary.archiveOffset));
    if (!kind.empty()) std::printf("%s\n", kind.c_str());
  };
  auto printLine = [&](const EntryInfo& e) {
    if (!headingDone) {
      printPlace();
      PrintEntryHeading(stdout);
      headingDone = true;
    }
    PrintEntryLine(stdout, e);
    listed.push_back(e);
    size += e.unpackedSize;
    packed += e.packedSize;
    return true;
  };
  const ListingStatus status = WalkArchiveHeaders(archive.path, printLine, &summary);
  if (status != ListingStatus::kOk) {
    std::fprintf(stderr, "setuptool list: %s: %s\n", shown.c_str(), ListingError(status));
    return kExitFailed;
  }
  if (!headingDone) printPlace();
  std::printf("%llu entries, %llu bytes, %llu packed\n", static_cast<unsigned long long>(summary.entries),
              static_cast<unsigned long long>(size), static_cast<unsigned long long>(packed));
  PrintInstalledNames(stdout, archive, listed);
  if (summary.mainHeaderDamaged)
    std::fprintf(stderr, "setuptool list: warning: the main header's checksum does not match\n");
  if (summary.walkStoppedEarly)
    std::fprintf(stderr, "setuptool list: warning: the archive ends in a damaged or cut-off block header\n");
  if (summary.entries == 0) std::fprintf(stderr, "setuptool list: warning: the archive holds no entries\n");
  return kExitOk;
}
