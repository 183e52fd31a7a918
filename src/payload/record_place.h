// Where the removal record lies in an uninstaller's file. Unsigned, the record's trailer ends
// the file. Signed, the file ends in an Authenticode certificate table, which the signature
// follows: the record then ends where the table begins, less the zero bytes a signing tool
// puts in front of the table to start it on an 8-byte boundary (osslsigncode pads so; a
// table that starts unaligned has none). The signature's digest covers everything in front
// of the table, the record and that padding included, so a changed record breaks the
// signature as well as the record's own checksum.
//
// Where the table is comes from the PE headers: data directory 4 gives its file offset and
// size, in PE32 and PE32+ alike (see image/pe_image.h for the layout). The uninstaller walks
// only the few header fields that lead to that entry, here, rather than linking the image
// reader of setuptool (which keeps its section table in a std::vector and reports in
// std::string, weight the stub need not carry). setuptool pack checks a signed uninstaller's
// image and table with the image reader, then finds its record with this same function.
//
// The file is the user's: every offset it names is checked against the bytes read and the
// file's size before it is used, and a directory entry that names anything but a table at
// the file's end (somewhere inside the file, past its end, too small to be a table) makes
// the record unreadable rather than sending the search elsewhere.
#pragma once
#include <cstdint>

// Reads `count` bytes at file offset `offset` into `bytes`; true when all were read.
typedef bool (*RecordReadAt)(void* user, uint32_t offset, uint8_t* bytes, uint32_t count);

// The file's first bytes that are searched for the headers: an uninstaller's headers lie
// within its first file-alignment unit (SizeOfHeaders 0x400 as our linker lays it out).
constexpr uint32_t kRecordHeadBytes = 1024;
// The most zero bytes a signing tool puts between the record and the table.
constexpr uint32_t kCertificatePaddingLimit = 7;

// The file offset at which the record's trailer begins in a file of `fileSize` bytes read
// through `read` (with `user`); false when the file ends neither in a trailer nor in a
// certificate table with a trailer in front of it.
bool LocateRemovalTrailer(RecordReadAt read, void* user, uint32_t fileSize, uint32_t* trailerOffset);
