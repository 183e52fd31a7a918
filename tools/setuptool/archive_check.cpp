// The verification of a setup's entries (see archive_check.h).
#include "archive_check.h"

#include <time.h>

#include <cstdio>

#include "archive/extract.h"
#include "entry_verdict.h"
#include "image/certificate_table.h"
#include "image/pe_image.h"
#include "payload/entry_rules.h"

namespace {

// The name the callback leaves for a memory entry. U+FFFF never comes out of the archive's
// 8-bit names, so the second call of an entry cannot be mistaken for the first of another.
const char16_t kMemoryMark[] = {1, 0xFFFF, 0};

struct CheckRun {
  EntryInfo entry;       // the entry the run is at, as the driver read it
  bool isUninstaller = false;
  std::string problem;   // why the check failed, or empty
  std::string where;     // the entry that failed
  bool printEntries = false;
  ArchiveCheck* check = nullptr;
  int64_t flushedAt = 0;  // when the printed lines were last flushed (NowMilliseconds)
};

// Hands the lines printed so far to the output when kFlushMilliseconds have passed since it
// last took them: a reader of a pipe sees the entries go by, without one write per entry,
// which was a noticeable part of testing a setup of many small files. The run's end flushes
// the rest before anything goes to stderr, so the two streams keep their order.
constexpr int64_t kFlushMilliseconds = 100;

int64_t NowMilliseconds() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void FlushNow(CheckRun* run) {
  const int64_t now = NowMilliseconds();
  if (now - run->flushedAt < kFlushMilliseconds) return;
  std::fflush(stdout);
  run->flushedAt = now;
}

// Records the first problem of the run, with the entry it belongs to.
void Fail(CheckRun* run, const std::string& problem) {
  if (!run->problem.empty() || problem.empty()) return;
  run->problem = problem;
  run->where = run->entry.shownName;
}

// Whether an 8-bit archive name's base is the one the install pass takes for the uninstaller.
bool NamesUninstaller(const std::string& rawName) {
  const size_t cut = rawName.find_last_of("\\/");
  const std::string base = cut == std::string::npos ? rawName : rawName.substr(cut + 1);
  std::u16string wide(base.begin(), base.end());  // the name compared is ASCII
  return IsUninstallerName(wide.c_str());
}

bool SignedProgram(const uint8_t* bytes, uint32_t size) {
  PeLayout layout;
  return ReadPeLayout(bytes, size, &layout) && SignedFileProblem(bytes, size, layout).empty();
}

void OnEntryStart(const ExtractContext* context, void* value) {
  CheckRun* run = static_cast<CheckRun*>(value);
  run->entry = EntryInfoOf(context);
  run->isUninstaller = NamesUninstaller(run->entry.rawName);
  Fail(run, HeaderProblem(run->entry));
}

void OnEntryEnd(const ExtractContext*, const ExtractEntryOutcome* outcome, void* value) {
  CheckRun* run = static_cast<CheckRun*>(value);
  if (!run->problem.empty() || outcome->skipped) return;
  Fail(run, OutcomeProblem(run->entry, *outcome, false));
  if (!run->problem.empty()) return;
  ++run->check->verified;
  if (!run->printEntries) return;
  std::printf("ok %12u  %s\n", run->entry.unpackedSize, run->entry.shownName.c_str());
  FlushNow(run);
}

int CheckCallback(char16_t* name, const uint8_t* bytes, uint32_t size, void* value) {
  CheckRun* run = static_cast<CheckRun*>(value);
  if (!run->problem.empty()) return 1;
  if (name[0] == kChecksumOnlyName) return 0;  // the second call of an entry only checksummed
  if (name[0] == kMemoryMark[0] && name[1] == kMemoryMark[1]) {  // the bytes: judged at the entry's end
    if (run->isUninstaller) {  // a later entry of that name replaces an earlier one, as in the install pass
      run->check->hasUninstaller = true;
      run->check->uninstallerSigned = bytes && SignedProgram(bytes, size);
    }
    return 0;
  }
  // Only an uninstaller's bytes are read: every other entry is checksummed and judged alike,
  // without a copy of its bytes.
  if (run->isUninstaller) {
    for (int i = 0; i < 3; ++i) name[i] = kMemoryMark[i];
  } else {
    name[0] = kChecksumOnlyName;
    name[1] = 0;
  }
  return 0;
}

}  // namespace

bool CheckArchiveEntries(const char* command, const ArchiveFile& archive, const std::string& shownFile,
                         bool printEntries, ArchiveCheck* check) {
  *check = ArchiveCheck();
  CheckRun run;
  run.printEntries = printEntries;
  run.check = check;
  ExtractObserver observer = CommandObserver(OnEntryStart, OnEntryEnd, &run);
  run.flushedAt = NowMilliseconds();
  const int result = ExtractArchiveObserved(archive.path.c_str(), CheckCallback, &run, &observer);
  if (printEntries) std::fflush(stdout);
  if (ReportRunFailure(command, run.problem, run.where, observer, result, shownFile)) return false;
  ArchiveSummary& summary = check->summary;
  summary.archiveOffset = observer.archiveOffset;
  summary.mainHeaderDamaged = observer.mainHeaderDamaged;
  summary.walkStoppedEarly = observer.walkStoppedEarly;
  summary.entries = observer.fileEntries;
  summary.endBlock = observer.endBlock;
  summary.archiveEnd = observer.archiveEnd;
  return true;
}
