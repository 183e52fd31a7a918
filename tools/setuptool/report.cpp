// Reporting for setuptool (see report.h).
#include "report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "archive/archive_reader.h"
#include "archive/crc32.h"
#include "archive/extract_context.h"
#include "system/host/host_paths.h"
#include "system/text.h"
#include "terminal_text.h"

namespace {

struct ContextDeleter {
  void operator()(ExtractContext* context) const {
    CloseStream(context->archiveFile);
    std::free(context);
  }
};

}  // namespace

std::string DisplayWide(const char16_t* text) { return HostUtf8(text); }

std::string DisplayName(const char* ansiName) {
  char16_t wide[kPathCapacity];
  AnsiToWide(ansiName, wide, kPathCapacity);
  return HostUtf8(wide);
}

EntryInfo EntryInfoOf(const ExtractContext* context) {
  EntryInfo e;
  e.rawName = context->name;
  e.displayName = DisplayName(context->name);
  e.shownName = TerminalText(e.displayName);
  e.flags = context->entryFlags;
  e.packedSize = uint32_t(context->packedSize);
  e.unpackedSize = uint32_t(context->unpackedSize);
  e.method = context->method;
  e.unpackVersion = context->unpackVersion;
  e.fileCrc = context->fileCrc;
  e.fileTime = context->fileTime;
  e.attributes = context->attributes;
  e.headerDamaged = context->entryHeaderDamaged != 0;
  e.mainHeaderDamaged = context->mainHeaderDamaged != 0;
  return e;
}

ArchiveFile::~ArchiveFile() {
  if (fd >= 0) close(fd);
}

bool OpenArchiveFile(const char* command, const std::string& path, ArchiveFile* file) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  file->fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st;
  const char* problem = nullptr;
  if (file->fd < 0 || fstat(file->fd, &st) != 0)
    problem = std::strerror(errno);
  else if (S_ISDIR(st.st_mode))
    problem = "is a folder, not an archive file";
  else if (!S_ISREG(st.st_mode))
    problem = "is not a regular file";
  if (problem) {
    std::fprintf(stderr, "setuptool %s: %s: cannot open the file: %s\n", command,
                 TerminalText(path).c_str(), problem);
    return false;
  }
  file->path = HostUtf16("/proc/self/fd/" + std::to_string(file->fd));
  return true;
}

const char* ListingError(ListingStatus status) {
  switch (status) {
    case ListingStatus::kNoArchive: return "no archive found in the file";
    case ListingStatus::kNoMemory: return "out of memory";
    default: return "";
  }
}

ListingStatus WalkArchiveHeaders(const std::u16string& path,
                                 const std::function<bool(const EntryInfo&)>& visit,
                                 ArchiveSummary* summary) {
  std::unique_ptr<ExtractContext, ContextDeleter> context(
      static_cast<ExtractContext*>(std::calloc(1, sizeof(ExtractContext))));
  if (!context) return ListingStatus::kNoMemory;
  context->archiveFile = OpenReadStream(path.c_str());
  if (!context->archiveFile) return ListingStatus::kNoArchive;
  BuildCrcTable(context.get());
  if (!LocateArchive(context.get())) return ListingStatus::kNoArchive;
  summary->archiveOffset = StreamTell(context->archiveFile) - kMarkerBytes - kMainHeaderBytes;
  summary->mainHeaderDamaged = context->mainHeaderDamaged != 0;
  StreamSeek(context->archiveFile, int32_t(context->mainHeaderSize) - kMainHeaderBytes,
             kSeekCurrent);
  while (ReadNextEntry(context.get()) > 0) {
    if (context->lastBlockType == kBlockFile) {
      ++summary->entries;
      if (!visit(EntryInfoOf(context.get()))) return ListingStatus::kOk;
    }
    StreamSeek(context->archiveFile, context->nextBlock, kSeekSet);
  }
  summary->walkStoppedEarly = context->walkStoppedEarly != 0;
  return ListingStatus::kOk;
}

std::string MethodName(uint8_t method) {
  static const char* const kNames[] = {"store", "fastest", "fast", "normal", "good", "best"};
  if (method >= kMethodStore && method <= kMethodBest) return kNames[method - kMethodStore];
  char hex[8];
  std::snprintf(hex, sizeof hex, "0x%02X", method);
  return hex;
}

std::string EntryFlagsText(const EntryInfo& entry) {
  std::string text;
  auto add = [&text](const char* flag) {
    if (!text.empty()) text += ',';
    text += flag;
  };
  if (entry.flags & kEntrySolid) add("solid");
  if (entry.IsDirectory()) add("dir");
  if (entry.IsVolumeLabel()) add("label");
  if (entry.IsEncrypted()) add("encrypted");
  if (entry.flags & kEntryContinuedFromPrevious) add("from-previous-volume");
  if (entry.flags & kEntryContinuedInNext) add("to-next-volume");
  if (entry.method != kMethodStore && entry.unpackVersion < kLowestDecodedVersion) add("old-method");
  if (entry.headerDamaged) add("damaged-header");
  return text.empty() ? "-" : text;
}

void PrintEntryHeading(FILE* out) {
  std::fprintf(out, "%12s %12s  %-7s  %-8s  %-10s  %s\n", "Size", "Packed", "Method", "CRC-32",
               "Flags", "Name");
}

void PrintEntryLine(FILE* out, const EntryInfo& entry) {
  std::fprintf(out, "%12u %12u  %-7s  %08x  %-10s  %s\n", entry.unpackedSize, entry.packedSize,
               MethodName(entry.method).c_str(), entry.fileCrc, EntryFlagsText(entry).c_str(),
               entry.shownName.c_str());
}

const char* ResultMeaning(int result) {
  switch (result) {
    case kExtractOk: return "success";
    case kExtractNoContext: return "out of memory for the extraction";
    case kExtractNoArchive:
      return "the archive cannot be opened or found, or it is one volume of several";
    case kExtractBadChecksum: return "the entry's data is damaged (checksum mismatch)";
    case kExtractNoWindow: return "out of memory for the decoding window";
    case kExtractNoCopyBuffer: return "out of memory for copying a stored entry";
    case kExtractCannotCreate: return "an output file cannot be created";
    default: return "unknown result";
  }
}
