// setuptool list and test on the program in front of the archive: an archive that verifies
// behind a damaged or crafted program image is no sound setup, since the program cannot run;
// a sound one is named by the Windows it is for.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "commands.h"
#include "support/command_run.h"
#include "support/pe_image_builder.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"

namespace {

using rartest::Bytes;
using rartest::BytesOf;
using rartest::RarWriter;

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

constexpr size_t kSectionRow = 0x58 + 224;  // the one section of imagetest::PeImage()

TEST(StubReport, TestJudgesTheProgramInFrontOfTheArchive) {
  struct Case {
    const char* what;
    std::function<void(Bytes&)> change;
    bool sound;
  };
  const Case cases[] = {
      {"a sound program", [](Bytes&) {}, true},
      {"bytes that are no program at all", [](Bytes& b) { b.assign(b.size(), 0x4D), b[0] = 'X'; }, true},
      {"its section over the PE header", [](Bytes& b) { Put32(b, kSectionRow + 20, 0x40); }, false},
      {"the PE header overwritten", [](Bytes& b) { std::fill(b.begin() + 0x40, b.begin() + 0x200, 0x33); }, false},
  };
  TempDir dir;
  for (const Case& c : cases) {
    Bytes program = imagetest::PeImage(0x800);
    c.change(program);
    RarWriter w;
    w.AddPrefix(program);
    w.AddArchiveStart();
    w.AddStored("readme.txt", BytesOf("read me"));
    const std::string path = dir.File("setup.exe"), log = dir.File("log");
    ASSERT_TRUE(w.WriteFile(path));
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int code = RunWithOutputTo(fd, RunTestCommand, {"test", path});
    close(fd);
    const std::string output = ReadWholeFile(log);
    EXPECT_EQ(code, c.sound ? kExitOk : kExitFailed) << c.what << "\n" << output;
    EXPECT_NE(output.find("1 entries verified"), std::string::npos) << c.what << "\n" << output;
    EXPECT_EQ(output.find("the setup cannot run") == std::string::npos, c.sound) << c.what << "\n" << output;
  }
}

// list says which Windows a setup's program is for on the line after the archive's offset,
// test after the count of verified entries and before the signature's line; the lines
// around stay as they were. A bare archive, or one behind bytes that are no program, has no
// such line.
TEST(StubReport, ListAndTestNameTheSetupsArchitecture) {
  Bytes arm64 = imagetest::PeImage64(0x800);
  arm64[0x44] = 0x64, arm64[0x45] = 0xAA;
  struct Case {
    const char* what;
    Bytes program;
    const char* line;  // "" for none
  };
  const Case cases[] = {
      {"a 32-bit setup", imagetest::PeImage(0x800), "setup program for x86 (32-bit) Windows\n"},
      {"a 64-bit setup", imagetest::PeImage64(0x800), "setup program for x64 (64-bit) Windows\n"},
      {"a program for another machine", arm64, "setup program for machine type 0xAA64\n"},
      {"a bare archive", Bytes(), ""},
      {"bytes that are no program", Bytes(0x800, 0x4D), ""},
  };
  TempDir dir;
  for (const Case& c : cases) {
    RarWriter w;
    if (!c.program.empty()) w.AddPrefix(c.program);
    w.AddArchiveStart();
    w.AddStored("readme.txt", BytesOf("read me"));
    const std::string path = dir.File("setup.exe"), log = dir.File("log");
    ASSERT_TRUE(w.WriteFile(path));
    const std::string offset = std::to_string(c.program.size());
    const struct {
      int (*command)(int, char**);
      const char* name;
      std::string before, after;  // the lines the architecture's line stands between
    } commands[] = {
        {RunListCommand, "list", "Archive at offset " + offset + " of " + path + "\n", "        Size       Packed"},
        // Only a setup's program gets the signature's line; test ends there.
        {RunTestCommand, "test", "1 entries verified\n", *c.line ? "unsigned\n" : ""},
    };
    for (const auto& command : commands) {
      const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int code = RunWithOutputTo(fd, command.command, {command.name, path});
      close(fd);
      const std::string output = ReadWholeFile(log);
      EXPECT_EQ(code, kExitOk) << c.what << " " << command.name << "\n" << output;
      const std::string expected = command.before + c.line + command.after;
      const size_t at = output.find(expected);
      EXPECT_NE(at, std::string::npos) << c.what << " " << command.name << "\n" << output;
      if (command.command == RunTestCommand) {
        EXPECT_EQ(at + expected.size(), output.size()) << c.what << "\n" << output;
      }
    }
  }
}

}  // namespace
