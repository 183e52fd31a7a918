// setuptool test FILE: decodes every entry and verifies every checksum, the way the setup's
// scan pass does (each entry decoded into memory, with the same ExtractArchive), and judges
// each entry as extract does (entry_verdict.h): header checksums, sizes and volumes too.
#include <cstdio>
#include <string>

#include "archive/extract.h"
#include "commands.h"
#include "entry_verdict.h"
#include "report.h"
#include "signature_report.h"
#include "stub_report.h"
#include "terminal_text.h"

namespace {

const char kHelp[] =
    "Usage: setuptool test FILE\n"
    "\n"
    "Decodes every entry of the archive in FILE and verifies every CRC-32, exactly as the\n"
    "setup program's scan pass does, and also checks what the setup program does not: the\n"
    "header checksums, that each entry yields as many bytes as its header states, that no\n"
    "entry belongs to another volume, and that the archive ends cleanly. Prints one line per\n"
    "verified entry. Exit status 0 when everything is correct; 1 with a message naming the\n"
    "failing entry and the reason; 2 when FILE cannot be read or is not a regular file.\n"
    "For a setup it checks that the program in front of the archive is a sound executable\n"
    "image (its headers and sections in order; exit status 1 when not), prints which Windows\n"
    "it is for (\"setup program for x86 (32-bit) Windows\" or \"... for x64 (64-bit) Windows\"),\n"
    "then prints \"signed\" (an Authenticode certificate table follows the\n"
    "archive) or \"unsigned\", and warns about bytes after the archive that are neither the\n"
    "signature nor zero padding, and about an image checksum that is not that of the file.\n";

// The name the callback leaves for a memory entry. U+FFFF never comes out of the archive's
// 8-bit names, so the second call of an entry cannot be mistaken for the first of another.
const char16_t kMemoryMark[] = {1, 0xFFFF, 0};

struct TestRun {
  EntryInfo entry;       // the entry the run is at, as the driver read it
  std::string problem;   // why the test failed, or empty
  std::string where;     // the entry that failed
  size_t verified = 0;
};

// Records the first problem of the run, with the entry it belongs to.
void Fail(TestRun* run, const std::string& problem) {
  if (!run->problem.empty() || problem.empty()) return;
  run->problem = problem;
  run->where = run->entry.shownName;
}

void OnEntryStart(const ExtractContext* context, void* value) {
  TestRun* run = static_cast<TestRun*>(value);
  run->entry = EntryInfoOf(context);
  Fail(run, HeaderProblem(run->entry));
}

void OnEntryEnd(const ExtractContext*, const ExtractEntryOutcome* outcome, void* value) {
  TestRun* run = static_cast<TestRun*>(value);
  if (!run->problem.empty() || outcome->skipped) return;
  Fail(run, OutcomeProblem(run->entry, *outcome, false));
  if (!run->problem.empty()) return;
  ++run->verified;
  std::printf("ok %12u  %s\n", run->entry.unpackedSize, run->entry.shownName.c_str());
  std::fflush(stdout);
}

int TestCallback(char16_t* name, const uint8_t*, uint32_t, void* value) {
  TestRun* run = static_cast<TestRun*>(value);
  if (!run->problem.empty()) return 1;
  if (name[0] == kMemoryMark[0] && name[1] == kMemoryMark[1]) return 0;  // the bytes: judged at the entry's end
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
  const std::string file = argv[1];
  ArchiveFile archive;
  if (!OpenArchiveFile("test", file, &archive)) return kExitUsage;

  TestRun run;
  ExtractObserver observer = CommandObserver(OnEntryStart, OnEntryEnd, &run);
  const int result = ExtractArchiveObserved(archive.path.c_str(), TestCallback, &run, &observer);
  if (ReportRunFailure("test", run.problem, run.where, observer, result, TerminalText(file))) return kExitFailed;
  std::printf("%zu entries verified\n", run.verified);
  std::string problem, kind;
  if (!CheckSetupProgram(archive, &problem, &kind)) {
    std::fprintf(stderr, "setuptool test: %s: the program in front of the archive %s: the setup cannot run\n",
                 TerminalText(file).c_str(), problem.c_str());
    return kExitFailed;
  }
  if (!kind.empty()) std::printf("%s\n", kind.c_str());
  ReportSignature(archive, TerminalText(file));
  return kExitOk;
}
