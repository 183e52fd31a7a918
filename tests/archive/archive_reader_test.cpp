// Locating the archive and walking its headers, on archives made by the test writer; the
// walk over a HeaderReader against the walk over an ExtractContext.
#include "archive/archive_reader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "archive/crc32.h"
#include "archive/extract_context.h"
#include "archive/header_reader.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"

namespace {

using rartest::Bytes;
using rartest::RarFileEntry;
using rartest::RarWriter;

// A context with its CRC table built and the writer's image opened as the archive file.
class Reader {
 public:
  explicit Reader(const RarWriter& writer) {
    const std::string path = dir_.File("archive.bin");
    EXPECT_TRUE(writer.WriteFile(path));
    context_ = static_cast<ExtractContext*>(std::calloc(1, sizeof(ExtractContext)));
    BuildCrcTable(context_);
    const std::u16string wide = Wide(path);
    context_->archiveFile = OpenReadStream(wide.c_str());
  }
  ~Reader() {
    CloseStream(context_->archiveFile);
    std::free(context_);
  }
  ExtractContext* operator->() { return context_; }
  ExtractContext* get() { return context_; }
  // Locates the archive and moves to its first block, as the driver does.
  bool Start() {
    if (!LocateArchive(context_)) return false;
    StreamSeek(context_->archiveFile, int32_t(context_->mainHeaderSize) - kMainHeaderBytes,
               kSeekCurrent);
    return true;
  }
  // Reads the next entry and moves to the next block. Returns ReadNextEntry's result.
  int Next() {
    const int n = ReadNextEntry(context_);
    if (n > 0) StreamSeek(context_->archiveFile, context_->nextBlock, kSeekSet);
    return n;
  }

