// setuptool list / test / extract as a user runs them: exit codes, what is printed where,
// and what lands on disk, on archives made by the test writer.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/mount.h>
#include <signal.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/rar_writer.h"
#include "support/run_archive.h"
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
  e.flags = kBlockLong | kEntrySolid | kEntryEncrypted;
  w.AddFile(e);
  return w;
}

TEST_F(Setuptool, HelpForTheToolAndEachCommand) {
  for (const char* args : {"--help", "list --help", "test --help", "extract --help", "manifest --help"}) {
    const Outcome o = Run(args);
    EXPECT_EQ(o.exitCode, 0) << args;
    EXPECT_NE(o.out.find("Usage: setuptool"), std::string::npos) << args;
  }
  const Outcome version = Run("--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_TRUE(version.out.rfind("setuptool ", 0) == 0 && version.out.size() > 11 && std::isdigit(version.out[10]))
      << version.out;
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

// Names of everything under a folder, with the contents of files and the targets of links.
std::string TreeOf(const std::string& root) {
  std::string tree;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root)) {
    tree += e.path().string() + "|";
    if (e.is_symlink()) tree += "->" + std::filesystem::read_symlink(e.path()).string();
    else if (e.is_regular_file()) tree += ReadWholeFile(e.path().string());
    tree += "\n";
  }
  return tree;
}

// Files whose names show a temporary of the extraction left behind.
bool HasTemporaries(const std::string& root) {
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.path().filename().string().find(".part") != std::string::npos) return true;
  return false;
}

// Names that start with a control byte once made the extraction lose count of its entries,
// and links already in the target folder redirected writes outside it.
TEST_F(Setuptool, ExtractKnowsEachEntryAndNeverWritesThroughLinks) {
  const std::string out = dir_.File("out"), outside = dir_.File("outside");
  std::filesystem::create_directories(out);
  std::filesystem::create_directories(outside + "/folder");
  std::filesystem::create_symlink(outside + "/target.txt", out + "/a.txt");
  std::filesystem::create_symlink(outside + "/folder", out + "/linked");
  std::filesystem::create_symlink(outside + "/dangling", out + "/b.txt");
  const std::string before = TreeOf(outside);

  RarWriter labelled;
  labelled.AddArchiveStart();
  RarFileEntry label;
  label.name = "VOLUME";
  label.attributes = rartest::kAttrVolumeLabel;
  labelled.AddFile(label);
  labelled.AddStored("a.txt", BytesOf("first"));
  labelled.AddFile(label);
  labelled.AddStored("b.txt", BytesOf("second"));
  const Outcome o = Run("extract '" + Write(labelled) + "' '" + out + "'");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.out.find("2 files extracted"), std::string::npos) << o.out;
  EXPECT_EQ(ReadWholeFile(out + "/a.txt"), "first");
  EXPECT_EQ(ReadWholeFile(out + "/b.txt"), "second");
  EXPECT_FALSE(std::filesystem::is_symlink(out + "/a.txt"));

  struct Case {
    const char* name;
    const char* reason;
  };
  const Case refused[] = {
      {"\x01" "memory.txt", "control character"},
      {"\x1f" "a.txt", "control character"},
      {"fine\x7f.txt", "control character"},
      {"\x9d" "x.txt", "control character"},  // Windows-1252 0x9D is U+009D
      {"linked\\inside.txt", "symbolic link"},
      {"linked\\deeper\\inside.txt", "symbolic link"},
  };
  for (const Case& c : refused) {
    RarWriter w;
    w.AddArchiveStart();
    w.AddStored("c.txt", BytesOf("third"));
    w.AddStored(c.name, BytesOf("payload"));
    w.AddStored("d.txt", BytesOf("fourth"));
    const Outcome r = Run("extract '" + Write(w) + "' '" + out + "'");
    EXPECT_EQ(r.exitCode, 1) << c.reason;
    EXPECT_NE(r.err.find(c.reason), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("files extracted"), std::string::npos) << r.out;
    EXPECT_FALSE(std::filesystem::exists(out + "/d.txt")) << c.reason;
  }
  EXPECT_EQ(TreeOf(outside), before);
  EXPECT_FALSE(HasTemporaries(out));
}

