// The extraction driver: callback protocol, output targets, checksums, file times and
// attributes, and the result codes, on archives made by the test writer.
#include "archive/extract.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "archive/header_reader.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"
#include "system/host/host_paths.h"

namespace {

using rartest::Bytes;
using rartest::BytesOf;
using rartest::RarFileEntry;
using rartest::RarWriter;

// One callback call as the test saw it.
struct Call {
  std::string name;       // name as given (UTF-8)
  bool hasData;
  Bytes data;             // size + 1 bytes on a second call (the appended 0 included)
  uint32_t size;
};

// A scripted callback: decide(name) returns the name to leave (UTF-8; "" = discard,
// "\x01..." = memory) and the answer; every call is recorded.
struct Script {
  std::function<std::string(const std::string&)> decide = [](const std::string&) {
    return std::string("\x01");
  };
  int answerFirst = 0;
  int answerSecond = 0;
  std::vector<Call> calls;
};

int ScriptCallback(char16_t* name, const uint8_t* data, uint32_t size, void* value) {
  Script* s = static_cast<Script*>(value);
  Call c{HostUtf8(name), data != nullptr, {}, size};
  if (data) c.data.assign(data, data + size + 1);
  s->calls.push_back(c);
  if (data || (name[0] >= 1 && name[0] <= 31)) return s->answerSecond;
  const std::u16string leave = HostUtf16(s->decide(c.name));
  size_t i = 0;
  for (; i < leave.size() && i < 259; ++i) name[i] = leave[i];
  name[i] = 0;
  return s->answerFirst;
}

class Extract : public testing::Test {
 protected:
  int Run(const RarWriter& w, Script* script) {
    const std::string path = dir_.File("archive.bin");
    EXPECT_TRUE(w.WriteFile(path));
    return ExtractArchive(Wide(path).c_str(), ScriptCallback, script);
  }
  // A script that writes every entry to a file under the scratch folder.
  Script ToFiles() {
    Script s;
    const std::string base = dir_.path();
    s.decide = [base](const std::string& name) { return base + "/out-" + name; };
    return s;
  }
  std::string Out(const std::string& name) { return dir_.File("out-" + name); }
  TempDir dir_;
};

TEST_F(Extract, HandsMemoryEntriesOverWithATerminatingZero) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("empty.inf", {});
  w.AddStored("seven.lng", BytesOf("1234567"));
  w.AddStored("again.lng", BytesOf("ab"));
  Script s;
  EXPECT_EQ(Run(w, &s), 0);
  ASSERT_EQ(s.calls.size(), 6u);
  EXPECT_EQ(s.calls[0].name, "empty.inf");
  EXPECT_FALSE(s.calls[0].hasData);
  ASSERT_TRUE(s.calls[1].hasData);
  EXPECT_EQ(s.calls[1].size, 0u);
  EXPECT_EQ(s.calls[1].data, Bytes{0});
  EXPECT_EQ(s.calls[1].name, "\x01");  // the name the callback left
  EXPECT_EQ(s.calls[3].data, BytesOf(std::string("1234567") + '\0'));
  EXPECT_EQ(s.calls[3].size, 7u);
  // The second memory entry starts from an empty buffer.
  EXPECT_EQ(s.calls[5].data, BytesOf(std::string("ab") + '\0'));
}

TEST_F(Extract, StopsAtOnceWhenTheCallbackSaysSo) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("one", BytesOf("1"));
  w.AddStored("two", BytesOf("2"));
  Script s = ToFiles();
  s.answerFirst = 7;
  EXPECT_EQ(Run(w, &s), 0);
  EXPECT_EQ(s.calls.size(), 1u);
  bool exists = true;
  ReadWholeFile(Out("one"), &exists);
  EXPECT_FALSE(exists);

  Script second;
  second.answerSecond = 1;
  EXPECT_EQ(Run(w, &second), 0);
  EXPECT_EQ(second.calls.size(), 2u);  // first entry's two calls, nothing of the second
}