 private:
  TempDir dir_;
  ExtractContext* context_;
};

struct OffsetCase {
  size_t prefix;
  bool found;
};

class LocateAtOffset : public testing::TestWithParam<OffsetCase> {};

TEST_P(LocateAtOffset, FindsTheMarkerOnlyAtZeroOrFromSevenTo249996) {
  RarWriter w;
  w.AddPrefix(Bytes(GetParam().prefix, 0x90));
  w.AddArchiveStart();
  w.AddStored("a.txt", rartest::BytesOf("abc"));
  Reader r(w);
  EXPECT_EQ(LocateArchive(r.get()) != 0, GetParam().found);
  if (GetParam().found) {
    EXPECT_EQ(StreamTell(r->archiveFile), int32_t(GetParam().prefix + 20));
    EXPECT_EQ(r->checksumMethod, 2);
    EXPECT_EQ(r->mainHeaderSize, 13);
    EXPECT_EQ(r->mainHeaderDamaged, 0u);
    EXPECT_EQ(std::memcmp(r->marker, "Rar!\x1a\x07\x00", 7), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Offsets, LocateAtOffset,
                         testing::Values(OffsetCase{0, true}, OffsetCase{1, false},
                                         OffsetCase{6, false}, OffsetCase{7, true},
                                         OffsetCase{0x1E400, true}, OffsetCase{249996, true},
                                         OffsetCase{249997, false}));

TEST(Locate, PassesOverAMarkerWithoutMainHeaderType) {
  RarWriter w;
  w.AddPrefix(Bytes(100, 0));
  // "Rar!" 1A 07 00 inside the image, but not the main header's type after it.
  w.AddPrefix({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0x00, 0x00, 0x74, 0x00});
  w.AddPrefix(Bytes(50, 0x52));  // many 'R' bytes on the way
  const size_t start = w.bytes().size();
  w.AddArchiveStart();
  Reader r(w);
  ASSERT_TRUE(LocateArchive(r.get()));
  EXPECT_EQ(StreamTell(r->archiveFile), int32_t(start + 20));
}

TEST(Locate, RefusesShortFilesAndCutMainHeaders) {
  RarWriter tiny;
  tiny.AddPrefix({0x52, 0x61, 0x72});
  Reader a(tiny);
  EXPECT_FALSE(LocateArchive(a.get()));

  RarWriter cut;
  cut.AddArchiveStart();
  cut.Truncate(7 + 12);  // marker at 0, main header one byte short
  Reader b(cut);
  EXPECT_FALSE(LocateArchive(b.get()));

  RarWriter empty;
  Reader c(empty);
  EXPECT_FALSE(LocateArchive(c.get()));
}

// The older format's marker ('R' 'E' '~' '^' with "RSFX" at offset 28) is not read: such a
// file holds no archive for this system, even with a RAR 2.x marker further on.
TEST(Locate, TreatsTheOlderFormatAsNoArchive) {
  RarWriter w;
  Bytes image(40, 0);
  std::memcpy(image.data() + 28, "RSFX", 4);
  std::memcpy(image.data() + 32, "RE~^", 4);
  w.AddPrefix(image);
  w.AddArchiveStart();
  Reader r(w);
  EXPECT_FALSE(LocateArchive(r.get()));
  // Without the RSFX tag the same bytes are no candidate and the archive behind is found.
  RarWriter plain;
  image[28] = 0;
  plain.AddPrefix(image);
  plain.AddArchiveStart();
  Reader p(plain);
  EXPECT_TRUE(LocateArchive(p.get()));
}

TEST(Locate, RecordsAMainHeaderChecksumMismatch) {
  RarWriter w;
  w.AddMarker();
  w.AddMainHeader(0, 13, 0x1234);
  Reader r(w);
  ASSERT_TRUE(LocateArchive(r.get()));
  EXPECT_EQ(r->mainHeaderDamaged, 1u);
  EXPECT_EQ(r->mainHeaderCrc, 0x1234);
}

TEST(ReadNextEntry, ReadsEveryFieldOfAFileHeader) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "docs/read me.txt";
  e.content = rartest::BytesOf("hello");
  e.flags = kBlockLong | kEntrySolid | kEntryEncrypted;
  e.hostOs = rartest::kHostWindows;
  e.attributes = 0x2020;
  e.fileTime = 0x3EBB6000;
  e.unpackVersion = 20;
  e.method = 0x33;
  const rartest::RarBlock block = w.AddFile(e);
  Reader r(w);
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(ReadNextEntry(r.get()), 32 + 16);
  EXPECT_STREQ(r->name, "docs\\read me.txt");
  EXPECT_EQ(r->lastBlockType, kBlockFile);
  EXPECT_EQ(r->entryFlags, 0x8014);
  EXPECT_EQ(r->packedSize, 5);
  EXPECT_EQ(r->unpackedSize, 5);
  EXPECT_EQ(r->fileCrc, rartest::Crc32(e.content));
  EXPECT_EQ(r->fileTime, 0x3EBB6000u);
  EXPECT_EQ(r->unpackVersion, 20);
  EXPECT_EQ(r->method, 0x33);
  EXPECT_EQ(r->attributes, 0x2020u);
  EXPECT_EQ(r->entryHeaderDamaged, 0u);
  EXPECT_EQ(r->blockStart, int32_t(block.start));
  EXPECT_EQ(r->nextBlock, int32_t(block.end));
  EXPECT_EQ(StreamTell(r->archiveFile), int32_t(block.dataStart));
}

struct AttributeCase {
  uint8_t hostOs;
  uint16_t flags;
  uint32_t stored;
  uint32_t expected;
};

class AttributeRule : public testing::TestWithParam<AttributeCase> {};

TEST_P(AttributeRule, OnlyDosOs2AndWindowsKeepTheirAttributes) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "x";
  e.hostOs = GetParam().hostOs;
  e.flags = uint16_t(kBlockLong | GetParam().flags);
  e.attributes = GetParam().stored;
  w.AddFile(e);
  Reader r(w);
  ASSERT_TRUE(r.Start());
  ASSERT_GT(ReadNextEntry(r.get()), 0);
  EXPECT_EQ(r->attributes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Hosts, AttributeRule,
                         testing::Values(AttributeCase{2, 0, 0x2020, 0x2020},
                                         AttributeCase{0, 0xE0, 0x01, 0x01},
                                         AttributeCase{1, 0, 0x10, 0x10},
                                         AttributeCase{3, 0xE0, 0x81A4, 0x10},
                                         AttributeCase{3, 0x60, 0x41ED, 0x20},
                                         AttributeCase{5, 0, 0x10, 0x20}));

TEST(ReadNextEntry, SkipsOtherBlockTypesWithAndWithoutData) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("first", rartest::BytesOf("1"));
  w.AddBlock(0x75, 0x8000, Bytes(40, 0x74));  // data full of bytes that look like file headers
  w.AddBlock(0x76, 0x0000, {}, Bytes(30, 0x74));
  w.AddBlock(0x79, 0x8000, Bytes(3, 1));
  w.AddStored("second", rartest::BytesOf("22"));
  w.AddBlock(0x79, 0x4000, {}, {}, uint16_t(199));  // header size 199 runs past the end
  Reader r(w);
  ASSERT_TRUE(r.Start());
  ASSERT_GT(r.Next(), 0);
  EXPECT_STREQ(r->name, "first");
  ASSERT_EQ(r.Next(), 32 + 6);
  EXPECT_STREQ(r->name, "second");
  EXPECT_EQ(r.Next(), 0);
}

// The walk ends at a sound end-of-archive block, whatever follows it: here a file header
// that the reader would otherwise take for an entry. An end block whose checksum does not
// match is passed over like any other block, so that a damaged header hides no entries.
TEST(ReadNextEntry, StopsAtTheEndOfArchiveBlock) {
  for (bool damaged : {false, true}) {
    RarWriter w;
    w.AddArchiveStart();
    w.AddStored("inside", rartest::BytesOf("1"));
    const rartest::RarBlock end = w.AddBlock(kBlockEnd, kBlockSkipIfUnknown);
    w.AddStored("after-the-end", rartest::BytesOf("22"));
    if (damaged) w.DamageByte(end.start, 0x01);
    Reader r(w);
    ASSERT_TRUE(r.Start());
    ASSERT_GT(r.Next(), 0);
    EXPECT_STREQ(r->name, "inside");
    if (damaged) {
      ASSERT_GT(r.Next(), 0);
      EXPECT_STREQ(r->name, "after-the-end");
      continue;
    }
    EXPECT_EQ(r.Next(), 0);
    EXPECT_EQ(r->lastBlockType, kBlockEnd);
    EXPECT_EQ(r->walkStoppedEarly, 0u);
    EXPECT_EQ(r->nextBlock, int32_t(end.end));
    EXPECT_STREQ(r->name, "inside");  // the entry fields are those of the last file header
  }
}

TEST(ReadNextEntry, ReportsASubBlockAndKeepsTheFileHeaderFields) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("file", rartest::BytesOf("abc"));
  const rartest::RarBlock sub = w.AddSubBlock(Bytes(64, 0xEE));
  w.AddStored("after", rartest::BytesOf("z"));
  Reader r(w);
  ASSERT_TRUE(r.Start());
  ASSERT_GT(r.Next(), 0);
  const uint32_t crc = r->fileCrc;
  EXPECT_EQ(ReadNextEntry(r.get()), 32);
  EXPECT_EQ(r->lastBlockType, kBlockSub);
  EXPECT_EQ(r->entryBlockType, kBlockFile);
  EXPECT_EQ(r->fileCrc, crc);
  EXPECT_EQ(r->packedSize, 3);
  EXPECT_EQ(StreamTell(r->archiveFile), int32_t(sub.start));
  EXPECT_EQ(r->nextBlock, int32_t(sub.end));
  StreamSeek(r->archiveFile, r->nextBlock, kSeekSet);
  ASSERT_GT(r.Next(), 0);
  EXPECT_STREQ(r->name, "after");
}

