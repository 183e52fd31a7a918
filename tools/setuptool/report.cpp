// Reporting for setuptool (see report.h).
#include "report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>

#include "archive/archive_reader.h"
#include "archive/crc32.h"
#include "archive/extract_context.h"
#include "archive/header_reader.h"
#include "system/host/host_paths.h"
#include "system/text.h"
#include "terminal_text.h"

namespace {

struct ReaderDeleter {
  void operator()(HeaderReader* reader) const {
    CloseStream(reader->archiveFile);
    delete reader;
  }
};

// The ExtractContext and the HeaderReader name their header fields alike.
template <typename Record>
EntryInfo EntryInfoFrom(const Record* context) {
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

}  // namespace

std::string DisplayWide(const char16_t* text) { return HostUtf8(text); }

std::string DisplayName(const char* ansiName) {
  char16_t wide[kPathCapacity];
  AnsiToWide(ansiName, wide, kPathCapacity);
  return HostUtf8(wide);
}

EntryInfo EntryInfoOf(const ExtractContext* context) { return EntryInfoFrom(context); }
EntryInfo EntryInfoOf(const HeaderReader* reader) { return EntryInfoFrom(reader); }

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
  // A walk needs the header fields and the CRC table, not an extraction run's context.
  std::unique_ptr<HeaderReader, ReaderDeleter> reader(new (std::nothrow) HeaderReader());
  if (!reader) return ListingStatus::kNoMemory;
  reader->archiveFile = OpenReadStream(path.c_str());
  if (!reader->archiveFile) return ListingStatus::kNoArchive;
  BuildCrcTable(&reader->crc);
  if (!LocateArchive(reader.get())) return ListingStatus::kNoArchive;
  summary->archiveOffset = StreamTell(reader->archiveFile) - kMarkerBytes - kMainHeaderBytes;
  summary->mainHeaderDamaged = reader->mainHeaderDamaged != 0;
  StreamSeek(reader->archiveFile, int32_t(reader->mainHeaderSize) - kMainHeaderBytes,
             kSeekCurrent);
  while (ReadNextEntry(reader.get()) > 0) {
    if (reader->lastBlockType == kBlockFile) {
      ++summary->entries;
      if (!visit(EntryInfoOf(reader.get()))) return ListingStatus::kOk;
    }
    StreamSeek(reader->archiveFile, reader->nextBlock, kSeekSet);
  }
  summary->walkStoppedEarly = reader->walkStoppedEarly != 0;
  summary->endBlock = reader->lastBlockType == kBlockEnd;
  summary->archiveEnd = summary->endBlock ? reader->nextBlock : reader->blockStart;
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
