// setuptool pack as a publisher runs it: a product folder becomes a setup program (stub +
// archive) or a bare archive that setuptool test accepts; the entry order, the refusals and
// warnings, reproducible output, nothing left behind on failure, and the progress bar.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "pack_test_data.h"
#include "support/temp_dir.h"

namespace {

using packtest::Bytes;

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

std::string BinDir() {
  const char* bin = std::getenv("KORV_BIN_DIR");
  return bin ? bin : ".";
}

class Pack : public testing::Test {
 protected:
  Outcome Run(const std::string& arguments, const std::string& tool = BinDir() + "/setuptool") {
    const std::string out = dir_.File("stdout"), err = dir_.File("stderr");
    const std::string command = "'" + tool + "' " + arguments + " >'" + out + "' 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
  }
  void Put(const std::string& relative, const Bytes& data, time_t mtime = 1300000000) {
    const std::string path = dir_.File("product/" + relative);
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
    struct utimbuf times = {mtime, mtime};
    utime(path.c_str(), &times);
  }
  void Put(const std::string& relative, const std::string& text) { Put(relative, Bytes(text.begin(), text.end())); }
  void MakeProduct() {
    Put("FILE_ID.DIZ", "Tool Version 2.1\r\n");
    Put("TOOL.INF", "ID=TL1\r\nGroup=Tool\r\nExe=KTool.exe\r\n");
    Put("APP_FR.LNG", "[Info]\r\nLanguage=Fran\xE7" "ais\r\n");
    Put("KTool.exe", packtest::LzMixBytes(300000, 1));
    Put("UnInst.exe", packtest::LzMixBytes(40000, 2));
    Put("docs/readme.txt", packtest::TextBytes(50000, 3));
    Put("data/noise.bin", packtest::RandomBytes(30000, 4));
    Put("empty.txt", "");
  }
  std::string Product() { return "'" + dir_.File("product") + "'"; }
  std::string Out(const std::string& name = "setup.exe") { return dir_.File(name); }
  TempDir dir_;
};

// The names in the order `setuptool list` prints them.
std::vector<std::string> ListedNames(const std::string& listing) {
  std::vector<std::string> names;
  size_t at = 0;
  bool inTable = false;
  while (at < listing.size()) {
    size_t end = listing.find('\n', at);
    std::string line = listing.substr(at, end - at);
    at = end == std::string::npos ? listing.size() : end + 1;
    if (line.find("Name") != std::string::npos) {
      inTable = true;
      continue;
    }
    if (!inTable || line.find(" entries") != std::string::npos) continue;
    names.push_back(line.substr(line.find_last_of(' ') + 1));
  }
  return names;
}

TEST_F(Pack, BareArchiveInTheSetupProgramsOrderThatTestAccepts) {
  MakeProduct();
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(o.err, "");
  Outcome t = Run("test '" + Out() + "'");
  EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
  Outcome l = Run("list '" + Out() + "'");
  ASSERT_EQ(l.exitCode, 0);
  const std::vector<std::string> expected = {"FILE_ID.DIZ", "TOOL.INF", "APP_FR.LNG", "KTool.exe", "UnInst.exe",
                                             "data\\noise.bin", "docs\\readme.txt", "empty.txt"};
  EXPECT_EQ(ListedNames(l.out), expected) << l.out;
  EXPECT_NE(l.out.find("solid"), std::string::npos);
  EXPECT_NE(l.out.find("store"), std::string::npos);  // the noise and the empty file
  // The archive starts the file.
  std::string bytes = ReadWholeFile(Out());
  EXPECT_EQ(bytes.compare(0, 7, std::string("Rar!\x1A\x07\x00", 7)), 0);
}

TEST_F(Pack, SetupProgramIsTheStubFollowedByTheArchive) {
  MakeProduct();
  std::string stub(0x1E400, '\x90');
  stub.replace(0, 2, "MZ");
  std::ofstream(dir_.File("stub.exe"), std::ios::binary) << stub;
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --stub '" + dir_.File("stub.exe") + "'");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  std::string bytes = ReadWholeFile(Out());
  EXPECT_EQ(bytes.compare(0, stub.size(), stub), 0);
  EXPECT_EQ(bytes.compare(stub.size(), 7, std::string("Rar!\x1A\x07\x00", 7)), 0);
  Outcome t = Run("test '" + Out() + "'");
  EXPECT_EQ(t.exitCode, 0) << t.out << t.err;
  // A stub that pushes the archive beyond the last offset the setup program searches.
  std::ofstream(dir_.File("big.exe"), std::ios::binary) << std::string(249997, 'M');
  o = Run("pack " + Product() + " -o '" + Out("big-setup.exe") + "' --stub '" + dir_.File("big.exe") + "'");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("249,996"), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(Out("big-setup.exe")));
}

