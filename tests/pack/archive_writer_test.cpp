// The archive writer: headers as the format lays them out, and archives that the extraction
// driver reads back entry by entry, bare or appended to a stub, solid or not, at every level.
#include "pack/archive_writer.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "pack_test_data.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"

namespace {

using packtest::Bytes;

struct Input {
  std::string name;
  Bytes data;
  uint32_t time;
  uint32_t attributes;
};

int ToBytes(void* user, const uint8_t* bytes, size_t count) {
  static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), bytes, bytes + count);
  return 0;
}

void KeepReport(void* user, size_t index, const PackEntryReport& r) {
  auto& reports = *static_cast<std::vector<PackEntryReport>*>(user);
  EXPECT_EQ(index, reports.size());
  reports.push_back(r);
}

// Adds every input to a begun archive, all handed over together, and ends it.
void AddInputs(ArchiveWriter& w, const std::vector<Input>& inputs, std::vector<PackEntryReport>* reports) {
  std::vector<PackEntryInput> entries;
  for (const Input& in : inputs) {
    PackEntryInput e;
    e.name = in.name;
    e.data = in.data.data();
    e.size = in.data.size();
    e.fileTime = in.time;
    e.attributes = in.attributes;
    entries.push_back(e);
  }
  std::vector<PackEntryReport> got;
  EXPECT_EQ(AddArchiveEntries(w, entries.data(), entries.size(), KeepReport, &got, nullptr), kPackOk);
  EXPECT_EQ(got.size(), inputs.size());
  if (reports) *reports = got;
  EXPECT_EQ(WriteArchiveEnd(w), kPackOk);
  EndArchive(w);
}

Bytes BuildArchive(const std::vector<Input>& inputs, int level, bool solid, std::vector<PackEntryReport>* reports = nullptr,
                   size_t offset = 0) {
  Bytes out;
  ArchiveWriter w;
  EXPECT_EQ(BeginArchive(w, PackSink{ToBytes, &out}, level, solid, offset), kPackOk);
  AddInputs(w, inputs, reports);
  return out;
}

struct Extracted {
  std::vector<std::string> names;
  std::vector<Bytes> contents;
};

int TakeIntoMemory(char16_t* name, const uint8_t* data, uint32_t size, void* value) {
  Extracted& e = *static_cast<Extracted*>(value);
  if (!data) {
    std::string narrow;
    for (const char16_t* p = name; *p; ++p) narrow.push_back(char(*p));
    e.names.push_back(narrow);
    name[0] = 1;  // decode into memory
    return 0;
  }
  e.contents.push_back(Bytes(data, data + size));
  return 0;
}

int Extract(const TempDir& dir, const Bytes& file, Extracted& out) {
  const std::string path = dir.File("setup.exe");
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
  return ExtractArchive(Wide(path).c_str(), TakeIntoMemory, &out);
}

uint32_t Get16(const Bytes& b, size_t at) { return uint32_t(b[at] | b[at + 1] << 8); }
uint32_t Get32(const Bytes& b, size_t at) { return Get16(b, at) | Get16(b, at + 2) << 16; }

std::vector<Input> SampleInputs() {
  return {
      {"FILE_ID.DIZ", rartest::BytesOf("Tool Version 2.1\r\n"), rartest::DosFileTime(2011, 5, 27, 12, 0, 0), 0x20},
      {"TOOL.INF", rartest::BytesOf("ID=TL1\r\nGroup=Tool\r\n"), rartest::DosFileTime(2020, 1, 2, 3, 4, 6), 0x21},
      {"bin\\KTool.exe", packtest::LzMixBytes(150000, 3), rartest::DosFileTime(2024, 12, 31, 23, 59, 58), 0x20},
      {"empty.txt", {}, rartest::DosFileTime(1999, 9, 9, 9, 9, 8), 0x20},
      {"noise.bin", packtest::RandomBytes(20000, 4), rartest::DosFileTime(2001, 1, 1, 0, 0, 0), 0x20},
      {"docs\\readme.txt", packtest::TextBytes(40000, 5), rartest::DosFileTime(2002, 2, 2, 2, 2, 2), 0x20},
  };
}

