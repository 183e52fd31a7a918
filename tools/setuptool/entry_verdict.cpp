// The judgement of entries and runs (see entry_verdict.h).
#include "entry_verdict.h"

#include <cstdio>

#include "archive/extract.h"
#include "archive/extract_context.h"

namespace {

// The RAR 2.0 decoder reads the compressed methods of the lowest decoded version and later.
bool MethodSupported(const EntryInfo& entry) {
  if (entry.method == kMethodStore) return true;
  return entry.method > kMethodStore && entry.method <= kMethodBest &&
         entry.unpackVersion >= kLowestDecodedVersion;
}

std::string UnsupportedMethod(const EntryInfo& entry) {
  char text[64];
  std::snprintf(text, sizeof text, "unsupported method 0x%02X (unpack version %u)", entry.method,
                unsigned(entry.unpackVersion));
  return text;
}

}  // namespace

std::string HeaderProblem(const EntryInfo& entry) {
  if (entry.mainHeaderDamaged) return "the main header's checksum does not match (header damaged)";
  if (entry.headerDamaged) return "the header's checksum does not match (header damaged)";
  if (entry.flags & kEntryContinuedFromPrevious)
    return "the entry continues one of a previous volume: the archive is one volume of several";
  if (entry.flags & kEntryContinuedInNext)
    return "the entry continues in a next volume: the archive is one volume of several";
  return "";
}

std::string OutcomeProblem(const EntryInfo& entry, const ExtractEntryOutcome& outcome,
                           bool diskFull) {
  if (outcome.skipped) return "";
  if (outcome.writeFailed)
    return diskFull ? "the disk is full" : "the file could not be written whole (write error)";
  const bool sizeMatches = outcome.producedBytes == entry.unpackedSize;
  if (outcome.checked && outcome.checksumMatches && sizeMatches) return "";
  // The most telling reason first: data that cannot be read at all says nothing about damage.
  if (entry.IsEncrypted()) return "encrypted (setuptool has no password input)";
  if (!MethodSupported(entry)) return UnsupportedMethod(entry);
  if (!sizeMatches) {
    char text[96];
    std::snprintf(text, sizeof text, "size mismatch: the data gave %llu bytes, the header says %u",
                  static_cast<unsigned long long>(outcome.producedBytes), entry.unpackedSize);
    return text;
  }
  return ResultMeaning(kExtractBadChecksum);
}

ExtractObserver CommandObserver(void (*entryStart)(const ExtractContext*, void*),
                                void (*entryEnd)(const ExtractContext*, const ExtractEntryOutcome*, void*),
                                void* value) {
  ExtractObserver observer = {};
  observer.entryStart = entryStart;
  observer.entryEnd = entryEnd;
  observer.value = value;
  return observer;
}

bool ReportRunFailure(const char* command, const std::string& entryProblem,
                      const std::string& entryShown, const ExtractObserver& observer, int result,
                      const std::string& shownFile) {
  std::string where = entryShown, problem = entryProblem;
  if (problem.empty()) {
    where = shownFile;
    if (!observer.archiveFound) problem = ListingError(ListingStatus::kNoArchive);
    else if (result != kExtractOk) problem = ResultMeaning(result);
    else if (observer.walkStoppedEarly) problem = "the archive ends in a damaged or cut-off block header";
    else if (observer.fileEntries == 0) problem = "the archive holds no entries";
  }
  if (problem.empty()) return false;
  if (result != kExtractOk)
    std::fprintf(stderr, "setuptool %s: %s: %s (result %d)\n", command, where.c_str(), problem.c_str(), result);
  else
    std::fprintf(stderr, "setuptool %s: %s: %s\n", command, where.c_str(), problem.c_str());
  return true;
}