TEST_F(Pack, DefaultStubIsSetupExeBesideTheTool) {
  MakeProduct();
  std::filesystem::create_directories(dir_.File("bin"));
  const std::string tool = dir_.File("bin/setuptool");
  std::filesystem::copy_file(BinDir() + "/setuptool", tool);
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "'", tool);
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_NE(o.err.find("default stub"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find(dir_.File("bin/Setup.exe")), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(Out()));
  std::ofstream(dir_.File("bin/Setup.exe"), std::ios::binary) << std::string(4096, 'S');
  o = Run("pack " + Product() + " -o '" + Out() + "'", tool);
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(ReadWholeFile(Out()).compare(0, 4096, std::string(4096, 'S')), 0);
}

// What extract writes back is the product folder, byte for byte, at every level.
TEST_F(Pack, ExtractGivesBackEveryFile) {
  MakeProduct();
  for (const char* options : {"", "--level 0", "--level 5 --no-solid"}) {
    ASSERT_EQ(Run("pack " + Product() + " -o '" + Out() + "' --no-stub " + options).exitCode, 0) << options;
    const std::string target = dir_.File(std::string("extracted") + std::to_string(std::strlen(options)));
    Outcome e = Run("extract '" + Out() + "' '" + target + "'");
    ASSERT_EQ(e.exitCode, 0) << options << e.out << e.err;
    size_t files = 0;
    for (auto& f : std::filesystem::recursive_directory_iterator(dir_.File("product"))) {
      if (!f.is_regular_file()) continue;
      const std::string relative = std::filesystem::relative(f.path(), dir_.File("product")).string();
      bool exists = false;
      EXPECT_TRUE(ReadWholeFile(target + "/" + relative, &exists) == ReadWholeFile(f.path().string())) << relative;
      EXPECT_TRUE(exists) << relative;
      ++files;
    }
    EXPECT_EQ(files, 8u);
  }
}

TEST_F(Pack, SameFilesAndTimesGiveTheSameBytes) {
  MakeProduct();
  ASSERT_EQ(Run("pack " + Product() + " -o '" + Out("a.rar") + "' --no-stub").exitCode, 0);
  ASSERT_EQ(Run("pack " + Product() + " -o '" + Out("b.rar") + "' --no-stub").exitCode, 0);
  EXPECT_TRUE(ReadWholeFile(Out("a.rar")) == ReadWholeFile(Out("b.rar")));
  Put("docs/readme.txt", packtest::TextBytes(50000, 3), 1400000000);  // same bytes, new time
  ASSERT_EQ(Run("pack " + Product() + " -o '" + Out("c.rar") + "' --no-stub").exitCode, 0);
  EXPECT_FALSE(ReadWholeFile(Out("a.rar")) == ReadWholeFile(Out("c.rar")));
  EXPECT_EQ(ReadWholeFile(Out("a.rar")).size(), ReadWholeFile(Out("c.rar")).size());
}

TEST_F(Pack, LevelsAndNonSolidArchivesAllPassTheTest) {
  MakeProduct();
  size_t storedSize = 0, bestSize = SIZE_MAX;
  for (const char* options : {"--level 0", "--level 1", "--level 5", "--no-solid", "--level 2 --no-solid"}) {
    Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub " + options);
    ASSERT_EQ(o.exitCode, 0) << options << o.err;
    Outcome t = Run("test '" + Out() + "'");
    EXPECT_EQ(t.exitCode, 0) << options << t.out << t.err;
    Outcome l = Run("list '" + Out() + "'");
    const bool solid = l.out.find("solid") != std::string::npos;
    EXPECT_EQ(solid, std::string(options).find("solid") == std::string::npos && std::string(options) != "--level 0")
        << options << l.out;
    const size_t size = ReadWholeFile(Out()).size();
    if (std::string(options) == "--level 0") storedSize = size;
    if (std::string(options) == "--level 5") bestSize = size;
  }
  EXPECT_LT(bestSize * 2, storedSize);
}