// Every archive that test rejects, extract rejects too, for the same reason, and the
// failing entry leaves no file.
TEST_F(Setuptool, ExtractFailsWhereTestFailsAndSaysWhy) {
  struct Case {
    const char* what;
    std::function<void(RarWriter&)> build;
    const char* reason;
  };
  const Case cases[] = {
      {"header checksum", [](RarWriter& w) {
         const rartest::RarBlock b = w.AddStored("bad.txt", BytesOf("data"));
         w.DamageByte(b.start + 26, 0x01);  // the name size: the name runs into the data
       }, "header damaged"},
      {"stored entry shorter than its size", [](RarWriter& w) {
         RarFileEntry e;
         e.name = "bad.txt";
         e.content = BytesOf("short");
         e.unpackedSize = 50;
         w.AddFile(e);
       }, "size mismatch"},
      {"old method", [](RarWriter& w) {
         RarFileEntry e;
         e.name = "bad.txt";
         e.content = BytesOf("old data");
         e.method = 0x31;
         e.unpackVersion = 15;
         w.AddFile(e);
       }, "unsupported method 0x31"},
      {"encrypted", [](RarWriter& w) {
         RarFileEntry e;
         e.name = "bad.txt";
         e.content = BytesOf("secret");
         e.packed = BytesOf("\x93\x11\xfe\x02\x77\x5c");
         e.flags |= rartest::kFlagEncrypted;
         w.AddFile(e);
       }, "encrypted"},
      {"cut inside a header", [](RarWriter& w) {
         w.AddStored("next.txt", BytesOf("n"));
         w.Truncate(w.bytes().size() - 20);
       }, "header"},
      {"cut inside the block base", [](RarWriter& w) {
         w.AddPrefix(BytesOf("\x01\x02\x03"));
       }, "cut-off block header"},
  };
  for (const Case& c : cases) {
    RarWriter w;
    w.AddArchiveStart();
    w.AddStored("good.txt", BytesOf("good"));
    c.build(w);
    const std::string path = Write(w);
    const Outcome t = Run("test '" + path + "'");
    const std::string out = dir_.File("out");
    std::filesystem::remove_all(out);
    const Outcome x = Run("extract '" + path + "' '" + out + "'");
    EXPECT_EQ(t.exitCode, 1) << c.what << t.err;
    EXPECT_EQ(x.exitCode, 1) << c.what << x.err;
    EXPECT_NE(t.err.find(c.reason), std::string::npos) << c.what << ": " << t.err;
    EXPECT_NE(x.err.find(c.reason), std::string::npos) << c.what << ": " << x.err;
    EXPECT_EQ(ReadWholeFile(out + "/good.txt"), "good") << c.what;
    EXPECT_FALSE(std::filesystem::exists(out + "/bad.txt")) << c.what;
    EXPECT_FALSE(HasTemporaries(out)) << c.what;
  }

  // A main header and nothing more; a decoy marker in the image before the real archive.
  RarWriter empty;
  empty.AddArchiveStart();
  RarWriter decoy;
  decoy.AddPrefix(BytesOf("MZ image"));
  decoy.AddArchiveStart();
  decoy.AddPrefix(Bytes(64, 0x90));
  decoy.AddArchiveStart();
  decoy.AddStored("hidden.txt", BytesOf("h"));
  for (const RarWriter* w : {&empty, &decoy}) {
    const std::string path = Write(*w);
    const Outcome t = Run("test '" + path + "'");
    const Outcome x = Run("extract '" + path + "' '" + dir_.File("out2") + "'");
    EXPECT_EQ(t.exitCode, 1) << t.out;
    EXPECT_EQ(x.exitCode, 1) << x.out;
    EXPECT_TRUE(t.err.find("no entries") != std::string::npos ||
                t.err.find("cut-off block header") != std::string::npos) << t.err;
  }
}

TEST_F(Setuptool, ADamagedEntryLeavesTheFileItWouldReplace) {
  const std::string out = dir_.File("out");
  std::filesystem::create_directories(out);
  { FILE* f = std::fopen((out + "/important.txt").c_str(), "wb"); std::fputs("precious", f); std::fclose(f); }
  RarWriter w;
  w.AddArchiveStart();
  const rartest::RarBlock b = w.AddStored("important.txt", BytesOf("replacement"));
  w.DamageByte(b.dataStart + 2);
  EXPECT_EQ(Run("extract '" + Write(w) + "' '" + out + "'").exitCode, 1);
  EXPECT_EQ(ReadWholeFile(out + "/important.txt"), "precious");
  EXPECT_FALSE(HasTemporaries(out));
}

