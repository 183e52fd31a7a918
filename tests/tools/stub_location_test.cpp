// Which stub setuptool takes when no --stub names one: the one beside its executable (the
// build tree) before the installed one in ../share/korvane-setup/, and no folder for a stub.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "stub_location.h"
#include "support/temp_dir.h"

namespace {

struct StubLayoutCase {
  const char* what;     // the test's name
  bool besideTool;      // bin/<name> is a file
  bool besideIsFolder;  // bin/<name> is a folder
  bool installed;       // share/korvane-setup/<name> is a file
  const char* expected; // relative to the scratch root, or "" for none
};

class StubLocation : public testing::TestWithParam<StubLayoutCase> {};

TEST_P(StubLocation, TakesTheFirstStubFileFoundFromTheToolsFolder) {
  const StubLayoutCase& c = GetParam();
  TempDir dir;
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::create_directories(dir.File("share/korvane-setup"));
  if (c.besideTool) std::ofstream(dir.File("bin/UnInst.exe")) << "MZ";
  if (c.besideIsFolder) std::filesystem::create_directories(dir.File("bin/UnInst.exe"));
  if (c.installed) std::ofstream(dir.File("share/korvane-setup/UnInst.exe")) << "MZ";
  const std::string found = LocateStubFrom(dir.File("bin"), "UnInst.exe");
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
                    StubLayoutCase{"None", false, false, false, ""}),
    [](const testing::TestParamInfo<StubLayoutCase>& info) { return std::string(info.param.what); });

}  // namespace
