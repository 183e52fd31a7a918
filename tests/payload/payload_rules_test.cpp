// The payload checks: each predicts something the setup program would do with an entry.
// The cross-check of those predictions against the setup program's own functions runs with
// the setup's tests (tests/setup/payload_agreement_test.cpp).
#include "payload/payload_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/rar_format.h"
#include "payload/payload_test_support.h"

namespace {

using Names = std::vector<std::string>;

std::vector<PayloadIssue> NameIssues(const Names& names) {
  std::vector<PayloadIssue> issues;
  CheckPayloadNames(names, false, issues);
  return issues;
}

using payloadtest::Count;
using payloadtest::kError;
using payloadtest::kWarning;

TEST(PayloadRules, OrderIsDescriptionThenSetupInfoThenLanguagesThenTheRest) {
  Names names = {"b.txt", "APP_FR.LNG", "docs\\a.txt", "Setup.inf", "A.EXE", "file_id.diz", "APP_DE.lng",
                 "docs\\FILE_ID.DIZ", "x.INF", ".INF", "UnInst.exe"};
  SortPayloadNames(names);
  const Names expected = {"file_id.diz", "Setup.inf", "x.INF", "APP_DE.lng", "APP_FR.LNG", ".INF",
                          "A.EXE", "UnInst.exe", "b.txt", "docs\\FILE_ID.DIZ", "docs\\a.txt"};
  EXPECT_EQ(names, expected);
}

TEST(PayloadRules, UnsafeNamesAreRefused) {
  const Names bad = {"CON", "con.txt", "docs\\NUL.dat", "LPT1", "com9.log", "a:b.txt", "..", "x\\.",
                     "what?.txt", "a<b", "tab\tname", "trailing.", "trailing ", "dir\\", "CONIN$"};
  for (const std::string& name : bad) {
    auto issues = NameIssues({"FILE_ID.DIZ", name});
    EXPECT_EQ(Count(issues, kError, name), 1u) << name;
  }
  const Names good = {"CONSOLE.TXT", "COM10.txt", "LPT.txt", "nul_file", "a.b.c", "docs\\sub\\x.dll", "Prn2"};
  for (const std::string& name : good) {
    auto issues = NameIssues({"FILE_ID.DIZ", name});
    EXPECT_EQ(Count(issues, kError, name), 0u) << name;
  }
}

TEST(PayloadRules, NamesOf260BytesOrMoreAreRefused) {
  const std::string ok(259, 'a');
  const std::string tooLong(260, 'a');
  auto issues = NameIssues({"FILE_ID.DIZ", ok, "d\\" + tooLong.substr(2)});
  EXPECT_EQ(Count(issues, kError, ok), 0u);
  EXPECT_EQ(Count(issues, kError, "d\\" + tooLong.substr(2)), 1u);
}

TEST(PayloadRules, BaseNamesTooLongForTheUsualDestinationAreWarnedAbout) {
  const std::string fits = std::string(200, 'f') + ".txt";   // 204: just fits
  const std::string longer = std::string(201, 'l') + ".txt"; // 205
  auto issues = NameIssues({"FILE_ID.DIZ", fits, "d\\" + longer});
  EXPECT_EQ(Count(issues, kWarning, fits), 0u);
  EXPECT_EQ(Count(issues, kWarning, "d\\" + longer), 1u);
}

TEST(PayloadRules, BaseNamesThatCollideWhenFlattenedAreRefused) {
  auto issues = NameIssues({"FILE_ID.DIZ", "a\\readme.txt", "b\\README.TXT", "c\\other.txt", "readme.txt.bak"});
  EXPECT_EQ(Count(issues, kError, "b\\README.TXT"), 1u);
  EXPECT_EQ(Count(issues, kError, "a\\readme.txt"), 0u);
  EXPECT_EQ(Count(issues, kError, "c\\other.txt"), 0u);
  // Western letters collide regardless of case too.
  issues = NameIssues({"FILE_ID.DIZ", "x\\\xE9t\xE9.txt", "y\\\xC9T\xC9.TXT"});
  EXPECT_EQ(Count(issues, kError, "y\\\xC9T\xC9.TXT"), 1u);
  // .INF entries are never written, so they collide with nothing.
  issues = NameIssues({"FILE_ID.DIZ", "a\\SETUP.INF", "b\\setup.inf"});
  EXPECT_EQ(Count(issues, kError, "b\\setup.inf"), 0u);
  EXPECT_EQ(Count(issues, kWarning, "b\\setup.inf"), 1u);  // but the second one overrides the first
}

TEST(PayloadRules, MissingDescriptionAndOddLanguageFilesAreWarnedAbout) {
  auto issues = NameIssues({"docs\\FILE_ID.DIZ", "a.txt"});
  EXPECT_EQ(Count(issues, kWarning, ""), 2u);  // only the top-level one counts; and "docs" is flattened
  issues = NameIssues({"FILE_ID.DIZ", "APP_FR.LNG", "FR.LNG", "TOOL_IT.LNG", "APP_ES.LNG"});
  EXPECT_EQ(Count(issues, kWarning, ""), 0u);
  EXPECT_EQ(Count(issues, kWarning, "APP_FR.LNG"), 0u);
  EXPECT_EQ(Count(issues, kWarning, "FR.LNG"), 1u);       // no prefix_XX form
  EXPECT_EQ(Count(issues, kWarning, "TOOL_IT.LNG"), 1u);  // another prefix than the first
  EXPECT_EQ(Count(issues, kWarning, "APP_ES.LNG"), 0u);
}

TEST(PayloadRules, SizesTheSetupCannotHandle) {
  std::vector<PayloadIssue> issues;
  CheckPayloadSize("big.bin", 0x80000000ull, issues);
  CheckPayloadSize("fine.bin", 0x7FFFFFFFull, issues);
  CheckPayloadSize("HUGE.INF", 64u << 20, issues);
  CheckPayloadSize("APP_FR.LNG", 7, issues);
  CheckPayloadSize("APP_DE.LNG", 8, issues);
  EXPECT_EQ(Count(issues, kError, "big.bin"), 1u);
  EXPECT_EQ(Count(issues, kError, "fine.bin") + Count(issues, kWarning, "fine.bin"), 0u);
  EXPECT_EQ(Count(issues, kError, "HUGE.INF"), 1u);
  EXPECT_EQ(Count(issues, kWarning, "APP_FR.LNG"), 1u);
  EXPECT_EQ(Count(issues, kWarning, "APP_DE.LNG"), 0u);
}

std::vector<PayloadIssue> InfIssues(const std::string& text) {
  std::vector<PayloadIssue> issues;
  CheckSetupInfo("SETUP.INF", reinterpret_cast<const uint8_t*>(text.data()), text.size(), issues);
  return issues;
}

TEST(PayloadRules, SetupInfoValuesLongerThanTheirFieldsAreRefused) {
  struct Case {
    std::string text;
    size_t errors;
  };
  const std::string g31(31, 'g'), g32(32, 'g');
  const Case cases[] = {
      {"ID=ABC\r\nGroup=" + g31 + "\r\nClass=" + g31 + "\r\nExe=KTool.exe\r\n", 0},
      {"ID=ABCD\r\n", 1},
      {"Group=" + g32 + "\n", 1},
      {"Class=" + g32, 1},
      {"ID=ABCD\nGroup=" + g32 + "\nClass=" + g32 + "\n", 3},
      {"Exe=" + g32 + ".exe\n", 1},
      {"Publisher=" + std::string(63, 'p') + "\r\n", 0},
      {"Publisher=" + std::string(64, 'p') + "\r\n", 1},
  };
  for (const Case& c : cases) {
    auto issues = InfIssues(c.text);
    EXPECT_EQ(Count(issues, kError, "SETUP.INF"), c.errors) << c.text;
  }
}

TEST(PayloadRules, SetupInfoKeysTheSetupWouldMissAreWarnedAbout) {
  // "ID" first occurs inside "MIDI", not followed by "=": the setup ignores the real line.
  auto issues = InfIssues("Group=MIDI Tools\r\nID=MTX\r\n");
  EXPECT_EQ(Count(issues, kWarning, "SETUP.INF"), 1u);
  // A space before "=": the key counts as absent.
  issues = InfIssues("Group = Tools\r\n");
  EXPECT_EQ(Count(issues, kWarning, "SETUP.INF"), 1u);
  const std::string group = "Group=Tools\r\n";
  EXPECT_TRUE(SetupInfoSetsGroup(reinterpret_cast<const uint8_t*>(group.data()), group.size()));
  const std::string spaced = "Group =Tools\r\n";
  EXPECT_FALSE(SetupInfoSetsGroup(reinterpret_cast<const uint8_t*>(spaced.data()), spaced.size()));
}

// Values that would steer the setup outside its folders, or onto the system's windows: a
// group that is no single folder name (also when the product name stands in for it), an
// "Exe" that is a path or names no entry, a window class of the system.
TEST(PayloadRules, ProductFactsThatLeaveTheirFoldersAreRefused) {
  struct Case {
    std::string inf, diz;
    size_t errors;
  };
  const Case cases[] = {
      {"Group=Tool\r\nExe=KTool.exe\r\n", "", 0},
      {"Group=..\\..\\x\r\n", "", 1},
      {"Group=..\r\n", "", 1},
      {"Group=a/b\r\n", "", 1},
      {"Group=CON\r\n", "", 1},
      {"Group=Tools*\r\n", "", 1},
      {"Group=Tools.\r\n", "", 1},
      {"", "..\\Tool Version 1\r\n", 1},  // the product name becomes the group
      {"Group=Tool\r\nExe=..\\..\\Windows\\notepad.exe\r\n", "", 1},
      {"Group=Tool\r\nExe=Missing.exe\r\n", "", 1},
      {"Group=Tool\r\nExe=ktool.EXE\r\n", "", 0},  // found ignoring case, in any folder
      {"Group=Tool\r\nExe=SETUP.INF\r\n", "", 1},   // never installed
      {"Group=Tool\r\nClass=Shell_TrayWnd\r\n", "", 1},
      {"Group=Tool\r\nClass=#32770\r\n", "", 1},
      {"Group=progman\r\n", "", 1},  // no "Class": the group name is the class
      {"Group=Tool\r\nClass=ToolWnd\r\n", "", 0},
  };
  const Names names = {"FILE_ID.DIZ", "SETUP.INF", "bin\\KTool.exe"};
  for (const Case& c : cases) {
    std::map<std::string, std::string> texts = {{"SETUP.INF", c.inf}, {"FILE_ID.DIZ", c.diz}};
    std::vector<PayloadIssue> issues;
    CheckPayloadFacts(ReadPayloadFacts(names, texts), names, issues);
    EXPECT_EQ(Count(issues, kError, ""), c.errors) << c.inf << c.diz;
  }
}

TEST(PayloadRules, InstallsWithoutShortcutsOrUninstallerAreWarnedAbout) {
  struct Case {
    Names names;
    bool exeFromInfo;
    size_t warnings;
  };
  const Case cases[] = {
      {{"FILE_ID.DIZ", "bin\\KTool.exe", "UnInst.exe"}, false, 0},
      {{"FILE_ID.DIZ", "Tool.exe", "UNINST.EXE"}, true, 0},
      {{"FILE_ID.DIZ", "Tool.exe", "uninst.exe"}, false, 1},  // no K*.EXE, no "Exe"
      {{"FILE_ID.DIZ", "K.EXE", "KTool.dll"}, false, 1},      // five characters are enough
      {{"FILE_ID.DIZ", "KTool.ex", "docs\\KTool.dll"}, false, 2},
      {{"FILE_ID.DIZ", "kapp.exe"}, false, 1},                // no uninstaller
  };
  for (const Case& c : cases) {
    std::vector<PayloadIssue> issues;
    CheckInstallResults(c.names, c.exeFromInfo, false, issues);
    EXPECT_EQ(issues.size(), c.warnings) << c.names[1];
    for (const PayloadIssue& i : issues) EXPECT_EQ(i.level, kWarning);
  }
  const std::string exe = "ID=X\r\nExe=KTool.exe\r\n", empty = "Exe=\r\n";
  EXPECT_TRUE(SetupInfoSetsExe(reinterpret_cast<const uint8_t*>(exe.data()), exe.size()));
  EXPECT_FALSE(SetupInfoSetsExe(reinterpret_cast<const uint8_t*>(empty.data()), empty.size()));
}

TEST(PayloadRules, DescriptionWhoseProductNameWouldBeCutAsGroupName) {
  auto check = [](const std::string& text, bool groupFromInfo) {
    std::vector<PayloadIssue> issues;
    CheckDescription("FILE_ID.DIZ", reinterpret_cast<const uint8_t*>(text.data()), text.size(), groupFromInfo, issues);
    return issues.size();
  };
  EXPECT_EQ(check("Tool Version 2.1 (build 7)\r\n", false), 0u);
  EXPECT_EQ(check(std::string(40, 'P') + " Version 1\r\n", false), 1u);
  EXPECT_EQ(check(std::string(40, 'P') + " Version 1\r\n", true), 0u);
  EXPECT_EQ(check("[no name]\r\n", false), 1u);
  EXPECT_EQ(check("\r\nTool\r\n", false), 1u);
}

TEST(PayloadRules, LanguageFilesTheSetupWouldNotOffer) {
  auto check = [](const std::string& text) {
    std::vector<PayloadIssue> issues;
    CheckLanguageFile("APP_FR.LNG", reinterpret_cast<const uint8_t*>(text.data()), text.size(), issues);
    return issues.size();
  };
  EXPECT_EQ(check("[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n"), 0u);
  EXPECT_EQ(check("\r\n[Info]\r\nLanguage=French\r\n"), 1u);
  EXPECT_EQ(check("[Language]\r\nName=French\r\n"), 1u);
  EXPECT_EQ(check("[Info]\r\nName=French\r\n"), 1u);
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("[I]\r\nLanguage=X\r\n")) utf16 += c, utf16 += '\0';
  EXPECT_EQ(check(utf16), 0u);
}

