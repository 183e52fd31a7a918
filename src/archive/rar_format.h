// The RAR 2.x container, as this system reads and writes it: the marker, the block types,
// the header layout and the values of its fields. One definition of each number, used by
// the reader (archive/), the writer (pack/), setuptool and the tests alike; the compressed
// stream inside an entry's data area has its own header, unpack/rar20_tables.h.
//
// An archive is the 7-byte marker, a 13-byte main header, then blocks up to an end-of-archive
// block or, in archives written without one, the end of the file. Every block begins with a 7-byte base (checksum, type, flags, header size); file
// headers and sub-blocks carry a 32-byte fixed part, file headers then the name. A block's
// successor begins at block start + header size, plus the packed size when the block has
// a data area (flag kBlockLong). All fields are little-endian.
#pragma once
#include <cstdint>

// The marker block: "Rar!" 0x1A 0x07 0x00.
constexpr uint8_t kRarMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr int kMarkerBytes = 7;
// The older archive format this system does not read: 'R' followed by these three bytes,
// with "RSFX" at file offset 28 when it is appended to a program.
constexpr uint8_t kOldMarkerTail[3] = {0x45, 0x7E, 0x5E};
constexpr uint8_t kOldSfxTag[4] = {0x52, 0x53, 0x46, 0x58};
constexpr int32_t kOldSfxTagOffset = 28;

// Sizes of the fixed parts.
constexpr int kMainHeaderBytes = 13;
constexpr int kFileHeaderBytes = 32;       // also the part of any other block that is read
constexpr int kBlockBaseBytes = 7;         // checksum, type, flags, header size: the least header
constexpr uint16_t kMaxEntryName = 259;    // name bytes read; longer names are cut

// Block types (byte 2 of every header).
constexpr uint8_t kBlockMain = 0x73;       // the main header, right after the marker
constexpr uint8_t kBlockFile = 0x74;       // a file header: one entry
constexpr uint8_t kBlockSub = 0x77;        // a sub-block: skipped, the file header fields kept
constexpr uint8_t kBlockEnd = 0x7B;        // end of the archive: nothing after it belongs to it

// The end-of-archive block as this system writes it: the 7-byte base alone, with the flag
// that tells a reader not knowing the block type to pass over it. Its header checksum is
// taken over bytes 2 to 6, like any header's.
constexpr uint16_t kBlockSkipIfUnknown = 0x4000;
constexpr uint16_t kEndBlockBytes = kBlockBaseBytes;

// Main header flags.
constexpr uint16_t kMainFlagSolid = 0x0008;  // the entries form one solid stream

// File header flags.
constexpr uint16_t kEntryContinuedFromPrevious = 0x0001;  // the entry began in a previous volume
constexpr uint16_t kEntryContinuedInNext = 0x0002;        // the entry goes on in a next volume
constexpr uint16_t kEntryEncrypted = 0x0004;              // read as stored: no password input
constexpr uint16_t kEntrySolid = 0x0010;       // the decoder goes on from the previous entry's state
constexpr uint16_t kEntryDictionaryMask = 0x00E0;  // window size bits; all three set: a directory
constexpr uint16_t kEntryWindow1M = 0x0080;    // the dictionary bits of a 1 MB window
constexpr uint16_t kBlockLong = 0x8000;        // a data area of packed size bytes follows the header

// Offsets of the fields in a file header (offsets 0, 2, 3, 5 are those of every block).
constexpr int kFieldHeaderCrc = 0;       // u16: low 16 bits of the complemented CRC-32 of bytes 2.. on
constexpr int kFieldBlockType = 2;       // u8
constexpr int kFieldFlags = 3;           // u16
constexpr int kFieldHeaderSize = 5;      // u16: from the block's first byte to its data area
constexpr int kFieldPackedSize = 7;      // u32: size of the data area
constexpr int kFieldUnpackedSize = 11;   // u32
constexpr int kFieldHostOs = 15;         // u8
constexpr int kFieldFileCrc = 16;        // u32: CRC-32 of the unpacked bytes
constexpr int kFieldFileTime = 20;       // u32: MS-DOS date (high 16 bits) and time, local
constexpr int kFieldUnpackVersion = 24;  // u8
constexpr int kFieldMethod = 25;         // u8
constexpr int kFieldNameSize = 26;       // u16
constexpr int kFieldAttributes = 28;     // u32
constexpr int kFieldName = 32;           // the name, name size bytes, no terminator

// Host systems whose attributes are Windows attribute bits; any other value makes the
// reader derive them from the dictionary bits.
constexpr uint8_t kHostMsDos = 0;
constexpr uint8_t kHostOs2 = 1;
constexpr uint8_t kHostWindows = 2;

// Methods: stored, or compressed at level 1 (fastest) to 5 (best).
constexpr uint8_t kMethodStore = 0x30;
constexpr uint8_t kMethodBest = 0x35;
// Unpack versions: what this system writes, and the lowest the RAR 2.0 decoder reads.
constexpr uint8_t kUnpackVersion20 = 20;
constexpr uint8_t kLowestDecodedVersion = 16;

// Windows attribute bits the system sets or tests.
constexpr uint32_t kAttributeReadOnly = 0x01;
constexpr uint32_t kAttributeVolumeLabel = 0x08;  // not extracted
constexpr uint32_t kAttributeDirectory = 0x10;    // not extracted; a folder
constexpr uint32_t kAttributeArchive = 0x20;