TEST(ReadNextEntry, CutsALongNameAndStillFindsTheData) {
  RarWriter w;
  w.AddArchiveStart();
  const std::string name(300, 'n');
  const rartest::RarBlock b = w.AddStored(name, rartest::BytesOf("data"));
  Reader r(w);
  ASSERT_TRUE(r.Start());
  EXPECT_EQ(ReadNextEntry(r.get()), 32 + 259);
  EXPECT_EQ(std::strlen(r->name), 259u);
  EXPECT_EQ(r->nameSize, 259);
  EXPECT_EQ(r->blockStart + r->entryHeaderSize, int32_t(b.dataStart));
  // The checksum over the whole header, the whole name included, is recognised.
  EXPECT_EQ(r->entryHeaderDamaged, 0u);
}

// Writers take the header checksum either over the fixed part and the name or over the whole
// header, further fields included; either is sound, and a changed byte is still seen.
TEST(ReadNextEntry, AcceptsAChecksumOverTheWholeHeaderAndSeesRealDamage) {
  struct Case {
    const char* what;
    std::string name;
    Bytes extra;
    bool wholeHeaderChecksum;
    int damageAt;  // offset in the block of a byte to flip after the checksum is set, or -1
    bool damaged;
  };
  const Case cases[] = {
      {"fields after the name, checksum over fixed part and name", "a.txt", Bytes(9, 0x41), false, -1, false},
      {"fields after the name, checksum over the whole header", "a.txt", Bytes(9, 0x41), true, -1, false},
      {"a changed further field", "a.txt", Bytes(9, 0x41), true, 32 + 5 + 3, true},
      {"a changed name byte", "a.txt", Bytes(9, 0x41), true, 33, true},
      {"a 300-byte name with a changed byte beyond the 259 read", std::string(300, 'n'), {}, true, 32 + 280, true},
  };
  for (const Case& c : cases) {
    RarWriter w;
    w.AddArchiveStart();
    RarFileEntry e;
    e.name = c.name;
    e.content = rartest::BytesOf("data");
    e.extraHeader = c.extra;
    const rartest::RarBlock b = w.AddFile(e);
    if (c.wholeHeaderChecksum) {
      const Bytes& image = w.bytes();
      const size_t headerEnd = b.dataStart;
      const uint16_t crc = uint16_t(rartest::Crc32(image.data() + b.start + 2, headerEnd - b.start - 2));
      const uint16_t old = uint16_t(image[b.start] | image[b.start + 1] << 8);
      w.DamageByte(b.start, uint8_t((old ^ crc) & 0xFF));
      w.DamageByte(b.start + 1, uint8_t((old ^ crc) >> 8));
    }
    if (c.damageAt >= 0) w.DamageByte(b.start + size_t(c.damageAt), 0x04);
    w.AddStored("next", rartest::BytesOf("n"));
    Reader r(w);
    ASSERT_TRUE(r.Start());
    ASSERT_GT(r.Next(), 0) << c.what;
    EXPECT_EQ(r->entryHeaderDamaged, c.damaged ? 1u : 0u) << c.what;
    ASSERT_GT(r.Next(), 0) << c.what;  // the walk goes on from where it was
    EXPECT_STREQ(r->name, "next") << c.what;
  }
}

