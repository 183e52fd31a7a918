// Finding the RAR 2.x archive in a file and walking its blocks one file header at a time.
//
// The archive either starts the file or is appended to an executable image: its 7-byte
// marker begins at offset 0, or at an offset from 7 to 249,996 where the main header's block
// type follows it (archive_locator.h has the rule, which pack's stub check shares). After the
// 13-byte main header, blocks follow one another up to an end-of-archive block or the end of
// the file (whatever follows the end block, such as a signature, is not read); each begins
// with a 7-byte base (checksum, type, flags, header size), and file headers and sub-blocks
// carry a 32-byte fixed part (archive/rar_format.h has the numbers).
//
// These operations fill the extraction run's ExtractContext; header_reader.h declares the
// same operations over a HeaderReader, for code that walks headers without extracting.
#pragma once
#include <cstdint>

#include "archive/rar_format.h"

struct ExtractContext;

// Finds the archive in the context's open archive file. Non-zero when found: the marker and
// main header fields are filled in, the checksum method is set and the file stands directly
// after the 13 bytes of the main header.
int LocateArchive(ExtractContext* context);

// kind kBlockMain reads the 13-byte main header, kind kBlockFile the 32-byte fixed part of a block;
// decodes the fields (bytes cut off by the end of the file count as 0), starts the header
// checksum, and returns the number of bytes read.
int ReadFixedHeader(ExtractContext* context, int kind);

// Reads forward to the next file header or sub-block. Returns the header bytes consumed
// (32 + name size for a file header, 32 for a sub-block), or 0 at the end of the archive or
// at a malformed block. After a file header the file stands after the name; after a
// sub-block (fields of the previous file header kept) it stands at the sub-block's start.
// At a sound end-of-archive block it returns 0 with lastBlockType kBlockEnd, blockStart at
// that block and nextBlock just behind it: the archive's last byte is nextBlock - 1.
int ReadNextEntry(ExtractContext* context);