TEST_F(Extract, DiscardedEntriesAreNotChecked) {
  RarWriter w;
  w.AddArchiveStart();
  const rartest::RarBlock b = w.AddStored("damaged", BytesOf("payload"));
  w.AddStored("next", BytesOf("x"));
  w.DamageByte(b.dataStart);
  Script s;
  s.decide = [](const std::string&) { return std::string(); };
  EXPECT_EQ(Run(w, &s), 0);
  EXPECT_EQ(s.calls.size(), 2u);
}

TEST_F(Extract, WritesFilesWithTimeAndAttributes) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "timed.txt";
  e.content = BytesOf("content");
  e.fileTime = 0x3EBB6000;  // 2011-05-27 12:00:00 local time
  w.AddFile(e);
  e.name = "readonly.txt";
  e.attributes = 0x21;
  w.AddFile(e);
  Script s = ToFiles();
  ASSERT_EQ(Run(w, &s), 0);
  EXPECT_EQ(ReadWholeFile(Out("timed.txt")), "content");
  struct stat st;
  ASSERT_EQ(stat(Out("timed.txt").c_str(), &st), 0);
  struct tm local = {};
  local.tm_year = 111;
  local.tm_mon = 4;
  local.tm_mday = 27;
  local.tm_hour = 12;
  local.tm_isdst = -1;
  EXPECT_EQ(st.st_mtime, mktime(&local));
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);
  ASSERT_EQ(stat(Out("readonly.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
}

TEST_F(Extract, DeletesADamagedFileAndEndsTheRun) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("good", BytesOf("fine"));
  const rartest::RarBlock bad = w.AddStored("bad", BytesOf("broken"));
  w.AddStored("never", BytesOf("x"));
  w.DamageByte(bad.dataStart + 2);
  Script s = ToFiles();
  EXPECT_EQ(Run(w, &s), 3);
  EXPECT_EQ(ReadWholeFile(Out("good")), "fine");
  bool exists = true;
  ReadWholeFile(Out("bad"), &exists);
  EXPECT_FALSE(exists);
  EXPECT_EQ(s.calls.size(), 2u);
}

TEST_F(Extract, ReportsAFileThatCannotBeCreated) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("kept", BytesOf("1"));
  w.AddStored("nofolder/x", BytesOf("2"));
  Script s = ToFiles();
  EXPECT_EQ(Run(w, &s), -5);
  EXPECT_EQ(ReadWholeFile(Out("kept")), "1");
}

TEST_F(Extract, AFullDiskFailsTheEntryEvenForASmallFile) {
  // /dev/full refuses every write; a small file must not pass as written in full because
  // the refusal would only surface when the file is closed.
  const std::string full = Out("small");
  ASSERT_EQ(symlink("/dev/full", full.c_str()), 0);
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("small", BytesOf("a few bytes"));
  Script s = ToFiles();
  EXPECT_EQ(Run(w, &s), 3);
}

TEST_F(Extract, SkipsDirectoriesAndVolumeLabels) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddDirectory("folder");
  RarFileEntry label;
  label.name = "LABEL";
  label.attributes = 0x08;
  label.content = BytesOf("ignored");
  label.fileCrc = 0;  // never tested: the entry is skipped
  w.AddFile(label);
  w.AddStored("file", BytesOf("f"));
  Script s = ToFiles();
  EXPECT_EQ(Run(w, &s), 0);
  ASSERT_EQ(s.calls.size(), 2u);
  EXPECT_EQ(s.calls[0].name, "LABEL");
  EXPECT_EQ(s.calls[1].name, "file");
  bool exists = true;
  ReadWholeFile(Out("LABEL"), &exists);
  EXPECT_FALSE(exists);
}

TEST_F(Extract, RefusesAnArchiveThatContinuesAnotherVolume) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("part", BytesOf("x"), rartest::kFlagContinuedFromPrevious);
  Script s;
  EXPECT_EQ(Run(w, &s), 2);
  EXPECT_TRUE(s.calls.empty());
  // Only the first file entry counts.
  RarWriter later;
  later.AddArchiveStart();
  later.AddStored("whole", BytesOf("x"));
  later.AddStored("part", BytesOf("y"), rartest::kFlagContinuedFromPrevious);
  Script t;
  EXPECT_EQ(Run(later, &t), 0);
}