TEST(ReadNextEntry, EndsAtMalformedBlocksAndAtTheEnd) {
  struct Case {
    const char* what;
    uint16_t headerSize;
    uint32_t dataSize;
  };
  const Case cases[] = {{"header size below 7", 6, 0},
                        {"successor before the start", 7, 0xFFFFFF00u},
                        {"successor beyond 2 GiB", 7, 0x7FFFFFF0u}};
  for (const Case& c : cases) {
    RarWriter w;
    w.AddArchiveStart();
    w.AddBlock(0x7A, 0x8000, {}, {}, c.headerSize, c.dataSize);
    w.AddStored("never", rartest::BytesOf("x"));
    Reader r(w);
    ASSERT_TRUE(r.Start());
    EXPECT_EQ(ReadNextEntry(r.get()), 0) << c.what;
    EXPECT_EQ(r->walkStoppedEarly, 1u) << c.what;
  }
  // A 7-byte block ending the file: its missing bytes read as 0, then the walk ends.
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("only", rartest::BytesOf("x"));
  w.AddBlock(0x7B, 0);
  Reader r(w);
  ASSERT_TRUE(r.Start());
  EXPECT_GT(r.Next(), 0);
  EXPECT_EQ(r.Next(), 0);
  EXPECT_EQ(r->walkStoppedEarly, 0u);  // a whole block, then the end of the file
}

