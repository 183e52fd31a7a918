// The extraction driver.
//
// One run: open the file, locate the archive, allocate the 1 MB window once, then for each
// entry consult the callback, open the output target (file, memory buffer, the checksum
// alone or none), produce
// the bytes (stored copy or the RAR 2.0 decoder), test the checksum and finish the entry
// (delete a damaged file; hand a memory entry over; set a file's time and attributes). The
// loop tests the result before each entry, so any failure ends the run after the entry that
// caused it, with that entry's remaining steps still done. Every way out releases what the
// run holds.
#include "archive/extract.h"

#include <cstdlib>

#include "archive/archive_reader.h"
#include "archive/crc32.h"
#include "archive/memory_buffer.h"
#include "system/text.h"
#include "unpack/lz_decoder.h"

namespace {

constexpr int32_t kStoredCopyBytes = 0x8000;

bool IsMemoryName(const char16_t* name) { return name[0] >= 1 && name[0] <= 31; }

// Tells the observer, if any, how the entry just finished came out.
void ReportEntryEnd(ExtractContext* context, bool skipped, bool checked, bool matches) {
  ExtractObserver* observer = context->observer;
  if (!observer || !observer->entryEnd) return;
  const ExtractEntryOutcome outcome = {context->producedBytes, skipped, checked, matches,
                                       context->outputShortWrite != 0};
  observer->entryEnd(context, &outcome, observer->value);
}

// Reads forward to the next file header, skipping sub-blocks. False at the end of the walk.
bool NextFileHeader(ExtractContext* context) {
  for (;;) {
    if (ReadNextEntry(context) <= 0) return false;
    if (context->lastBlockType != kBlockSub) break;
    StreamSeek(context->archiveFile, context->nextBlock, kSeekSet);
  }
  if (ExtractObserver* observer = context->observer) {
    ++observer->fileEntries;
    if (observer->entryStart) observer->entryStart(context, observer->value);
  }
  return true;
}

// The decoder's input and output: the run's ReadPackedData and WriteOutput over the context
// that the decoder hands back as its opaque value.
int32_t ReadPackedForDecoder(void* context, uint8_t* dest, int32_t count) {
  return ReadPackedData(static_cast<ExtractContext*>(context), dest, count);
}

int32_t WriteOutputForDecoder(void* context, const uint8_t* bytes, int32_t count) {
  return WriteOutput(static_cast<ExtractContext*>(context), bytes, count);
}

// Where the current entry's bytes go, as the callback's name decided.
enum class Target { kNone, kMemory, kFile, kChecksumOnly };

// Produces the current entry's bytes into its target: the stored copy or the decoder.
// Returns the copy's result (0, or -1 without a copy buffer).
int ProduceEntry(ExtractContext* context) {
  context->dataCrc = 0xFFFFFFFFu;
  context->packedBytesLeft = context->packedSize;
  context->unpackedBytesLeft = context->unpackedSize;
  int result = kExtractOk;
  if (context->method == kMethodStore) {
    result = CopyStoredEntry(context);
  } else if (context->unpackVersion >= kLowestDecodedVersion) {
    // The decoder counts unpackedBytesLeft down as it produces, as the stored copy does.
    const DecoderIo io = {ReadPackedForDecoder, WriteOutputForDecoder, context};
    UnpackEntry(&context->decoder, context->window, (context->entryFlags & kEntrySolid) != 0,
                &context->unpackedBytesLeft, &io);
  }
  // The data read whole leaves the file at its end, where the next block starts: a seek
  // there would only make the stream read its buffer again.
  const int64_t dataEnd = int64_t(context->blockStart) + context->entryHeaderSize + context->packedSize;
  if (context->packedBytesLeft != 0 || dataEnd != context->nextBlock)
    StreamSeek(context->archiveFile, context->nextBlock, kSeekSet);
  return result;
}

// Tests the entry's checksum and finishes it: a damaged file goes, a memory entry is handed
// over, a file gets its time and attributes. Sets result on a mismatch; true when the
// callback ended the run on its second call.
bool FinishEntry(ExtractContext* context, MemoryBuffer* memory, char16_t* name, Target target,
                 int* result) {
  const bool checksumMatches = context->dataCrc == ~context->fileCrc;
  bool mismatch = !context->discardFlag && !checksumMatches;
  // The callback reads a memory entry as size bytes and a 0 after them: an entry that
  // produced another number of bytes than its header states (a match run past the end,
  // a stored entry shorter than its size) would be read out of bounds, so it counts as
  // damaged even when its checksum matches.
  // An entry only checksummed is judged as that memory entry would have been, holding what
  // it produced unless that passed kMemoryEntryLimit.
  const bool kept = target == Target::kMemory || target == Target::kChecksumOnly;
  const bool held = target == Target::kMemory ? !memory->failed : context->producedBytes <= kMemoryEntryLimit;
  const uint64_t heldBytes = target == Target::kMemory ? memory->used : context->producedBytes;
  if (kept && held && heldBytes != uint32_t(context->unpackedSize)) mismatch = true;
  if (mismatch) *result = kExtractBadChecksum;
  CloseStream(context->outputFile);
  context->outputFile = nullptr;
  bool stop = false;
  if (mismatch) {
    if (target == Target::kFile) DeleteOutputFile(name);
  } else if (kept) {
    const uint8_t terminator = 0;
    if (target == Target::kMemory) Append(memory, &terminator, 1);
    stop = context->callback(name, target == Target::kMemory ? memory->data : nullptr,
                             uint32_t(context->unpackedSize), context->callbackValue) != 0;
  } else if (target == Target::kFile) {
    SetFileTimeFromDos(name, context->fileTime);
    SetFileAttributesTo(name, context->attributes);
  }
  ReportEntryEnd(context, false, !context->discardFlag, checksumMatches);
  return stop;
}

// Opens the target the name asks for. False when an output file cannot be created.
bool OpenTarget(ExtractContext* context, MemoryBuffer* memory, const char16_t* name,
                Target* target) {
  *target = IsMemoryName(name)               ? Target::kMemory
            : name[0] == kChecksumOnlyName ? Target::kChecksumOnly
            : name[0] != 0                 ? Target::kFile
                                           : Target::kNone;
  if (*target == Target::kMemory) {
    context->currentMemoryBuffer = memory;
    Clear(memory);
  } else if (*target == Target::kFile) {
    context->outputFile = CreateOutputStream(name);
    if (!context->outputFile) return false;
  }
  return true;
}

int RunEntries(ExtractContext* context, MemoryBuffer* memory) {
  FileStream* file = context->archiveFile;
  StreamSeek(file, int32_t(context->mainHeaderSize) - kMainHeaderBytes, kSeekCurrent);
  context->continuedFlag = 0;
  bool seenFileEntry = false;
  int result = kExtractOk;
  char16_t name[kEntryNameCapacity];

  while (result == kExtractOk) {
    if (!NextFileHeader(context)) {
      // The last entry continues in a next volume, which this system never opens: the run
      // cannot have extracted it whole, so it ends as for an incomplete archive.
      if (context->continuedFlag) result = kExtractNoArchive;
      break;
    }
    if (!seenFileEntry && (context->entryFlags & kEntryContinuedFromPrevious)) {
      result = kExtractNoArchive;
      break;
    }
    seenFileEntry = true;
    context->continuedFlag = context->entryFlags & kEntryContinuedInNext;
    // A sound header that ends with its name leaves the file where the data starts.
    if (context->entryHeaderDamaged || context->entryHeaderSize != kFileHeaderBytes + context->nameSize)
      StreamSeek(file, context->blockStart + context->entryHeaderSize, kSeekSet);

    const bool directory = (context->attributes & kAttributeDirectory) != 0;
    name[0] = 0;
    if (!directory) {
      AnsiToWide(context->name, name, kEntryNameCapacity);
      if (context->callback(name, nullptr, uint32_t(context->unpackedSize),
                            context->callbackValue) != 0)
        break;
    }
    context->discardFlag = name[0] == 0 ? 1 : 0;
    context->currentMemoryBuffer = nullptr;
    context->outputFile = nullptr;
    context->producedBytes = 0;
    context->outputShortWrite = 0;
    Target target = Target::kNone;
    if (directory || (context->attributes & kAttributeVolumeLabel)) {
      StreamSeek(file, context->nextBlock, kSeekSet);
      ReportEntryEnd(context, true, false, false);
      continue;
    }
    if (!OpenTarget(context, memory, name, &target)) {
      result = kExtractCannotCreate;
      break;
    }
    result = ProduceEntry(context);
    if (FinishEntry(context, memory, name, target, &result)) break;
  }
  return result;
}

int RunExtraction(ExtractContext* context) {
  context->archiveFile = OpenReadStream(context->archivePath);
  if (!context->archiveFile) return kExtractNoArchive;
  int result = kExtractNoArchive;
  if (LocateArchive(context)) {
    if (context->observer) {
      context->observer->archiveFound = true;
      context->observer->mainHeaderDamaged = context->mainHeaderDamaged != 0;
      context->observer->archiveOffset = StreamTell(context->archiveFile) - kMarkerBytes - kMainHeaderBytes;
    }
    context->window = static_cast<uint8_t*>(std::calloc(kWindowSize, 1));
    if (!context->window) {
      result = kExtractNoWindow;
    } else {
      MemoryBuffer memory = {};
      result = RunEntries(context, &memory);
      if (ExtractObserver* observer = context->observer) {
        observer->walkStoppedEarly = context->walkStoppedEarly != 0;
        observer->endBlock = context->lastBlockType == kBlockEnd;
        observer->archiveEnd = observer->endBlock ? context->nextBlock : context->blockStart;
      }
      Release(&memory);
      std::free(context->window);
      context->window = nullptr;
    }
  }
  CloseStream(context->archiveFile);
  context->archiveFile = nullptr;
  return result;
}

}  // namespace

