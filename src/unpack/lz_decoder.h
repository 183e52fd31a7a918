// The RAR 2.0 LZ decoder: turns one entry's packed data into its bytes in the 1 MB sliding
// window and hands them to the extraction driver's WriteOutput.
#pragma once
#include <cstdint>

#include "archive/extract_context.h"

// Decodes one compressed entry. solid: the entry continues the previous entry's stream
// (window, match history and code tables carry over). Before the call the driver has set
// packedBytesLeft and unpackedBytesLeft; no result: the data checksum judges the entry.
void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid);

// Resets the decoder for a new entry: always the input position; when not solid also the
// window, the match history and previousLengths.
void InitDecoder(ExtractContext* context, bool solid);

// Records the match in matchLength/matchDistance as the latest one and copies it.
void CopyMatch(ExtractContext* context);

// Hands the window bytes not yet written to WriteOutput.
void FlushWindow(ExtractContext* context);

// The end-of-entry check: a table block that follows the entry's last symbol is read
// within the entry, so the next entry of a solid archive decodes with it.
void ReadTrailingTables(ExtractContext* context);
