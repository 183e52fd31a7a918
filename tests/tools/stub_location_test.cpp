// Which stub setuptool takes when no --stub names one: the one beside its executable (the
// build tree) before the installed one in ../share/korvane-setup/, and no folder for a stub;
// the 64-bit ones in a folder x64 of each place, never the 32-bit ones in their stead.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "pack_architecture.h"
#include "stub_location.h"
#include "support/temp_dir.h"

namespace {

struct StubLayoutCase {
  const char* what;     // the test's name
  bool besideTool;      // bin/<name> is a file
  bool besideIsFolder;  // bin/<name> is a folder
  bool installed;       // share/korvane-setup/<name> is a file
  const char* expected; // relative to the scratch root, or "" for none
  PeArchitecture architecture = PeArchitecture::kX86;  // of the stub looked for
};

class StubLocation : public testing::TestWithParam<StubLayoutCase> {};

TEST_P(StubLocation, TakesTheFirstStubFileFoundFromTheToolsFolder) {
  const StubLayoutCase& c = GetParam();
  TempDir dir;
  // The other architecture's stub is in every place: it must never be taken.
  const std::string name = StubFileName(c.architecture, "UnInst.exe");
  const std::string other =
      StubFileName(c.architecture == PeArchitecture::kX64 ? PeArchitecture::kX86 : PeArchitecture::kX64, "UnInst.exe");
  std::filesystem::create_directories(dir.File("bin/x64"));
  std::filesystem::create_directories(dir.File("share/korvane-setup/x64"));
  std::ofstream(dir.File("bin/" + other)) << "MZ";
  std::ofstream(dir.File("share/korvane-setup/" + other)) << "MZ";
  if (c.besideTool) std::ofstream(dir.File("bin/" + name)) << "MZ";
  if (c.besideIsFolder) std::filesystem::create_directories(dir.File("bin/" + name));
  if (c.installed) std::ofstream(dir.File("share/korvane-setup/" + name)) << "MZ";
  const std::string found = LocateStubFrom(dir.File("bin"), name);
  const std::string expected = *c.expected ? dir.File(c.expected) : std::string();
  EXPECT_EQ(std::filesystem::path(found).lexically_normal(), std::filesystem::path(expected).lexically_normal())
      << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, StubLocation,
    testing::Values(StubLayoutCase{"BuildTree", true, false, false, "bin/UnInst.exe"},
                    StubLayoutCase{"Installed", false, false, true, "share/korvane-setup/UnInst.exe"},
                    StubLayoutCase{"BothTheOneBesideWins", true, false, true, "bin/UnInst.exe"},
                    StubLayoutCase{"FolderBesideIsSkipped", false, true, true, "share/korvane-setup/UnInst.exe"},
                    StubLayoutCase{"None", false, false, false, ""},
                    StubLayoutCase{"BuildTreeX64", true, false, false, "bin/x64/UnInst.exe", PeArchitecture::kX64},
                    StubLayoutCase{"InstalledX64", false, false, true, "share/korvane-setup/x64/UnInst.exe",
                                   PeArchitecture::kX64},
                    StubLayoutCase{"BothTheOneBesideWinsX64", true, false, true, "bin/x64/UnInst.exe",
                                   PeArchitecture::kX64},
                    StubLayoutCase{"NoneX64", false, false, false, "", PeArchitecture::kX64}),
    [](const testing::TestParamInfo<StubLayoutCase>& info) { return std::string(info.param.what); });

}  // namespace