TEST_F(Pack, ProblemsTheSetupWouldHaveAreRefusedAndNothingIsWritten) {
  MakeProduct();
  std::ofstream(Out(), std::ios::binary) << "previous setup";
  struct Case {
    const char* file;
    const char* content;
    const char* expect;  // in the message
  };
  const Case cases[] = {
      {"other/KTool.exe", "x", "collides"},
      {"CON.txt", "x", "device name"},
      {"TOOL.INF", "ID=TOOL1\r\n", "\"ID\""},
      {"bad:name.txt", "x", "character ':'"},
  };
  for (const Case& c : cases) {
    Put(c.file, std::string(c.content));
    Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
    EXPECT_EQ(o.exitCode, 1) << c.file;
    EXPECT_NE(o.err.find(c.expect), std::string::npos) << c.file << ": " << o.err;
    EXPECT_NE(o.err.find("nothing written"), std::string::npos);
    EXPECT_EQ(ReadWholeFile(Out()), "previous setup");
    std::filesystem::remove(dir_.File(std::string("product/") + c.file));
    if (std::string(c.file) == "TOOL.INF") Put("TOOL.INF", "ID=TL1\r\nGroup=Tool\r\nExe=KTool.exe\r\n");
  }
  // No temporary files are left beside the output.
  size_t files = 0;
  for (auto& e : std::filesystem::directory_iterator(dir_.path())) files += e.path().filename().string().rfind("setup.exe", 0) == 0;
  EXPECT_EQ(files, 1u);
}

TEST_F(Pack, NamesOutsideTheCodePageAreRefusedUnlessAnotherCodePageHoldsThem) {
  MakeProduct();
  Put("\xE6\x97\xA5\xE6\x9C\xAC.txt", "nihon");  // two CJK characters, UTF-8
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("code page 1252"), std::string::npos) << o.err;
  o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub --codepage 932");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  // Western names become Windows-1252 bytes.
  std::filesystem::remove(dir_.File("product/\xE6\x97\xA5\xE6\x9C\xAC.txt"));
  Put("caf\xC3\xA9.txt", "coffee");
  o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(ReadWholeFile(Out()).find("caf\xE9.txt"), std::string::npos);
}

TEST_F(Pack, WarningsDoNotStopPacking) {
  Put("KTool.exe", packtest::LzMixBytes(1000, 5));
  Put("SETUP.INF", "Group = Tool\r\n");
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.err.find("warning: there is no FILE_ID.DIZ"), std::string::npos) << o.err;
  EXPECT_NE(o.err.find("warning: SETUP.INF"), std::string::npos) << o.err;
  EXPECT_EQ(Run("test '" + Out() + "'").exitCode, 0);
}

TEST_F(Pack, UsageErrors) {
  MakeProduct();
  EXPECT_EQ(Run("pack").exitCode, 2);
  EXPECT_EQ(Run("pack " + Product()).exitCode, 2);                                   // no -o
  EXPECT_EQ(Run("pack " + Product() + " -o x --level 6").exitCode, 2);
  EXPECT_EQ(Run("pack " + Product() + " -o x --stub a --no-stub").exitCode, 2);
  EXPECT_EQ(Run("pack '" + dir_.File("missing") + "' -o x --no-stub").exitCode, 2);
  std::filesystem::create_directories(dir_.File("empty"));
  Outcome empty = Run("pack '" + dir_.File("empty") + "' -o '" + Out() + "' --no-stub");
  EXPECT_EQ(empty.exitCode, 1);
  EXPECT_NE(empty.err.find("no files"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(Out()));
  Outcome help = Run("pack --help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--no-solid"), std::string::npos);
}

// On a terminal a bar appears once the work takes more than half a second; in a pipe never.
TEST_F(Pack, ProgressBarOnlyOnATerminal) {
  Put("FILE_ID.DIZ", "Tool\r\n");
  Put("big.bin", packtest::LzMixBytes(12000000, 6));
  const std::string command = "'" + BinDir() + "/setuptool' pack " + Product() + " -o '" + Out() + "' --no-stub --level 5";
  const std::string captured = dir_.File("typescript");
  const int status = std::system(("script -qfec \"" + command + "\" '" + captured + "' >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const std::string terminal = ReadWholeFile(captured);
  EXPECT_NE(terminal.find("%"), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("big.bin"), std::string::npos);
  Outcome piped = Run("pack " + Product() + " -o '" + Out() + "' --no-stub --level 5");
  EXPECT_EQ(piped.exitCode, 0);
  EXPECT_EQ(piped.err.find('%'), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
}

}  // namespace