TEST(ArchiveWriter, HeadersCarryEveryFieldWithValidChecksums) {
  const std::vector<Input> inputs = SampleInputs();
  std::vector<PackEntryReport> reports;
  const Bytes a = BuildArchive(inputs, 3, true, &reports);
  const Bytes marker = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
  ASSERT_TRUE(std::equal(marker.begin(), marker.end(), a.begin()));
  EXPECT_EQ(a[kMarkerBytes + kFieldBlockType], kBlockMain);
  EXPECT_EQ(Get16(a, 10), kMainFlagSolid);
  EXPECT_EQ(Get16(a, 12), 13u);
  EXPECT_EQ(Get16(a, 7), rartest::Crc32(a.data() + 9, 11) & 0xFFFF);
  size_t at = 20;
  for (size_t i = 0; i < inputs.size(); ++i) {
    ASSERT_LT(at + 32, a.size());
    const Input& in = inputs[i];
    EXPECT_EQ(a[at + kFieldBlockType], kBlockFile);
    const uint32_t flags = Get16(a, at + 3);
    EXPECT_EQ(flags & kBlockLong, kBlockLong);
    EXPECT_EQ(flags & kEntryDictionaryMask, kEntryWindow1M);  // 1 MB window, not a directory
    EXPECT_EQ((flags & kEntrySolid) != 0, i > 0) << in.name;
    const uint32_t headerSize = Get16(a, at + 5);
    EXPECT_EQ(headerSize, 32 + in.name.size());
    const uint32_t packed = Get32(a, at + 7);
    EXPECT_EQ(packed, reports[i].packedSize);
    EXPECT_EQ(Get32(a, at + 11), in.data.size());
    EXPECT_EQ(a[at + 15], 2);
    EXPECT_EQ(Get32(a, at + 16), rartest::Crc32(in.data));
    EXPECT_EQ(Get32(a, at + 20), in.time);
    EXPECT_EQ(a[at + 24], 20);
    EXPECT_EQ(a[at + 25], reports[i].stored ? 0x30 : 0x33) << in.name;
    EXPECT_EQ(Get16(a, at + 26), in.name.size());
    EXPECT_EQ(Get32(a, at + 28), in.attributes);
    EXPECT_EQ(std::string(a.begin() + at + 32, a.begin() + at + 32 + in.name.size()), in.name);
    EXPECT_EQ(Get16(a, at), rartest::Crc32(a.data() + at + 2, headerSize - 2) & 0xFFFF) << in.name;
    at += headerSize + packed;
  }
  // The end-of-archive block: checksum, type 0x7B, flags 0x4000, header size 7.
  const Bytes end = {0xC4, 0x3D, 0x7B, 0x00, 0x40, 0x07, 0x00};
  ASSERT_EQ(at + end.size(), a.size());
  EXPECT_TRUE(std::equal(end.begin(), end.end(), a.begin() + ptrdiff_t(at)));
  EXPECT_TRUE(reports[3].stored);   // empty
  EXPECT_TRUE(reports[4].stored);   // incompressible
  EXPECT_FALSE(reports[2].stored);
}

TEST(ArchiveWriter, ExtractionReadsBackEveryEntryAtEveryLevel) {
  TempDir dir;
  const std::vector<Input> inputs = SampleInputs();
  for (int level = 0; level <= 5; ++level) {
    for (bool solid : {true, false}) {
      for (size_t stub : {size_t(0), size_t(0x1E400)}) {
        Bytes file(stub, 0x90);
        const Bytes archive = BuildArchive(inputs, level, solid, nullptr, stub);
        file.insert(file.end(), archive.begin(), archive.end());
        Extracted got;
        ASSERT_EQ(Extract(dir, file, got), 0) << "level " << level << " solid " << solid << " stub " << stub;
        ASSERT_EQ(got.contents.size(), inputs.size());
        for (size_t i = 0; i < inputs.size(); ++i) {
          EXPECT_EQ(got.names[i], inputs[i].name);
          EXPECT_TRUE(got.contents[i] == inputs[i].data) << inputs[i].name << " level " << level;
        }
        if (level == 0) {  // everything stored
          size_t n = 20 + kEndBlockBytes;
          for (const Input& in : inputs) n += 32 + in.name.size() + in.data.size();
          EXPECT_EQ(archive.size(), n);
        }
      }
    }
  }
}

// Bytes appended to a finished setup (a signature, or anything else) are no part of its
// archive, even when they read as a sound file header: the walk ends at the end block.
TEST(ArchiveWriter, NothingAfterTheEndBlockIsExtracted) {
  TempDir dir;
  const std::vector<Input> inputs = SampleInputs();
  Bytes file = BuildArchive(inputs, 3, true);
  rartest::RarWriter trailer;
  trailer.AddStored("appended.txt", rartest::BytesOf("not part of the archive"));
  file.insert(file.end(), trailer.bytes().begin(), trailer.bytes().end());
  Extracted got;
  ASSERT_EQ(Extract(dir, file, got), 0);
  EXPECT_EQ(got.names.size(), inputs.size());
  EXPECT_EQ(got.names.back(), inputs.back().name);
}