// An entry continued in a next volume cannot be whole: the run reports an incomplete
// archive at its end (after the entry itself was processed).
TEST_F(Extract, EndsWithAnErrorWhenTheLastEntryContinuesInANextVolume) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("first", BytesOf("1"));
  w.AddStored("split", BytesOf("2"), rartest::kFlagContinuedInNext);
  Script s;
  EXPECT_EQ(Run(w, &s), 2);
  EXPECT_EQ(s.calls.size(), 4u);
  // Followed by another entry, the flag does not matter.
  RarWriter ok;
  ok.AddArchiveStart();
  ok.AddStored("split", BytesOf("2"), rartest::kFlagContinuedInNext);
  ok.AddStored("last", BytesOf("3"));
  Script t;
  EXPECT_EQ(Run(ok, &t), 0);
}

TEST_F(Extract, CopiesAStoredEntryUpToItsUnpackedSize) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "cut";
  e.content = BytesOf("abc");
  e.packed = BytesOf("abcdefgh");
  w.AddFile(e);
  Script s;
  EXPECT_EQ(Run(w, &s), 0);
  ASSERT_EQ(s.calls.size(), 2u);
  EXPECT_EQ(s.calls[1].data, BytesOf(std::string("abc") + '\0'));
}

TEST_F(Extract, LeavesOlderMethodsUndecoded) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "old-empty";
  e.method = 0x33;
  e.unpackVersion = 15;
  w.AddFile(e);  // nothing to produce: passes
  e.name = "old";
  e.content = BytesOf("data");
  w.AddFile(e);
  Script s;
  EXPECT_EQ(Run(w, &s), 3);
}

TEST_F(Extract, FindsTheArchiveBehindAnImageAndSkipsOtherBlocks) {
  RarWriter w;
  w.AddPrefix(Bytes(0x1E400, 0xCC));
  w.AddArchiveStart();
  w.AddBlock(0x7A, 0x8000, Bytes(10, 0));
  w.AddStored("a", BytesOf("A"));
  w.AddSubBlock(Bytes(100, 0x74));
  w.AddBlock(0x79, 0);
  w.AddStored("b", BytesOf("B"));
  Script s;
  EXPECT_EQ(Run(w, &s), 0);
  ASSERT_EQ(s.calls.size(), 4u);
  EXPECT_EQ(s.calls[2].name, "b");
}

TEST_F(Extract, IgnoresHeaderChecksums) {
  RarWriter w;
  w.AddMarker();
  w.AddMainHeader(0, 13, 0xBEEF);
  RarFileEntry e;
  e.name = "x";
  e.content = BytesOf("y");
  e.headerCrc = 0x1111;
  w.AddFile(e);
  Script s;
  EXPECT_EQ(Run(w, &s), 0);
  EXPECT_EQ(s.calls.size(), 2u);
}

TEST_F(Extract, ReportsMissingFilesAndFilesWithoutArchive) {
  Script s;
  EXPECT_EQ(ExtractArchive(Wide(dir_.File("missing")).c_str(), ScriptCallback, &s), 2);
  RarWriter junk;
  junk.AddPrefix(Bytes(1000, 'R'));
  EXPECT_EQ(Run(junk, &s), 2);
  EXPECT_TRUE(s.calls.empty());
}

// A memory entry beyond the memory limit is still checksummed over every byte; its second
// call gets no data. A damaged one fails like any other.
TEST_F(Extract, ChecksumsAMemoryEntryTooLargeToHold) {
  Bytes big(kMemoryEntryLimit + 100);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i * 7 + (i >> 13));
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("big", big);
  w.AddStored("small", BytesOf("s"));
  Script s;
  EXPECT_EQ(Run(w, &s), 0);
  ASSERT_EQ(s.calls.size(), 4u);
  EXPECT_FALSE(s.calls[1].hasData);
  EXPECT_EQ(s.calls[1].size, big.size());
  EXPECT_EQ(s.calls[3].data, BytesOf(std::string("s") + '\0'));

  RarWriter damaged;
  damaged.AddArchiveStart();
  const rartest::RarBlock b = damaged.AddStored("big", big);
  damaged.DamageByte(b.end - 1);
  Script t;
  EXPECT_EQ(Run(damaged, &t), 3);
}