TEST(ReadNextEntry, RecordsAFileHeaderChecksumMismatchAndGoesOn) {
  RarWriter w;
  w.AddArchiveStart();
  const rartest::RarBlock first = w.AddStored("first", rartest::BytesOf("1"));
  w.AddStored("second", rartest::BytesOf("2"));
  w.DamageByte(first.start + 32);  // a name byte
  Reader r(w);
  ASSERT_TRUE(r.Start());
  ASSERT_GT(r.Next(), 0);
  EXPECT_EQ(r->entryHeaderDamaged, 1u);
  ASSERT_GT(r.Next(), 0);
  EXPECT_EQ(r->entryHeaderDamaged, 0u);
  EXPECT_STREQ(r->name, "second");
}

TEST(ReadNextEntry, FollowsALongerMainHeader) {
  RarWriter w;
  w.AddMarker();
  w.AddMainHeader(0, 20);
  w.AddStored("file", rartest::BytesOf("1"));
  Reader r(w);
  ASSERT_TRUE(r.Start());
  ASSERT_GT(r.Next(), 0);
  EXPECT_STREQ(r->name, "file");
}

// The reader is written once over both records: a HeaderReader must see every header as the
// extraction run's context does, through sub-blocks, other blocks, a cut name, a foreign
// host's attributes, a damaged header and an unusable block at the end.
TEST(HeaderReader, WalksLikeTheExtractionContext) {
  RarWriter w;
  w.AddPrefix(Bytes(3000, 0x52));
  w.AddArchiveStart();
  w.AddStored("first/one.txt", rartest::BytesOf("1"));
  w.AddBlock(0x75, 0x8000, Bytes(40, 0x74));
  w.AddSubBlock(Bytes(64, 0xEE));
  w.AddStored(std::string(300, 'n'), rartest::BytesOf("22"));
  RarFileEntry foreign;
  foreign.name = "folder";
  foreign.hostOs = 3;
  foreign.flags = uint16_t(kBlockLong | kEntryDictionaryMask);
  w.AddFile(foreign);
  const rartest::RarBlock damaged = w.AddStored("damaged", rartest::BytesOf("333"));
  w.DamageByte(damaged.start + 32);
  w.AddBlock(0x79, 0x4000, {}, {}, uint16_t(3));
  Reader context(w);
  TempDir dir;
  ASSERT_TRUE(w.WriteFile(dir.File("archive.bin")));
  auto* reader = new HeaderReader();
  BuildCrcTable(&reader->crc);
  const std::u16string wide = Wide(dir.File("archive.bin"));
  reader->archiveFile = OpenReadStream(wide.c_str());

  ASSERT_TRUE(context.Start());
  ASSERT_TRUE(LocateArchive(reader));
  EXPECT_EQ(std::memcmp(reader->marker, context->marker, 7), 0);
  EXPECT_EQ(reader->mainHeaderDamaged, context->mainHeaderDamaged);
  StreamSeek(reader->archiveFile, int32_t(reader->mainHeaderSize) - kMainHeaderBytes, kSeekCurrent);
  int steps = 0;
  for (;; ++steps) {
    const int n = context.Next();
    ASSERT_EQ(ReadNextEntry(reader), n) << steps;
    EXPECT_EQ(reader->walkStoppedEarly, context->walkStoppedEarly) << steps;
    if (n <= 0) break;
    StreamSeek(reader->archiveFile, reader->nextBlock, kSeekSet);
    EXPECT_EQ(reader->lastBlockType, context->lastBlockType) << steps;
    EXPECT_STREQ(reader->name, context->name) << steps;
    EXPECT_EQ(reader->entryHeaderCrc, context->entryHeaderCrc) << steps;
    EXPECT_EQ(reader->entryFlags, context->entryFlags) << steps;
    EXPECT_EQ(reader->packedSize, context->packedSize) << steps;
    EXPECT_EQ(reader->unpackedSize, context->unpackedSize) << steps;
    EXPECT_EQ(reader->fileCrc, context->fileCrc) << steps;
    EXPECT_EQ(reader->attributes, context->attributes) << steps;
    EXPECT_EQ(reader->entryHeaderDamaged, context->entryHeaderDamaged) << steps;
    EXPECT_EQ(reader->blockStart, context->blockStart) << steps;
  }
  EXPECT_EQ(steps, 5);  // four file headers and the sub-block
  EXPECT_EQ(reader->walkStoppedEarly, 1u);
  CloseStream(reader->archiveFile);
  delete reader;
}

}  // namespace