TEST(ArchiveWriter, DamagedDataIsCaughtByTheChecksum) {
  TempDir dir;
  Bytes archive = BuildArchive(SampleInputs(), 3, true);
  archive[archive.size() - 100] ^= 0x10;  // inside the last entry's packed data
  Extracted got;
  EXPECT_EQ(Extract(dir, archive, got), 3);
}

TEST(ArchiveWriter, RefusesWhatTheReaderCannotHold) {
  Bytes out;
  ArchiveWriter w;
  ASSERT_EQ(BeginArchive(w, PackSink{ToBytes, &out}, 3, true, 0x7FFFFFF0), kPackTooLarge);
  EndArchive(w);
  ASSERT_EQ(BeginArchive(w, PackSink{ToBytes, &out}, 3, true), kPackOk);
  PackEntryInput nameless;
  EXPECT_EQ(AddArchiveEntry(w, nameless, nullptr), kPackBadName);
  EndArchive(w);
}

// A sink that can go back, as a file can: the writer streams each entry into it and fills in
// the header afterwards.
int RewriteBytes(void* user, uint64_t offset, const uint8_t* bytes, size_t count) {
  Bytes& out = *static_cast<Bytes*>(user);
  if (offset + count > out.size()) return 1;
  std::copy(bytes, bytes + count, out.begin() + ptrdiff_t(offset));
  return 0;
}
int TruncateBytes(void* user, uint64_t offset) {
  Bytes& out = *static_cast<Bytes*>(user);
  if (offset > out.size()) return 1;
  out.resize(size_t(offset));
  return 0;
}

struct FailingSource {
  size_t readable;  // bytes it gives before it fails
};
int ReadFailing(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  if (offset + count > static_cast<FailingSource*>(user)->readable) return 1;
  std::fill(bytes, bytes + count, uint8_t('x'));
  return 0;
}

// Streamed entries give the same archive as entries collected in memory first, those stored
// after their packed bytes had been streamed (an incompressible megabyte and more) included.
TEST(ArchiveWriter, StreamedEntriesGiveTheSameArchive) {
  std::vector<Input> inputs = SampleInputs();
  inputs.push_back({"media.bin", packtest::RandomBytes(1300000, 6), 0, 0x20});
  inputs.push_back({"after.txt", packtest::TextBytes(30000, 7), 0, 0x20});
  struct Case {
    int level;
    bool solid;
  };
  for (const Case c : {Case{0, true}, Case{1, true}, Case{3, false}}) {
    const Bytes collected = BuildArchive(inputs, c.level, c.solid, nullptr, 1000);
    Bytes streamed;
    ArchiveWriter w;
    ASSERT_EQ(BeginArchive(w, PackSink{ToBytes, &streamed, RewriteBytes, TruncateBytes}, c.level, c.solid, 1000), kPackOk);
    AddInputs(w, inputs, nullptr);
    EXPECT_TRUE(streamed == collected) << "level " << c.level;
  }
}

TEST(ArchiveWriter, AnEntryWhoseSourceFailsFailsInEitherSink) {
  for (bool streamed : {false, true}) {
    for (int level : {0, 3}) {
      Bytes out;
      ArchiveWriter w;
      PackSink sink{ToBytes, &out};
      if (streamed) sink.rewrite = RewriteBytes, sink.truncate = TruncateBytes;
      ASSERT_EQ(BeginArchive(w, sink, level, true), kPackOk);
      // The failing entry is read ahead while the one before it is written; the failure is
      // told at its own turn, naming it.
      FailingSource source{5000};
      const Bytes text = packtest::TextBytes(30000, 8);
      std::vector<PackEntryInput> entries(3);
      for (PackEntryInput& e : entries) e.name = "text.txt", e.data = text.data(), e.size = text.size();
      entries[1].name = "shrunk.bin";
      entries[1].size = 20000;
      entries[1].source = PackSource{ReadFailing, &source};
      std::vector<PackEntryReport> done;
      size_t failed = 99;
      EXPECT_EQ(AddArchiveEntries(w, entries.data(), entries.size(), KeepReport, &done, &failed), kPackReadFailed)
          << streamed << level;
      EXPECT_EQ(failed, 1u);
      EXPECT_EQ(done.size(), 1u);
      EndArchive(w);
    }
  }
}

TEST(ArchiveWriter, DosDateTimeClampsToTheFormatsRange) {
  EXPECT_EQ(DosDateTime(2011, 5, 27, 12, 0, 0), 0x3EBB6000u);
  EXPECT_EQ(DosDateTime(1970, 1, 1, 0, 0, 0), DosDateTime(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(DosDateTime(2200, 1, 1, 0, 0, 0), DosDateTime(2107, 12, 31, 23, 59, 58));
  EXPECT_EQ(DosDateTime(2000, 1, 1, 0, 0, 59) & 0x1F, 29u);  // two-second units
}

}  // namespace
