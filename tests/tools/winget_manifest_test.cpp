// The winget manifest's texts: identifiers and versions against the schema's patterns, and
// the quoting that keeps any product text one YAML string. The whole files are read back by
// PyYAML in tests/tools/manifest_check.sh.
#include "winget_manifest.h"

#include <gtest/gtest.h>

namespace {

TEST(WingetManifest, IdentifiersFollowTheSchemasPattern) {
  const std::string part32(32, 'p'), part33(33, 'p');
  const struct {
    std::string identifier;
    bool sound;
  } cases[] = {
      {"Korvane.Notes", true}, {"A.B.C.D.E.F.G.H", true}, {"A.B.C.D.E.F.G.H.I", false}, {"Notes", false},
      {"Korvane..Notes", false}, {".Korvane.Notes", false}, {"Korvane.Notes.", false},
      {"Korvane Labs.Notes", false}, {"Korvane\xc2\xa0Labs.Notes", false}, {"Korvane.No:tes", false},
      {"Korvane.Notes\x01", false}, {part32 + ".x", true}, {part33 + ".x", false},
      {"Caf\xc3\xa9#1.Notes", true},
  };
  std::string accented;  // 32 characters of two bytes each: characters are counted, not bytes
  for (int i = 0; i < 32; ++i) accented += "\xc3\xa9";
  EXPECT_EQ(PackageIdentifierProblem(accented + ".x"), "");
  EXPECT_NE(PackageIdentifierProblem(accented + "\xc3\xa9.x"), "");
  for (const auto& c : cases) EXPECT_EQ(PackageIdentifierProblem(c.identifier).empty(), c.sound) << c.identifier;
  EXPECT_EQ(PackageIdentifierOf("Acme: Tools. Inc.", "Sample Notepad"), "AcmeToolsInc.SampleNotepad");
  EXPECT_EQ(PackageIdentifierOf("...", "Notes"), "");
  EXPECT_EQ(PackageIdentifierOf(std::string(40, 'a'), "N"), std::string(32, 'a') + ".N");
}

TEST(WingetManifest, VersionsAndTextsStayStrings) {
  EXPECT_EQ(PackageVersionProblem("1.10"), "");
  EXPECT_NE(PackageVersionProblem(""), "");
  EXPECT_NE(PackageVersionProblem("1.0/beta"), "");
  EXPECT_NE(PackageVersionProblem(std::string(129, '1')), "");
  EXPECT_EQ(YamlQuoted("1.10"), "\"1.10\"");
  EXPECT_EQ(YamlQuoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(YamlQuoted("tab\there\x7f"), "\"tab\\x09here\\x7F\"");
  EXPECT_EQ(YamlQuoted("c1 \xc2\x85 \xc3\xa9"), "\"c1 \\x85 \xc3\xa9\"");
}

}  // namespace