int ExtractArchive(const char16_t* archivePath, ExtractCallback callback, void* callbackValue) {
  return ExtractArchiveObserved(archivePath, callback, callbackValue, nullptr);
}

int ExtractArchiveObserved(const char16_t* archivePath, ExtractCallback callback,
                           void* callbackValue, ExtractObserver* observer) {
  if (observer) {
    observer->archiveFound = observer->mainHeaderDamaged = observer->walkStoppedEarly = false;
    observer->fileEntries = 0;
    observer->archiveOffset = observer->archiveEnd = 0;
    observer->endBlock = false;
  }
  ExtractContext* context = static_cast<ExtractContext*>(std::calloc(1, sizeof(ExtractContext)));
  if (!context) return kExtractNoContext;
  context->archivePath = archivePath;
  context->callback = callback;
  context->callbackValue = callbackValue;
  context->observer = observer;
  PrepareDecoder(&context->decoder);
  BuildCrcTable(context);
  const int result = RunExtraction(context);
  std::free(context);
  return result;
}

int32_t WriteOutput(ExtractContext* context, const uint8_t* bytes, int32_t count) {
  if (count < 0) count = 0;
  context->producedBytes += uint64_t(count);
  int32_t accepted = 0;
  if (context->outputFile) {
    accepted = StreamWrite(context->outputFile, bytes, count);
    if (accepted < count) context->outputShortWrite = 1;
  } else if (context->currentMemoryBuffer) {
    Append(context->currentMemoryBuffer, bytes, uint32_t(count));
    accepted = count;
  } else if (context->discardFlag) {
    return 0;
  } else {
    accepted = count;  // an entry only checksummed: the one target that keeps nothing
  }
  if (!context->discardFlag && accepted > 0)
    context->dataCrc = Crc32Update(context, context->dataCrc, bytes, uint32_t(accepted));
  return accepted;
}

