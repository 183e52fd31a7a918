// setuptool list / test / extract as a user runs them: exit codes, what is printed where,
// and what lands on disk, on archives made by the test writer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/rar_writer.h"
#include "support/temp_dir.h"

namespace {

using rartest::Bytes;
using rartest::BytesOf;
using rartest::RarFileEntry;
using rartest::RarWriter;

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

class Setuptool : public testing::Test {
 protected:
  Outcome Run(const std::string& arguments) {
    const char* bin = std::getenv("KORV_BIN_DIR");
    const std::string tool = std::string(bin ? bin : ".") + "/setuptool";
    const std::string out = dir_.File("stdout"), err = dir_.File("stderr");
    const std::string command = "'" + tool + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
  }
  std::string Write(const RarWriter& w, const std::string& name = "archive.rar") {
    const std::string path = dir_.File(name);
    EXPECT_TRUE(w.WriteFile(path));
    return path;
  }
  TempDir dir_;
};

RarWriter SampleArchive() {
  RarWriter w;
  w.AddArchiveStart();
  w.AddDirectory("docs");
  w.AddStored("docs\\readme.txt", BytesOf("read me"));
  RarFileEntry e;
  e.name = "caf\xe9.txt";  // Windows-1252 e-acute
  e.content = BytesOf("coffee");
  e.flags = 0x8000 | 0x0010 | 0x0004;
  w.AddFile(e);
  return w;
}

TEST_F(Setuptool, HelpForTheToolAndEachCommand) {
  for (const char* args : {"--help", "list --help", "test --help", "extract --help"}) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 0) << args;
    EXPECT_NE(o.out.find("Usage: setuptool"), std::string::npos) << args;
  }
  const Outcome none = Run("");
  EXPECT_EQ(none.exitCode, 2);
  EXPECT_NE(none.err.find("Usage"), std::string::npos);
  EXPECT_EQ(Run("frobnicate").exitCode, 2);
  EXPECT_EQ(Run("list").exitCode, 2);
  EXPECT_EQ(Run("extract onlyone").exitCode, 2);
}

TEST_F(Setuptool, ListsEveryEntryOfABareArchiveAndOneBehindAnImage) {
  const RarWriter bare = SampleArchive();
  RarWriter behind;
  behind.AddPrefix(Bytes(0x1E400, 0x4D));
  behind.AddPrefix(bare.bytes());
  for (const std::string& path : {Write(bare, "bare.rar"), Write(behind, "setup.exe")}) {
    const Outcome o = Run("list '" + path + "'");
    EXPECT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("           7            7  store    "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("docs\\readme.txt"), std::string::npos);
    EXPECT_NE(o.out.find("dir"), std::string::npos);
    EXPECT_NE(o.out.find("solid,encrypted"), std::string::npos);
    EXPECT_NE(o.out.find("caf\xc3\xa9.txt"), std::string::npos);  // shown in UTF-8
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08x", rartest::Crc32(BytesOf("coffee")));
    EXPECT_NE(o.out.find(crc), std::string::npos);
    EXPECT_NE(o.out.find("3 entries"), std::string::npos);
  }
  EXPECT_NE(Run("list '" + Write(behind, "setup.exe") + "'").out.find("offset 123904"),
            std::string::npos);
}

TEST_F(Setuptool, ReportsFilesWithoutArchiveAndMissingFiles) {
  RarWriter junk;
  junk.AddPrefix(BytesOf("MZ just a program"));
  const std::string path = Write(junk);
  for (const char* cmd : {"list", "test"}) {
    const Outcome o = Run(std::string(cmd) + " '" + path + "'");
    EXPECT_EQ(o.exitCode, 1) << cmd;
    EXPECT_NE(o.err.find("no archive found"), std::string::npos) << cmd;
    EXPECT_TRUE(o.out.empty()) << cmd;
  }
  const Outcome missing = Run("test '" + dir_.File("nothing-here") + "'");
  EXPECT_EQ(missing.exitCode, 2);
  EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

TEST_F(Setuptool, TestPassesASoundArchive) {
  const Outcome o = Run("test '" + Write(SampleArchive()) + "'");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("2 entries verified"), std::string::npos);
  EXPECT_TRUE(o.err.empty());
}

TEST_F(Setuptool, TestNamesTheDamagedEntry) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("fine.txt", BytesOf("fine"));
  const rartest::RarBlock b = w.AddStored("broken.txt", BytesOf("broken"));
  w.AddStored("after.txt", BytesOf("after"));
  w.DamageByte(b.dataStart + 1, 0x01);
  const Outcome o = Run("test '" + Write(w) + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("broken.txt: the entry's data is damaged (checksum mismatch) (result 3)"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.out.find("after.txt"), std::string::npos);
}

// The setup itself ignores header checksums; the test command does not.
TEST_F(Setuptool, TestFailsOnADamagedHeader) {
  RarWriter w;
  w.AddArchiveStart();
  RarFileEntry e;
  e.name = "x.txt";
  e.content = BytesOf("x");
  e.fileTime = 0x3EBB6000;
  const rartest::RarBlock b = w.AddFile(e);
  w.DamageByte(b.start + 20, 0x02);  // a bit of the file time
  const Outcome o = Run("test '" + Write(w) + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("x.txt: the header's checksum does not match"), std::string::npos)
      << o.err;
  EXPECT_NE(Run("list '" + Write(w) + "'").out.find("damaged-header"), std::string::npos);
}