TEST_F(Setuptool, FilesThatAreNoArchiveFilesAreUsageErrors) {
  const std::string fifo = dir_.File("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::filesystem::create_directories(dir_.File("folder"));
  for (const std::string& path : {fifo, dir_.File("folder")}) {
    for (const char* cmd : {"list", "test", "extract"}) {
      const std::string extra = std::string(cmd) == "extract" ? " '" + dir_.File("out") + "'" : "";
      const Outcome o = Run(std::string(cmd) + " '" + path + "'" + extra);
      EXPECT_EQ(o.exitCode, 2) << cmd << " " << path << o.err;
      EXPECT_NE(o.err.find("cannot open the file"), std::string::npos) << o.err;
    }
  }
}

// A name too long for the file system and a file where the archive wants a folder name
// the reason the system gives.
TEST_F(Setuptool, ExtractNamesWhyAFileCannotBeMade) {
  struct Case {
    std::vector<std::string> names;
    const char* reason;
  };
  const Case cases[] = {
      {{std::string(258, 'n')}, "File name too long"},
      {{"a", "a\\b.txt"}, "Not a directory"},
      {{"a\\b.txt", "a"}, "a folder of that name is in the way"},
  };
  for (const Case& c : cases) {
    RarWriter w;
    w.AddArchiveStart();
    for (const std::string& name : c.names) w.AddStored(name, BytesOf("x"));
    const std::string out = dir_.File("out");
    std::filesystem::remove_all(out);
    const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
    EXPECT_EQ(o.exitCode, 1);
    EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
  }
}

TEST_F(Setuptool, AFullDiskIsReportedAsAFullDisk) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  const std::string out = dir_.File("small");
  std::filesystem::create_directories(out);
  if (mount("tmpfs", out.c_str(), "tmpfs", 0, "size=64k") != 0) GTEST_SKIP() << "cannot mount tmpfs";
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("big.bin", Bytes(200000, 0x5A));
  const Outcome o = Run("extract '" + Write(w) + "' '" + out + "'");
  const bool leftNothing = !std::filesystem::exists(out + "/big.bin") && !HasTemporaries(out);
  umount(out.c_str());
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("the disk is full"), std::string::npos) << o.err;
  EXPECT_TRUE(leftNothing);
}

TEST_F(Setuptool, ControlCharactersInNamesArePrintedEscaped) {
  RarWriter w;
  w.AddArchiveStart();
  w.AddStored("evil\x1b[2Jname\r\nok 1 forged.txt", BytesOf("e"));
  const std::string path = Write(w);
  for (const std::string& args : {"list '" + path + "'", "test '" + path + "'",
                                   "extract '" + path + "' '" + dir_.File("out") + "'"}) {
    const Outcome o = Run(args);
    const std::string all = o.out + o.err;
    EXPECT_EQ(all.find('\x1b'), std::string::npos) << args;
    EXPECT_EQ(all.find('\r'), std::string::npos) << args;
    EXPECT_NE(all.find("evil\\x1b[2Jname\\x0d\\x0aok 1 forged.txt"), std::string::npos) << args << all;
  }
}

// An interrupt while a file is written leaves neither that file nor its temporary.
TEST_F(Setuptool, AnInterruptedExtractLeavesNoPartialFile) {
  const std::string archive = dir_.File("huge.rar"), out = dir_.File("out");
  ASSERT_TRUE(rartest::WriteRunArchive(archive, "huge.bin", 1u << 30));
  const char* bin = std::getenv("KORV_BIN_DIR");
  const std::string tool = std::string(bin ? bin : ".") + "/setuptool";
  const pid_t child = fork();
  if (child == 0) {
    std::freopen("/dev/null", "w", stdout);
    execl(tool.c_str(), tool.c_str(), "extract", archive.c_str(), out.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  bool started = false;
  for (int i = 0; i < 2000 && !started; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    started = std::filesystem::exists(out) && HasTemporaries(out);
  }
  kill(child, SIGINT);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(started);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  EXPECT_FALSE(std::filesystem::exists(out + "/huge.bin"));
  EXPECT_FALSE(HasTemporaries(out));
}

}  // namespace