int32_t ReadPackedData(ExtractContext* context, uint8_t* dest, int32_t count) {
  if (!context->archiveFile) return 0;
  int32_t total = 0;
  while (count > 0 && context->packedBytesLeft > 0) {
    const int32_t want = count < context->packedBytesLeft ? count : context->packedBytesLeft;
    const int32_t got = StreamRead(context->archiveFile, dest, want);
    if (got <= 0) return 0;
    context->packedBytesLeft -= got;
    total += got;
    dest += got;
    count -= got;
  }
  return total;
}

int CopyStoredEntry(ExtractContext* context) {
  // No more than the entry's data needs: zero-filling 32 KB for each of many small entries
  // costs more than copying them.
  int32_t bufferBytes = kStoredCopyBytes;
  if (context->packedBytesLeft >= 0 && context->packedBytesLeft < bufferBytes)
    bufferBytes = context->packedBytesLeft > 0 ? context->packedBytesLeft : 1;
  uint8_t* buffer = static_cast<uint8_t*>(std::calloc(size_t(bufferBytes), 1));
  if (!buffer) return kExtractNoCopyBuffer;
  for (;;) {
    int32_t n = ReadPackedData(context, buffer, bufferBytes);
    if (n <= 0) break;
    // At most the unpacked size is produced, whatever the packed size says.
    if (n > context->unpackedBytesLeft) n = context->unpackedBytesLeft > 0 ? context->unpackedBytesLeft : 0;
    WriteOutput(context, buffer, n);
    context->unpackedBytesLeft -= n;
  }
  std::free(buffer);
  return 0;
}