TEST_F(Setuptool, TestReportsAnArchiveThatContinuesElsewhere) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("part", BytesOf("p"), rartest::kFlagContinuedInNext);
  const Outcome o = Run("test '" + Write(w) + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("one volume of several"), std::string::npos) << o.err;
}

TEST_F(Setuptool, ExtractRecreatesFoldersWithTimes) {
  RarWriter w = SampleArchive();
  w.AddDirectory("empty\\inner");
  RarFileEntry label;
  label.name = "VOLUME";
  label.attributes = 0x08;
  w.AddFile(label);
  RarFileEntry e;
  e.name = "deep/down/file.bin";
  e.content = Bytes(1000, 0xAB);
  e.fileTime = rartest::DosFileTime(2020, 2, 29, 23, 58, 30);
  w.AddFile(e);
  const std::string out = dir_.File("out");
  const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(ReadWholeFile(out + "/docs/readme.txt"), "read me");
  EXPECT_EQ(ReadWholeFile(out + "/caf\xc3\xa9.txt"), "coffee");
  EXPECT_EQ(ReadWholeFile(out + "/deep/down/file.bin"), std::string(1000, '\xAB'));
  EXPECT_TRUE(std::filesystem::is_directory(out + "/empty/inner"));
  EXPECT_FALSE(std::filesystem::exists(out + "/VOLUME"));
  EXPECT_NE(o.out.find("3 files extracted"), std::string::npos) << o.out;
  struct stat st;
  ASSERT_EQ(stat((out + "/deep/down/file.bin").c_str(), &st), 0);
  struct tm local = {};
  local.tm_year = 120;
  local.tm_mon = 1;
  local.tm_mday = 29;
  local.tm_hour = 23;
  local.tm_min = 58;
  local.tm_sec = 30;
  local.tm_isdst = -1;
  EXPECT_EQ(st.st_mtime, mktime(&local));
  // A second run over the same folder replaces the files.
  EXPECT_EQ(Run("extract '" + Write(w) + "' '" + out + "'").exitCode, 0);
}

TEST_F(Setuptool, ExtractRefusesNamesThatLeaveTheFolder) {
  const char* const names[] = {"..\\evil.txt", "a\\..\\..\\evil.txt", "\\evil.txt",
                               "/evil.txt", "C:evil.txt", "c:\\evil.txt", "ok/../../evil.txt"};
  for (const char* name : names) {
    RarWriter w;
    w.AddArchiveStart();
    w.AddStored("harmless.txt", BytesOf("h"));
    w.AddStored(name, BytesOf("evil"));
    const std::string out = dir_.File("refused");
    const Outcome o = Run("extract '" + Write(w) + "' '" + out + "/inner'");
    EXPECT_EQ(o.exitCode, 1) << name;
    EXPECT_NE(o.err.find("refused"), std::string::npos) << name << o.err;
    bool exists = true;
    ReadWholeFile(out + "/inner/harmless.txt", &exists);
    EXPECT_FALSE(exists) << name;  // nothing at all is written
    EXPECT_FALSE(std::filesystem::exists(out + "/evil.txt")) << name;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("evil.txt"))) << name;
  }
}

TEST_F(Setuptool, ExtractDoesNotFollowPlantedLinks) {
  const std::string out = dir_.File("out"), outside = dir_.File("outside");
  std::filesystem::create_directories(out);
  std::filesystem::create_directories(outside);
  std::filesystem::create_symlink(outside, out + "/docs");
  std::filesystem::create_symlink(outside + "/target.txt", out + "/plain.txt");
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("plain.txt", BytesOf("replaced"));
  w.AddStored("docs\\readme.txt", BytesOf("read me"));
  const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_FALSE(std::filesystem::exists(outside + "/target.txt"));
  EXPECT_FALSE(std::filesystem::exists(outside + "/readme.txt"));
  EXPECT_EQ(ReadWholeFile(out + "/plain.txt"), "replaced");  // the link itself was replaced
}

TEST_F(Setuptool, ExtractRemovesADamagedEntrysFile) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("good.txt", BytesOf("good"));
  const rartest::RarBlock b = w.AddStored("bad.txt", BytesOf("bad data"));
  w.DamageByte(b.dataStart);
  const std::string out = dir_.File("out");
  const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("bad.txt"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(out + "/good.txt"), "good");
  EXPECT_FALSE(std::filesystem::exists(out + "/bad.txt"));
}

TEST_F(Setuptool, ExtractLeavesNoPartOfAFileThatContinuesInANextVolume) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("whole.txt", BytesOf("whole"));
  w.AddStored("part.bin", BytesOf("first half"), rartest::kFlagContinuedInNext);
  const std::string out = dir_.File("out");
  const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("one volume of several"), std::string::npos) << o.err;
  EXPECT_EQ(ReadWholeFile(out + "/whole.txt"), "whole");
  EXPECT_FALSE(std::filesystem::exists(out + "/part.bin"));
}

}  // namespace
