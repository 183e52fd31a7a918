// The extraction run: one call of ExtractArchive walks the payload archive, asks the
// caller's callback what to do with each entry, and writes each entry to a file, hands it
// over in memory, or decodes and drops it; every entry that produces output has its data
// checksum tested.
#pragma once
#include <cstdint>

#include "archive/extract_context.h"

// Runs one extraction over the archive in the file at archivePath; returns a result code
// (kExtractOk and the others in extract_context.h).
int ExtractArchive(const char16_t* archivePath, ExtractCallback callback, void* callbackValue);

// The same run with an observer (see ExtractObserver), which may be none.
int ExtractArchiveObserved(const char16_t* archivePath, ExtractCallback callback,
                           void* callbackValue, ExtractObserver* observer);

// The current entry's output sink: to the output file, else to the current memory buffer,
// else nowhere (an entry only checksummed accepts every byte there). Returns the count
// accepted and, unless the entry is discarded, adds the accepted bytes to the data checksum.
int32_t WriteOutput(ExtractContext* context, const uint8_t* bytes, int32_t count);

// Up to count bytes of the current entry's packed data; 0 when nothing is left, when a read
// from the file delivers nothing, or when no archive file is open.
int32_t ReadPackedData(ExtractContext* context, uint8_t* dest, int32_t count);

// Copies a stored entry (method 0x30) in 32 KB pieces, at most its unpacked size; returns 0,
// or -1 when the copy buffer cannot be allocated.
int CopyStoredEntry(ExtractContext* context);