// A memory entry whose bytes do not number what its header says is damaged even when its
// checksum matches (the callback would read past the bytes); a file entry is written as it
// comes.
TEST_F(Extract, AMemoryEntryOfAnotherSizeThanItsHeaderIsDamaged) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "short.inf";
  e.content = BytesOf("abc");  // checksum over the 3 bytes that are there
  e.unpackedSize = 4000;
  w.AddFile(e);
  Script memory;
  EXPECT_EQ(Run(w, &memory), 3);
  EXPECT_EQ(memory.calls.size(), 1u);
  Script files = ToFiles();
  EXPECT_EQ(Run(w, &files), 0);
  EXPECT_EQ(ReadWholeFile(Out("short.inf")), "abc");
}

}  // namespace

// The place of the archive that a run reports to its observer (what setuptool test judges
// the bytes behind the archive by) is the one a walk over the headers alone finds.
TEST(ExtractObserverPlace, AgreesWithAWalkOverTheHeaders) {
  struct Case {
    const char* what;
    size_t prefix;        // bytes in front of the archive
    bool endBlock;        // the archive ends in an end block
    bool subBlockLast;    // a sub-block follows the last entry
    size_t trailing;      // bytes after the archive (a signature, padding)
  };
  const Case cases[] = {
      {"bare, end block", 0, true, false, 0},
      {"behind a program, end block, bytes after it", 0x1200, true, false, 700},
      {"no end block", 0x800, false, false, 0},
      {"a sub-block last, then the end block", 0x800, true, true, 16},
  };
  for (const Case& c : cases) {
    RarWriter w;
    if (c.prefix) w.AddPrefix(Bytes(c.prefix, 0x90));
    w.AddArchiveStart();
    w.AddStored("a", BytesOf("first"));
    w.AddStored("b", BytesOf("second"));
    if (c.subBlockLast) w.AddSubBlock(Bytes(40, 0x74));
    if (c.endBlock) w.AddBlock(kBlockEnd, kBlockSkipIfUnknown);
    if (c.trailing) w.AddPrefix(Bytes(c.trailing, 0x5A));
    TempDir dir;
    const std::string path = dir.File("archive.bin");
    ASSERT_TRUE(w.WriteFile(path));
    const std::u16string wide = HostUtf16(path);

    HeaderReader reader = {};
    reader.archiveFile = OpenReadStream(wide.c_str());
    BuildCrcTable(&reader.crc);
    ASSERT_TRUE(LocateArchive(&reader)) << c.what;
    const int32_t offset = StreamTell(reader.archiveFile) - kMarkerBytes - kMainHeaderBytes;
    StreamSeek(reader.archiveFile, int32_t(reader.mainHeaderSize) - kMainHeaderBytes, kSeekCurrent);
    while (ReadNextEntry(&reader) > 0) StreamSeek(reader.archiveFile, reader.nextBlock, kSeekSet);
    CloseStream(reader.archiveFile);
    const bool walkEnd = reader.lastBlockType == kBlockEnd;

    Script s;
    ExtractObserver observer = {};
    ASSERT_EQ(ExtractArchiveObserved(wide.c_str(), ScriptCallback, &s, &observer), 0) << c.what;
    EXPECT_EQ(observer.archiveOffset, int32_t(c.prefix)) << c.what;
    EXPECT_EQ(offset, int32_t(c.prefix)) << c.what;
    EXPECT_EQ(observer.endBlock, c.endBlock) << c.what;
    EXPECT_EQ(walkEnd, c.endBlock) << c.what;
    EXPECT_EQ(observer.archiveEnd, walkEnd ? reader.nextBlock : reader.blockStart) << c.what;
    EXPECT_EQ(size_t(observer.archiveEnd), w.bytes().size() - c.trailing) << c.what;
  }
}
