// setuptool pack as a publisher runs it: a product folder becomes a setup program (stub +
// archive) or a bare archive that setuptool test accepts; the entry order, the refusals and
// warnings, reproducible output, nothing left behind on failure, and the progress bar.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <chrono>
#include <functional>
#include <thread>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "pack_test_data.h"
#include "support/pe_image_builder.h"
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
    if (!inTable) continue;
    if (line.find(" entries") != std::string::npos) break;  // the summary ends the table
    names.push_back(line.substr(line.find_last_of(' ') + 1));
  }
  return names;
}

TEST_F(Pack, BareArchiveInTheSetupProgramsOrderThatTestAccepts) {
  MakeProduct();
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  // The product has files in folders and no Folders=Keep: one warning, nothing else.
  EXPECT_EQ(o.err, "setuptool pack: warning: 2 files lie in subfolders: the setup program will install every file "
                   "flat into one folder under its file name; to keep the folders, add the line Folders=Keep to the .INF\n");
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
  const Bytes image = imagetest::PeImage(0x1E400);
  const std::string stub(image.begin(), image.end());
  std::ofstream(dir_.File("stub.exe"), std::ios::binary) << stub;
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --stub '" + dir_.File("stub.exe") + "'");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  std::string bytes = ReadWholeFile(Out());
  // The stub as it was, but for the image checksum of the whole setup.
  const size_t checksum = 0x58 + 64;
  EXPECT_EQ(bytes.compare(0, checksum, stub, 0, checksum), 0);
  EXPECT_EQ(bytes.compare(checksum + 4, stub.size() - checksum - 4, stub, checksum + 4), 0);
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
  const Bytes image = imagetest::PeImage(4096, 'S');
  const std::string stub(image.begin(), image.end());
  std::ofstream(dir_.File("bin/Setup.exe"), std::ios::binary) << stub;
  o = Run("pack " + Product() + " -o '" + Out() + "'", tool);
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(ReadWholeFile(Out()).compare(0x200, 4096 - 0x200, stub, 0x200), 0);
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
  Put("\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt", "fajl");  // Cyrillic, UTF-8
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  EXPECT_EQ(o.exitCode, 1);
  EXPECT_NE(o.err.find("code page 1252"), std::string::npos) << o.err;
  o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub --codepage 1251");
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(ReadWholeFile(Out()).find("\xD4\xE0\xE9\xEB.txt"), std::string::npos);
  // A code page with double-byte characters would have the setup program cut names at
  // trail bytes that equal '\'.
  o = Run("pack " + Product() + " -o '" + Out("cjk.rar") + "' --no-stub --codepage 932");
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_NE(o.err.find("code page 932 has double-byte characters"), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(Out("cjk.rar")));
  // Western names become Windows-1252 bytes.
  std::filesystem::remove(dir_.File("product/\xD0\xA4\xD0\xB0\xD0\xB9\xD0\xBB.txt"));
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

// Names in a folder that begin with `prefix`.
size_t CountNamesStartingWith(const std::string& folder, const std::string& prefix) {
  size_t n = 0;
  for (auto& e : std::filesystem::directory_iterator(folder)) n += e.path().filename().string().rfind(prefix, 0) == 0;
  return n;
}

// The output name is never written through: what is not a regular file stays as it was.
TEST_F(Pack, OutputsThatAreNotRegularFilesAreRefused) {
  MakeProduct();
  std::ofstream(dir_.File("target.txt")) << "keep me";
  struct Case {
    const char* what;
    std::function<bool(const std::string&)> make;  // false: cannot be made here (skipped)
    const char* expect;
  };
  const Case cases[] = {
      {"link to a file", [&](const std::string& p) { return symlink(dir_.File("target.txt").c_str(), p.c_str()) == 0; },
       "is a symbolic link"},
      {"dangling link", [&](const std::string& p) { return symlink(dir_.File("nowhere").c_str(), p.c_str()) == 0; },
       "is a symbolic link"},
      {"FIFO", [](const std::string& p) { return mkfifo(p.c_str(), 0644) == 0; }, "is a FIFO"},
      {"folder", [](const std::string& p) { return mkdir(p.c_str(), 0755) == 0; }, "is a folder"},
      {"device", [](const std::string& p) { return mknod(p.c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0; }, "is a device"},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string out = Out("out" + std::to_string(++n));
    if (!c.make(out)) {
      std::printf("(no %s here: %s)\n", c.what, std::strerror(errno));
      continue;
    }
    struct stat before, after;
    ASSERT_EQ(lstat(out.c_str(), &before), 0);
    Outcome o = Run("pack " + Product() + " -o '" + out + "' --no-stub");
    EXPECT_EQ(o.exitCode, 2) << c.what;
    EXPECT_NE(o.err.find(c.expect), std::string::npos) << c.what << ": " << o.err;
    ASSERT_EQ(lstat(out.c_str(), &after), 0) << c.what;
    EXPECT_EQ(after.st_mode, before.st_mode) << c.what;
    EXPECT_EQ(after.st_ino, before.st_ino) << c.what;
    EXPECT_EQ(CountNamesStartingWith(dir_.path(), "out" + std::to_string(n) + "."), 0u) << c.what;
  }
  EXPECT_EQ(ReadWholeFile(dir_.File("target.txt")), "keep me");
}

TEST_F(Pack, AReplacedOutputKeepsItsPermissionsAndItsOtherNamesTheOldContent) {
  MakeProduct();
  std::ofstream(Out()) << "old setup";
  ASSERT_EQ(chmod(Out().c_str(), 0600), 0);
  ASSERT_EQ(link(Out().c_str(), Out("copy.exe").c_str()), 0);
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.err.find("1 other name(s) (hard links)"), std::string::npos) << o.err;
  struct stat st;
  ASSERT_EQ(stat(Out().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(ReadWholeFile(Out("copy.exe")), "old setup");
  EXPECT_EQ(Run("test '" + Out() + "'").exitCode, 0);
  // A new output gets rw-r--r--.
  ASSERT_EQ(Run("pack " + Product() + " -o '" + Out("new.exe") + "' --no-stub").exitCode, 0);
  ASSERT_EQ(stat(Out("new.exe").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0644u);
}

// An interrupted pack takes its temporary file with it and ends as the signal ends it.
TEST_F(Pack, AnInterruptRemovesTheTemporaryFile) {
  Put("FILE_ID.DIZ", "Tool\r\n");
  Put("big.bin", packtest::LzMixBytes(12000000, 8));
  const std::string tool = BinDir() + "/setuptool", product = dir_.File("product"), out = Out();
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      signal(sig, SIG_DFL);  // a shell may have left SIGINT ignored
      freopen("/dev/null", "w", stderr);
      execl(tool.c_str(), tool.c_str(), "pack", product.c_str(), "-o", out.c_str(), "--no-stub", "--level", "5",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (CountNamesStartingWith(dir_.path(), "setup.exe.") == 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(CountNamesStartingWith(dir_.path(), "setup.exe."), 1u) << sig;
    kill(pid, sig);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << sig << " status " << status;
    EXPECT_EQ(CountNamesStartingWith(dir_.path(), "setup.exe"), 0u) << sig;
  }
}

// pack never packs what it writes: the output and its temporary file, even inside the
// folder, and temporary files an earlier, killed run left there.
TEST_F(Pack, ItsOwnFilesAreNeverPacked) {
  MakeProduct();
  Put("setup.exe.Ab3x9Z", "left by a killed run");
  Put("setup.exe.notes", "a file of the publisher's");
  Put("setup.exe.Ab-x9Z", "another one");
  const std::string out = dir_.File("product/setup.exe");
  for (int run = 0; run < 2; ++run) {  // the second run finds the first one's output
    Outcome o = Run("pack " + Product() + " -o '" + out + "' --no-stub");
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.err.find("setup.exe.Ab3x9Z: left out: a temporary file of the output"), std::string::npos) << o.err;
    const std::vector<std::string> names = ListedNames(Run("list '" + out + "'").out);
    EXPECT_EQ(std::count(names.begin(), names.end(), "setup.exe"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "setup.exe.Ab3x9Z"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "setup.exe.notes"), 1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "setup.exe.Ab-x9Z"), 1);
    EXPECT_EQ(names.size(), 10u);
  }
}

// A stub must be a regular file holding a complete, unsigned 32-bit program: anything else
// is refused at once, without reading a FIFO or a device.
TEST_F(Pack, StubsThatCannotServeAreRefused) {
  MakeProduct();
  Bytes signedImage = imagetest::PeImage(), x64 = imagetest::PeImage(), cut = imagetest::PeImage();
  signedImage[0x58 + 96 + 32] = 0x10;  // certificate table
  x64[0x44] = 0x64, x64[0x45] = 0x86;
  cut.resize(0x300);
  auto write = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir_.File(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return dir_.File(name);
  };
  ASSERT_EQ(mkfifo(dir_.File("fifo").c_str(), 0644), 0);
  std::filesystem::create_directories(dir_.File("folder"));
  struct Case {
    std::string stub;
    const char* expect;
  };
  const Case cases[] = {
      {dir_.File("folder"), "a folder, not a regular file"},
      {dir_.File("fifo"), "a FIFO, not a regular file"},
      {"/dev/zero", "a device, not a regular file"},
      {write("empty.exe", {}), "no MZ header"},
      {write("text.exe", {'n', 'o', 't', ' ', 'a', 'n', ' ', 'e', 'x'}), "no MZ header"},
      {write("signed.exe", signedImage), "is signed: sign the finished setup, not the stub"},
      {write("x64.exe", x64), "not a 32-bit (x86)"},
      {write("cut.exe", cut), "cut short"},
  };
  for (const Case& c : cases) {
    // Under timeout: a read that blocks fails the case instead of hanging the run.
    Outcome o = Run("60 '" + BinDir() + "/setuptool' pack " + Product() + " -o '" + Out() + "' --stub '" + c.stub + "'",
                    "timeout");
    EXPECT_EQ(o.exitCode, 2) << c.stub << ": " << o.err;
    EXPECT_NE(o.err.find(c.expect), std::string::npos) << c.stub << ": " << o.err;
    EXPECT_FALSE(std::filesystem::exists(Out())) << c.stub;
  }
}

TEST_F(Pack, TheBuildsOwnStubServes) {
  const std::string stub = imagetest::BuiltStubPath();
  if (stub.empty()) GTEST_SKIP() << "no build/bin/Setup.exe";
  MakeProduct();
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --stub '" + stub + "'");
  ASSERT_EQ(o.exitCode, 0) << o.err;
  EXPECT_EQ(Run("test '" + Out() + "'").exitCode, 0);
}

// Every length in the version record is 16 bits: a value that would make one wrap is
// refused, named with its length and the limit, and nothing is written. The length counts
// UTF-16 units, as the record holds them, not the bytes of the UTF-8 argument.
TEST_F(Pack, AVersionInfoValueBeyondTheLimitIsRefused) {
  const std::string stub = imagetest::BuiltStubPath();
  if (stub.empty()) GTEST_SKIP() << "no build/bin/Setup.exe";
  MakeProduct();
  struct Case {
    const char* character;  // UTF-8
    size_t count;
    int exitCode;
  };
  const Case cases[] = {{"\xC3\xA9", 2700, 0}, {"x", 2701, 1}, {"x", 33000, 1}};
  for (const Case& c : cases) {
    std::string value;
    for (size_t i = 0; i < c.count; ++i) value += c.character;
    const std::string out = Out("setup-" + std::to_string(c.count) + ".exe");
    const Outcome o = Run("pack " + Product() + " -o '" + out + "' --stub '" + stub + "' --quiet --version-info 'Comments=" +
                          value + "'");
    EXPECT_EQ(o.exitCode, c.exitCode) << c.count << ": " << o.err;
    if (c.exitCode == 0) {
      EXPECT_EQ(Run("test '" + out + "'").exitCode, 0) << c.count;
      continue;
    }
    EXPECT_NE(o.err.find("Comments has " + std::to_string(c.count) + " characters"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("at most 2700; nothing written"), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.count;
  }
}

// What the folder holds besides plain files and folders: followed when it stays inside,
// refused when the setup would carry something unexpected, left out with a word otherwise.
TEST_F(Pack, LinksSpecialFilesAndOddNamesAreNeverPassedOverSilently) {
  struct Case {
    const char* what;
    std::function<void(const std::string& product)> make;
    const char* options;
    int exitCode;
    const char* expect;  // in stderr
    const char* listed;  // an entry that must be in the archive (exit 0 only)
  };
  const std::string outside = dir_.File("outside");
  std::filesystem::create_directories(outside);
  std::ofstream(outside + "/secret.txt") << "not for the setup";
  auto link = [](const std::string& target, const std::string& at) { ASSERT_EQ(symlink(target.c_str(), at.c_str()), 0); };
  const Case cases[] = {
      {"link to a file inside", [&](const std::string& p) { link("KTool.exe", p + "/KCopy.exe"); }, "", 0, "", "KCopy.exe"},
      {"link to a folder inside", [&](const std::string& p) { link("data", p + "/alias"); }, "", 1,
       "collides with \"alias\\noise.bin\"", nullptr},
      {"link to a file outside", [&](const std::string& p) { link(outside + "/secret.txt", p + "/secret.txt"); }, "", 1,
       "secret.txt: a symbolic link to ", nullptr},
      {"link to a folder outside", [&](const std::string& p) { link(outside, p + "/more"); }, "", 1,
       "outside the product folder", nullptr},
      {"link that leads nowhere", [&](const std::string& p) { link("missing", p + "/gone.txt"); }, "", 1,
       "gone.txt: a symbolic link that leads nowhere", nullptr},
      {"link to a folder that holds it", [&](const std::string& p) { link("..", p + "/docs/up"); }, "", 0,
       "docs/up: left out: a symbolic link to a folder that holds it", "docs\\readme.txt"},
      {"FIFO", [&](const std::string& p) { ASSERT_EQ(mkfifo((p + "/pipe").c_str(), 0644), 0); }, "", 0,
       "pipe: left out: a FIFO", "KTool.exe"},
      {"socket",
       [&](const std::string& p) {
         const int s = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un a = {};
         a.sun_family = AF_UNIX;
         std::snprintf(a.sun_path, sizeof a.sun_path, "%s/sock", p.c_str());
         ASSERT_EQ(bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
         close(s);
       },
       "", 0, "sock: left out: a socket", "KTool.exe"},
      {"backslash in a name", [&](const std::string& p) { std::ofstream(p + "/a\\b.txt") << "x"; }, "", 1,
       "a\\b.txt: the name holds '\\'", nullptr},
      {"name not in UTF-8", [&](const std::string& p) { std::ofstream(p + "/caf\xE9.txt") << "x"; }, "", 1,
       "caf\\xe9.txt: the name is not UTF-8 text", nullptr},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product"));
    MakeProduct();
    c.make(dir_.File("product"));
    std::filesystem::remove(Out());
    Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub " + c.options);
    EXPECT_EQ(o.exitCode, c.exitCode) << c.what << ": " << o.err;
    EXPECT_NE(o.err.find(c.expect), std::string::npos) << c.what << ": " << o.err;
    if (c.exitCode != 0) {
      EXPECT_NE(o.err.find("nothing written"), std::string::npos) << c.what;
      EXPECT_FALSE(std::filesystem::exists(Out())) << c.what;
      continue;
    }
    const std::vector<std::string> names = ListedNames(Run("list '" + Out() + "'").out);
    EXPECT_EQ(std::count(names.begin(), names.end(), c.listed), 1) << c.what;
  }
}

// Between the listing and the reading, a file is swapped for a link that leads outside, or
// its folder for a link to a folder outside, with content of the same size: the setup must
// not carry it. pack stops as for an unreadable file, and leaves nothing behind.
TEST_F(Pack, AFileSwappedForALinkWhilePackingStopsThePack) {
  const Bytes image = imagetest::PeImage(0x1E400);
  std::ofstream(dir_.File("stub.exe"), std::ios::binary) << std::string(image.begin(), image.end());
  const std::string outside = dir_.File("outside"), secret = dir_.File("secret.txt");
  std::filesystem::create_directories(outside);
  std::ofstream(outside + "/readme.txt") << "not for the setup";
  std::ofstream(secret) << "not for the setup";
  ASSERT_EQ(chmod(secret.c_str(), 0600), 0);
  struct Case {
    const char* what;
    std::function<void(const std::string& docs)> swap;
  };
  const Case cases[] = {
      {"file for a link to a file outside",
       [&](const std::string& docs) {
         std::filesystem::remove(docs + "/readme.txt");
         std::filesystem::create_symlink("../../secret.txt", docs + "/readme.txt");
       }},
      {"folder for a link to a folder outside",
       [&](const std::string& docs) {
         std::filesystem::remove_all(docs);
         std::filesystem::create_directory_symlink("../outside", docs);
       }},
  };
  const std::string tool = BinDir() + "/setuptool", product = dir_.File("product"), out = Out();
  for (const Case& c : cases) {
    std::filesystem::remove_all(product);
    MakeProduct();
    Put("docs/readme.txt", "read me, it's ok!");             // the secret's size
    Put("big.bin", packtest::LzMixBytes(1500000, 9));  // packed before docs/, long enough to swap
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      freopen(dir_.File("stderr").c_str(), "w", stderr);
      execl(tool.c_str(), tool.c_str(), "pack", product.c_str(), "-o", out.c_str(), "--stub",
            dir_.File("stub.exe").c_str(), "--quiet", static_cast<char*>(nullptr));
      _exit(127);
    }
    // The stub is written first, once the folder has been listed and checked.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    bool writing = false, ended = false;
    int status = 0;
    while (!writing && !ended && std::chrono::steady_clock::now() < deadline) {
      for (auto& e : std::filesystem::directory_iterator(dir_.path())) {
        if (e.path().filename().string().rfind("setup.exe.", 0) != 0) continue;
        std::error_code gone;  // pack removes its temporary file when it fails
        const uintmax_t size = std::filesystem::file_size(e.path(), gone);
        writing = writing || (!gone && size > 0);
      }
      ended = waitpid(pid, &status, WNOHANG) == pid;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_TRUE(writing) << c.what << ": " << ReadWholeFile(dir_.File("stderr"));
    c.swap(product + "/docs");
    if (!ended) {
      ASSERT_EQ(waitpid(pid, &status, 0), pid);
    }
    const std::string err = ReadWholeFile(dir_.File("stderr"));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << c.what << ": " << status << " " << err;
    EXPECT_NE(err.find("docs/readme.txt: changed while it was packed (it is no longer the file that was listed)"),
              std::string::npos) << c.what << ": " << err;
    EXPECT_NE(err.find("nothing written"), std::string::npos) << c.what << ": " << err;
    EXPECT_FALSE(std::filesystem::exists(out)) << c.what;
    EXPECT_EQ(CountNamesStartingWith(dir_.path(), "setup.exe"), 0u) << c.what;
  }
}

// The files go to the compressor all together, but each is opened only when it is read and
// closed after its last byte: a product of more files than the process may hold open packs.
TEST_F(Pack, MoreFilesThanMayBeOpenAtOnce) {
  Put("FILE_ID.DIZ", "Tool\r\n");
  for (uint32_t i = 0; i < 200; ++i) Put("many/" + std::to_string(i) + ".txt", packtest::TextBytes(300, i));
  const std::string command = "ulimit -n 40 && '" + BinDir() + "/setuptool' pack " + Product() + " -o '" + Out() +
                              "' --no-stub --threads 2 >/dev/null 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(Run("test '" + Out() + "'").exitCode, 0);
}

// On a terminal a bar appears once the work takes more than half a second; in a pipe never.
TEST_F(Pack, ProgressBarOnlyOnATerminal) {
  Put("FILE_ID.DIZ", "Tool\r\n");
  // Long enough (well over the bar's first half second) on one thread, whatever the machine's cores.
  Put("big.bin", packtest::LzMixBytes(3000000, 6));
  const std::string command =
      "'" + BinDir() + "/setuptool' pack " + Product() + " -o '" + Out() + "' --no-stub --level 5 --threads 1";
  const std::string captured = dir_.File("typescript");
  const int status = std::system(("script -qfec \"" + command + "\" '" + captured + "' >/dev/null 2>&1").c_str());
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  const std::string terminal = ReadWholeFile(captured);
  EXPECT_NE(terminal.find("%"), std::string::npos) << terminal;
  EXPECT_NE(terminal.find("big.bin"), std::string::npos);
  Outcome piped = Run("pack " + Product() + " -o '" + Out() + "' --no-stub --level 5 --threads 1");
  EXPECT_EQ(piped.exitCode, 0);
  EXPECT_EQ(piped.err.find('%'), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
}

}  // namespace

namespace {

// Which uninstaller the payload gets: ours with the record of what the setup installs, the
// product's own, or none; the summary says which, and only without one is it warned about.
TEST_F(Pack, OurUninstallerUnlessTheProductHasOneOrItIsDeclined) {
  const Bytes stub = imagetest::PeImage(0x600, 'U');
  std::ofstream(dir_.File("uninst-stub.exe"), std::ios::binary).write(reinterpret_cast<const char*>(stub.data()),
                                                                      std::streamsize(stub.size()));
  const std::string withStub = " --uninstaller '" + dir_.File("uninst-stub.exe") + "'";
  struct Case {
    bool productHasOne;
    std::string options;
    std::string summary;
    bool ours;
    bool warned;
  } cases[] = {
      {false, withStub, "our uninstaller", true, false},
      {true, withStub, "the product's own UnInst.exe", false, false},
      {false, " --no-uninstaller", "no uninstaller", false, true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product"));
    MakeProduct();
    if (!c.productHasOne) std::filesystem::remove(dir_.File("product/UnInst.exe"));
    Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --no-stub" + c.options);
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find(c.summary), std::string::npos) << o.out;
    EXPECT_EQ(o.err.find("no UnInst.exe") != std::string::npos, c.warned) << o.err;
    std::filesystem::remove_all(dir_.File("x"));
    ASSERT_EQ(Run("extract '" + Out() + "' '" + dir_.File("x") + "'").exitCode, 0);
    // Ours is the stub with the image checksum of the whole file in its header.
    std::string uninstaller = ReadWholeFile(dir_.File("x/UnInst.exe"));
    const size_t checksum = imagetest::kOptionalHeader + 64;
    if (c.ours) uninstaller.replace(checksum, 4, 4, '\0');
    EXPECT_EQ(uninstaller.compare(0, stub.size(), std::string(stub.begin(), stub.end())) == 0, c.ours);
    if (!c.ours) continue;
    // The record lists every file the setup writes, the uninstaller itself included, and
    // never the .INF.
    const std::string record = uninstaller.substr(stub.size());
    for (const char* name : {"FILE_ID.DIZ", "APP_FR.LNG", "KTool.exe", "UnInst.exe", "readme.txt"})
      EXPECT_NE(record.find(name), std::string::npos) << name;
    EXPECT_EQ(record.find("TOOL.INF"), std::string::npos);
    EXPECT_EQ(record.compare(record.size() - 16, 4, "KVRM"), 0);
  }
  EXPECT_EQ(Run("pack " + Product() + " -o '" + Out() + "' --no-stub --no-uninstaller" + withStub).exitCode, 2);
}

// The setup's architecture and the main program's: a main program of the other architecture
// is warned about, naming what to do, and the setup is still written. The main program is
// the .INF's Exe, else the first K*.EXE; no other program is judged, nor a file that is no
// program image, nor the main program of a bare archive. The programs are larger than the
// part pack reads of them.
TEST_F(Pack, AMainProgramOfTheOtherArchitectureIsWarnedAbout) {
  auto write = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir_.File(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return "'" + dir_.File(name) + "'";
  };
  const std::string x86 = " --stub " + write("x86.exe", imagetest::PeImage(0x1000, 'S'));
  const std::string x64 = " --arch x64 --stub " + write("x64.exe", imagetest::PeImage64(0x1000, 'T'));
  const Bytes program32 = imagetest::PeImage(0x30000, 'P'), program64 = imagetest::PeImage64(0x30000, 'Q');
  const char kTo64[] = "KTool.exe: the main program is a 64-bit (x64) Windows program, but the setup is a 32-bit "
                       "(x86) one: it would install into \"Program Files (x86)\" and the registry's 32-bit view; "
                       "give --arch x64 for a 64-bit setup";
  const char kTo32[] = "KTool.exe: the main program is a 32-bit (x86) Windows program, but the setup is a 64-bit (x64) one";
  struct Case {
    const char* what;
    std::function<void()> product;  // changes MakeProduct's folder
    std::string options;
    const char* warning;  // "" for none
  };
  const Case cases[] = {
      {"32-bit program, 32-bit setup", [&] { Put("KTool.exe", program32); }, x86, ""},
      {"64-bit program, 32-bit setup", [&] { Put("KTool.exe", program64); }, x86, kTo64},
      {"64-bit program, 32-bit setup asked for", [&] { Put("KTool.exe", program64); }, " --arch x86" + x86, kTo64},
      {"64-bit program, 64-bit setup", [&] { Put("KTool.exe", program64); }, x64, ""},
      {"32-bit program, 64-bit setup", [&] { Put("KTool.exe", program32); }, x64, kTo32},
      {"no program image", [] {}, x64, ""},
      {"a bare archive", [&] { Put("KTool.exe", program64); }, " --no-stub", ""},
      {"another 64-bit program beside the main one", [&] { Put("Helper.exe", program64), Put("KTool.exe", program32); },
       x86, ""},
      {"the first K*.EXE when the .INF names none",
       [&] { Put("TOOL.INF", "ID=TL1\r\nGroup=Tool\r\n"), Put("KAlpha.exe", program64), Put("KZed.exe", program32); },
       x86, "KAlpha.exe: the main program is a 64-bit (x64) Windows program"},
      {"the .INF's Exe in a folder, in another case",
       [&] { Put("bin/ktool.EXE", program64), std::filesystem::remove(dir_.File("product/KTool.exe")); }, x86,
       "bin/ktool.EXE: the main program is a 64-bit (x64) Windows program"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product"));
    std::filesystem::remove(Out());
    MakeProduct();
    c.product();
    const Outcome o = Run("pack " + Product() + " -o '" + Out() + "'" + c.options);
    EXPECT_EQ(o.exitCode, 0) << c.what << ": " << o.err;
    EXPECT_TRUE(std::filesystem::exists(Out())) << c.what;
    if (*c.warning) {
      EXPECT_NE(o.err.find(std::string("setuptool pack: warning: ") + c.warning), std::string::npos)
          << c.what << ": " << o.err;
    } else {
      EXPECT_EQ(o.err.find("the main program is a"), std::string::npos) << c.what << ": " << o.err;
    }
  }
}

// A stub or uninstaller stub of the other architecture is refused, saying which it is and
// which --arch takes it; one of the setup's architecture serves.
TEST_F(Pack, StubsOfTheOtherArchitectureAreRefusedNamingIt) {
  auto write = [&](const std::string& name, const Bytes& b) {
    std::ofstream(dir_.File(name), std::ios::binary).write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
    return "'" + dir_.File(name) + "'";
  };
  const std::string stub32 = write("x86.exe", imagetest::PeImage(0x1000, 'S'));
  const std::string stub64 = write("x64.exe", imagetest::PeImage64(0x1000, 'T'));
  const std::string uninstaller32 = write("uninst32.exe", imagetest::PeImage(0x600, 'U'));
  const std::string uninstaller64 = write("uninst64.exe", imagetest::PeImage64(0x600, 'V'));
  struct Case {
    std::string options;
    int exitCode;
    std::string expect;  // in the error output, or in the summary when packed
  };
  const Case cases[] = {
      {" --stub " + stub64, 2,
       "cannot use the stub: the stub " + dir_.File("x64.exe") + " is a 64-bit (x64) Windows program, not a 32-bit "
       "(x86) one; give --arch x64 for a 64-bit setup; nothing written"},
      {" --arch x64 --stub " + stub32, 2, "is a 32-bit (x86) Windows program, not a 64-bit (x64) one; leave out --arch x64"},
      {" --stub " + stub32 + " --uninstaller " + uninstaller64, 2,
       "cannot use the uninstaller stub: the stub " + dir_.File("uninst64.exe") + " is a 64-bit (x64) Windows program"},
      {" --arch x64 --stub " + stub64 + " --uninstaller " + uninstaller32, 2, "is a 32-bit (x86) Windows program"},
      {" --arch x64 --stub " + stub64 + " --uninstaller " + uninstaller64, 0, ", x64 stub of 4096 bytes, our uninstaller)"},
      // The 32-bit setup's summary as it always was.
      {" --arch x86 --stub " + stub32 + " --uninstaller " + uninstaller32, 0, ", stub of 4096 bytes, our uninstaller)"},
      {" --arch arm64 --stub " + stub32, 2, "--arch takes x86 or x64"},
      {" --stub " + stub32 + " --arch", 2, "--arch takes x86 or x64"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product"));
    std::filesystem::remove(Out());
    MakeProduct();
    std::filesystem::remove(dir_.File("product/UnInst.exe"));
    const Outcome o = Run("pack " + Product() + " -o '" + Out() + "'" + c.options);
    EXPECT_EQ(o.exitCode, c.exitCode) << c.options << ": " << o.err;
    EXPECT_EQ(std::filesystem::exists(Out()), c.exitCode == 0) << c.options;
    EXPECT_NE((c.exitCode == 0 ? o.out : o.err).find(c.expect), std::string::npos) << c.options << ": " << o.out << o.err;
  }
}

// Without --stub, --arch x64 takes x64/Setup.exe and x64/UnInst.exe where the 32-bit ones are
// found (here beside setuptool), and says where it looked when they are missing.
TEST_F(Pack, TheDefaultStubsOfEachArchitectureBesideTheTool) {
  std::filesystem::create_directories(dir_.File("bin/x64"));
  const std::string tool = dir_.File("bin/setuptool");
  std::filesystem::copy_file(BinDir() + "/setuptool", tool);
  struct Program {
    const char* name;
    Bytes image;
  } programs[] = {{"Setup.exe", imagetest::PeImage(0x1000, 'S')},
                  {"UnInst.exe", imagetest::PeImage(0x600, 'U')},
                  {"x64/Setup.exe", imagetest::PeImage64(0x1000, 'T')},
                  {"x64/UnInst.exe", imagetest::PeImage64(0x600, 'V')}};
  for (const Program& p : programs)
    std::ofstream(dir_.File(std::string("bin/") + p.name), std::ios::binary)
        .write(reinterpret_cast<const char*>(p.image.data()), std::streamsize(p.image.size()));
  MakeProduct();
  std::filesystem::remove(dir_.File("product/UnInst.exe"));
  struct Case {
    const char* options;
    const Program& stub;
    const Program& uninstaller;
  } cases[] = {{"", programs[0], programs[1]}, {" --arch x86", programs[0], programs[1]},
               {" --arch x64", programs[2], programs[3]}};
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("x"));
    const Outcome o = Run("pack " + Product() + " -o '" + Out() + "'" + c.options, tool);
    ASSERT_EQ(o.exitCode, 0) << c.options << ": " << o.err;
    // The stub's bytes after its headers (pack rewrites its resources and checksum only).
    const std::string setup = ReadWholeFile(Out());
    EXPECT_EQ(setup.compare(0x200, 0x1000 - 0x200, std::string(c.stub.image.begin() + 0x200, c.stub.image.end())), 0)
        << c.options;
    ASSERT_EQ(Run("extract '" + Out() + "' '" + dir_.File("x") + "'").exitCode, 0);
    // The uninstaller's bytes after its headers (pack writes its checksum only).
    const std::string uninstaller = ReadWholeFile(dir_.File("x/UnInst.exe"));
    EXPECT_EQ(uninstaller.compare(0x200, c.uninstaller.image.size() - 0x200,
                                  std::string(c.uninstaller.image.begin() + 0x200, c.uninstaller.image.end())),
              0)
        << c.options;
  }
  // The 64-bit uninstaller missing: the setup is written without it, and the warning says where it was looked for.
  std::filesystem::remove(dir_.File("bin/x64/UnInst.exe"));
  Outcome o = Run("pack " + Product() + " -o '" + Out() + "' --arch x64", tool);
  EXPECT_EQ(o.exitCode, 0) << o.err;
  EXPECT_NE(o.err.find("no uninstaller stub: neither " + dir_.File("bin/x64/UnInst.exe")), std::string::npos) << o.err;
  // The 64-bit stub missing: nothing is written, and the message says where it was looked for.
  std::filesystem::remove(dir_.File("bin/x64/Setup.exe"));
  std::filesystem::remove(Out());
  o = Run("pack " + Product() + " -o '" + Out() + "' --arch x64", tool);
  EXPECT_EQ(o.exitCode, 2);
  EXPECT_NE(o.err.find("no default stub: neither " + dir_.File("bin/x64/Setup.exe")), std::string::npos) << o.err;
  EXPECT_FALSE(std::filesystem::exists(Out()));
}

}  // namespace