TEST(PayloadRules, StubsThatWouldHideTheArchive) {
  struct Case {
    std::vector<uint8_t> stub;
    size_t errors;
  };
  std::vector<uint8_t> marker(kRarMarker, kRarMarker + kMarkerBytes);
  std::vector<uint8_t> withMarker(4096, 0x90);
  std::copy(marker.begin(), marker.end(), withMarker.begin() + 1000);
  withMarker[1009] = kBlockMain;
  std::vector<uint8_t> markerOtherType = withMarker;
  markerOtherType[1009] = kBlockFile;
  std::vector<uint8_t> markerAtStart(100, 0);
  std::copy(marker.begin(), marker.end(), markerAtStart.begin());
  // The older format's marker, with its tag at offset 28: the setup program stops there.
  std::vector<uint8_t> olderFormat(4096, 0x90);
  std::memcpy(olderFormat.data() + kOldSfxTagOffset, "RSFX", 4);
  std::memcpy(olderFormat.data() + 1000, "RE~^", 4);
  std::vector<uint8_t> olderMarkerUntagged = olderFormat;
  olderMarkerUntagged[kOldSfxTagOffset] = 0x90;
  const Case cases[] = {
      {{}, 0},
      {std::vector<uint8_t>(3, 'M'), 1},                 // the archive would start at 3
      {std::vector<uint8_t>(7, 'M'), 0},
      {std::vector<uint8_t>(249996, 'M'), 0},
      {std::vector<uint8_t>(249997, 'M'), 1},            // beyond the last offset searched
      {withMarker, 1},
      {markerOtherType, 0},                             // not followed by a main header type
      {markerAtStart, 1},
      {olderFormat, 1},
      {olderMarkerUntagged, 0},                          // no candidate without the tag
  };
  for (const Case& c : cases) {
    std::vector<PayloadIssue> issues;
    CheckStub(c.stub.data(), c.stub.size(), issues);
    EXPECT_EQ(issues.size(), c.errors) << "stub of " << c.stub.size() << " bytes";
    for (const PayloadIssue& i : issues) EXPECT_EQ(i.level, kError);
  }
}

}  // namespace

namespace {

// Empty description files (whose buffer may be no buffer at all) are read as empty texts.
TEST(PayloadRules, EmptyDescriptionFiles) {
  std::vector<PayloadIssue> issues;
  CheckSetupInfo("SETUP.INF", nullptr, 0, issues);
  CheckLanguageFile("APP_FR.LNG", nullptr, 0, issues);
  EXPECT_TRUE(issues.empty());
  CheckDescription("FILE_ID.DIZ", nullptr, 0, false, issues);
  ASSERT_EQ(issues.size(), 1u);
  EXPECT_NE(issues[0].message.find("no product name"), std::string::npos);
  EXPECT_FALSE(SetupInfoSetsGroup(nullptr, 0));
  EXPECT_FALSE(SetupInfoSetsExe(nullptr, 0));
}

}  // namespace
