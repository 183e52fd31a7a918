// setuptool test FILE: decodes every entry and verifies every checksum, the way the setup's
// scan pass does (each entry decoded into memory, with the same ExtractArchive).
#include <cstdio>
#include <string>

#include "archive/extract.h"
#include "commands.h"
#include "report.h"
#include "system/host/host_paths.h"

namespace {

const char kHelp[] =
    "Usage: setuptool test FILE\n"
    "\n"
    "Decodes every entry of the archive in FILE and verifies every CRC-32, exactly as the\n"
    "setup program's scan pass does. Prints one line per verified entry. Exit status 0\n"
    "when every entry and every header checksum is correct; otherwise a message names the\n"
    "failing entry and the reason, and the exit status is 1.\n";

// The name the callback leaves for a memory entry. U+FFFF never comes out of the archive's
// 8-bit names, so the second call of an entry cannot be mistaken for the first of another.
const char16_t kMemoryMark[] = {1, 0xFFFF, 0};

struct TestRun {
  std::string current;   // name of the entry being decoded
  size_t verified = 0;
};

int TestCallback(char16_t* name, const uint8_t*, uint32_t size, void* value) {
  TestRun* run = static_cast<TestRun*>(value);
  if (name[0] == kMemoryMark[0] && name[1] == kMemoryMark[1]) {
    ++run->verified;
    std::printf("ok %12u  %s\n", size, run->current.c_str());
    std::fflush(stdout);
    return 0;
  }
  run->current = DisplayWide(name);
  for (int i = 0; i < 3; ++i) name[i] = kMemoryMark[i];
  return 0;
}

}  // namespace

int RunTestCommand(int argc, char** argv) {
  if (argc == 2 && IsHelpArgument(argv[1])) {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  if (argc != 2) {
    std::fprintf(stderr, "setuptool test: expected one FILE\n\n%s", kHelp);
    return kExitUsage;
  }
  const char* file = argv[1];
  ArchiveListing listing;
  const ListingStatus status = ReadArchiveListing(file, &listing);
  if (status != ListingStatus::kOk) {
    std::fprintf(stderr, "setuptool test: %s: %s\n", file, ListingError(status));
    return ListingExitCode(status);
  }

  TestRun run;
  const std::u16string path = HostUtf16(file);
  const int result = ExtractArchive(path.c_str(), TestCallback, &run);
  if (result != 0) {
    const std::string where = run.current.empty() ? std::string(file) : run.current;
    std::fprintf(stderr, "setuptool test: %s: %s (result %d)\n", where.c_str(),
                 ResultMeaning(result), result);
    return kExitFailed;
  }
  // The setup ignores header checksums; a publisher testing a setup wants to know.
  bool headersSound = !listing.mainHeaderDamaged;
  if (listing.mainHeaderDamaged)
    std::fprintf(stderr, "setuptool test: %s: the main header's checksum does not match\n", file);
  for (const EntryInfo& e : listing.entries) {
    if (!e.headerDamaged) continue;
    headersSound = false;
    // A name longer than 259 bytes is cut before the checksum is taken over it.
    const bool cut = e.rawName.size() >= 259;
    std::fprintf(stderr, "setuptool test: %s: the header's checksum does not match%s\n",
                 e.displayName.c_str(), cut ? " (or its name is longer than 259 bytes)" : "");
  }
  if (!headersSound) return kExitFailed;
  std::printf("%zu entries verified\n", run.verified);
  return kExitOk;
}
