// The payload checks: each predicts something the setup program would do with an entry;
// at the end, a cross-check of those predictions against the setup program's own functions.
#include "pack/payload_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/rar_format.h"
#include "localisation/language_files.h"
#include "payload/entry_rules.h"
#include "payload/text_rules.h"
#include "setup/entry_names.h"
#include "setup/install.h"
#include "setup/install_context.h"
#include "setup/language_list.h"
#include "setup/scan.h"
#include "setup/setup_test_support.h"
#include "system/host/host_control.h"

namespace {

using Names = std::vector<std::string>;

std::vector<PayloadIssue> NameIssues(const Names& names) {
  std::vector<PayloadIssue> issues;
  CheckPayloadNames(names, issues);
  return issues;
}

// Issues of the given level that name `entry`.
size_t Count(const std::vector<PayloadIssue>& issues, PayloadIssueLevel level, const std::string& entry) {
  size_t n = 0;
  for (const PayloadIssue& i : issues) n += i.level == level && i.entry == entry;
  return n;
}

const PayloadIssueLevel kError = PayloadIssueLevel::kError;
const PayloadIssueLevel kWarning = PayloadIssueLevel::kWarning;

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
  EXPECT_EQ(Count(issues, kWarning, ""), 1u);  // only the top-level one counts
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
    CheckInstallResults(c.names, c.exeFromInfo, issues);
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
  const Case cases[] = {
      {{}, 0},
      {std::vector<uint8_t>(3, 'M'), 1},                 // the archive would start at 3
      {std::vector<uint8_t>(7, 'M'), 0},
      {std::vector<uint8_t>(249996, 'M'), 0},
      {std::vector<uint8_t>(249997, 'M'), 1},            // beyond the last offset searched
      {withMarker, 1},
      {markerOtherType, 0},                             // not followed by a main header type
      {markerAtStart, 1},
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

// The cross-check: one table of names and payload texts, run through the setup program's
// own functions on the stand-in machine and through pack's predictions. Wherever pack is
// silent, the setup must do what the publisher meant; wherever the setup refuses or cuts,
// pack must have spoken. Pack may be stricter, never laxer.

namespace {

std::string Utf8(const std::u16string& text) { return HostUtf8(text.c_str()); }

// The 8-bit archive name pack sees for an ASCII test name.
std::string ArchiveName(const std::u16string& name) { return std::string(name.begin(), name.end()); }

const uint8_t* Bytes8(const std::string& text) { return reinterpret_cast<const uint8_t*>(text.data()); }

size_t CountMentioning(const std::vector<PayloadIssue>& issues, const std::string& words) {
  size_t n = 0;
  for (const PayloadIssue& i : issues) n += i.message.find(words) != std::string::npos;
  return n;
}

class SetupAgreement : public setuptest::SetupFlowTest {
 protected:
  void SetUp() override {
    SetupFlowTest::SetUp();
    dialog_ = HostCreateSetupDialog(nullptr);
    ListSetExtendedStyle(List(), kListExtendedStyles);
    std::memset(&context_, 0, sizeof context_);
    context_.dialog = dialog_;
    CopyText(u"C:\\Tool", context_.destination, 260);
    CreateDirectories(u"C:\\Tool");
  }
  InstallContext context_;
};

TEST_F(SetupAgreement, EntryNamesAreJudgedAlikeOrMoreStrictlyByPack) {
  const std::u16string longK = u"K" + std::u16string(35, u'n') + u".exe";
  const std::u16string names[] = {
      u"readme.txt", u"docs\\readme.txt", u"..\\evil.txt", u".hidden", u"a..b", u"CON", u"con.txt",
      u"CON .txt", u"NUL  .log", u"CONIN$", u"conout$.log", u"Clock$", u"COM1", u"lpt9.x", u"COM0",
      u"COM10", u"CONSOLE.txt", u"a:b", u"file.txt:stream", u"what?.txt", u"a<b", u"a>b", u"pipe|x",
      u"star*", u"say\"hi\"", u"tab\there", u"name.", u"name ", u"...", u". .", u".", u"..", u"dir\\",
      u"dir/", u"CON\\readme.txt", u"SETUP.INF", u"x\\tool.inf", u".INF", u"x\\.INF", u"FILE_ID.DIZ",
      u"docs\\FILE_ID.DIZ", u"APP_FR.LNG", u"KNotes.exe", u"knotes.EXE", u"K.EXE", u"KEXE", u"Kx.exe.bak",
      u"UnInst.exe", u"UNINST.EXE", u"docs\\UnInst.exe", longK.c_str(),
  };
  for (const std::u16string& entry : names) {
    SCOPED_TRACE(Utf8(entry));
    const std::string name = ArchiveName(entry);
    std::vector<PayloadIssue> issues;
    CheckPayloadNames({name}, issues);
    const bool packRefuses = Count(issues, kError, name) > 0;

    // The scan pass: the guard, and the kind of entry.
    char16_t buffer[260];
    CopyText(entry.c_str(), buffer, 260);
    state_.unsafeEntries = 0;
    ScanCallback(buffer, nullptr, 10, dialog_);
    const bool setupRefuses = state_.unsafeEntries > 0;
    EXPECT_EQ(setupRefuses, IsUnsafeEntryName(entry.c_str()));
    if (setupRefuses) {
      EXPECT_TRUE(packRefuses) << "the setup refuses a name pack lets through";
    }
    const PayloadRole role = PayloadRoleOf(name);
    const char16_t kinds[] = {Description, SetupInfo, LanguageFile, VerifyOnly};
    EXPECT_EQ(buffer[0], kinds[int(role)]);
    state_.languageFilePrefix[0] = 0;
    if (setupRefuses) continue;

    // The install pass: written or left out, the main program, the uninstaller.
    context_.mainProgram[0] = 0;
    context_.uninstaller[0] = 0;
    CopyText(entry.c_str(), buffer, 260);
    ASSERT_EQ(InstallCallback(buffer, nullptr, 10, &context_), 0);
    const bool written = buffer[0] != 0;
    std::vector<PayloadIssue> twice;
    CheckPayloadNames({name, "other\\" + name}, twice);
    EXPECT_EQ(written, CountMentioning(twice, "collides") > 0) << "pack's flattening differs from the setup's";

    std::vector<PayloadIssue> results;
    CheckInstallResults({name}, false, results);
    EXPECT_EQ(context_.mainProgram[0] != 0, CountMentioning(results, "no main program") == 0);
    EXPECT_EQ(context_.uninstaller[0] != 0, CountMentioning(results, "no UnInst.exe") == 0);
    if (context_.mainProgram[0] && Count(results, kWarning, name) == 0) {
      EXPECT_EQ(std::u16string(context_.mainProgram), entry.substr(size_t(BaseNameOffset(entry.c_str()))))
          << "the setup keeps another main program name than pack expects";
    }
  }
}

// An installation description and the values its author meant (nullptr: the key was not
// meant to be given).
struct SetupInfoRow {
  const char* text;
  const char* meant[kSetupInfoKeyCount];  // ID, Group, Class, Exe, Publisher
};

TEST_F(SetupAgreement, WhenPackIsSilentTheSetupReadsTheSetupInfoAsMeant) {
  const std::string long32(32, 'g');
  const std::string longGroup = "Group=" + long32 + "\r\n";
  const std::string long64(64, 'p');
  const std::string longPublisher = "Publisher=" + long64 + "\r\n";
  const SetupInfoRow rows[] = {
      {"ID=KNO\r\nGroup=Korvane Notes\r\nClass=KNotesWnd\r\nExe=KNotes.exe\r\n",
       {"KNO", "Korvane Notes", "KNotesWnd", "KNotes.exe"}},
      {"ID=KNO\nGroup=Tools\n", {"KNO", "Tools", nullptr, nullptr}},
      {"ID=KNOT\r\n", {"KNOT", nullptr, nullptr, nullptr}},
      {longGroup.c_str(), {nullptr, long32.c_str(), nullptr, nullptr}},
      {"Group = Tools\r\n", {nullptr, "Tools", nullptr, nullptr}},
      {"MyGroup=X\r\nGroup=Tools\r\n", {nullptr, "Tools", nullptr, nullptr}},
      {"CLASSID=12\r\nClass=Wnd\r\n", {nullptr, nullptr, "Wnd", nullptr}},
      {"Description=Group editor\r\nGroup=Tools\r\n", {nullptr, "Tools", nullptr, nullptr}},
      {"ExeName=x\r\nExe=KNotes.exe\r\n", {nullptr, nullptr, nullptr, "KNotes.exe"}},
      {"IDE=1\r\nID=KNO\r\n", {"KNO", nullptr, nullptr, nullptr}},
      {"Exe=\r\n", {nullptr, nullptr, nullptr, ""}},
      {"Exe=Other.exe\r\n", {nullptr, nullptr, nullptr, "Other.exe"}},
      {"", {nullptr, nullptr, nullptr, nullptr}},
      {"Group=Tools\r\nPublisher=Korvane Labs\r\n", {nullptr, "Tools", nullptr, nullptr, "Korvane Labs"}},
      {longPublisher.c_str(), {nullptr, nullptr, nullptr, nullptr, long64.c_str()}},
  };
  const std::vector<std::string> names = {"SETUP.INF", "KNotes.exe", "UnInst.exe"};
  for (const SetupInfoRow& row : rows) {
    SCOPED_TRACE(row.text);
    // Fields marked "?" show which keys the setup took.
    char* const fields[] = {state_.facts.productId, state_.facts.group, state_.facts.windowClass, state_.facts.mainProgram,
                            state_.facts.publisher};
    static_assert(sizeof fields / sizeof fields[0] == kSetupInfoKeyCount, "one field per key");
    for (char* f : fields) std::strcpy(f, "?");
    ParseSetupInfo(row.text);
    const std::string text = row.text;
    std::vector<PayloadIssue> issues;
    CheckSetupInfo("SETUP.INF", Bytes8(text), text.size(), issues);
    EXPECT_EQ(SetupInfoSetsGroup(Bytes8(text), text.size()), std::strcmp(state_.facts.group, "?") != 0);
    EXPECT_EQ(SetupInfoSetsExe(Bytes8(text), text.size()),
              std::strcmp(state_.facts.mainProgram, "?") != 0 && state_.facts.mainProgram[0] != 0);
    for (int k = 0; k < kSetupInfoKeyCount; ++k) {
      const std::string meant = row.meant[k] ? row.meant[k] : "?";
      const bool asMeant = meant == fields[k];
      if (issues.empty()) {
        EXPECT_TRUE(asMeant) << kSetupInfoKeys[k].key << ": pack is silent, the setup reads \"" << fields[k] << "\"";
      }
      if (meant.size() > size_t(kSetupInfoKeys[k].width) && !asMeant) {
        EXPECT_GT(Count(issues, kError, "SETUP.INF"), 0u) << kSetupInfoKeys[k].key << " is cut without a refusal";
      }
    }
  }
}

TEST_F(SetupAgreement, WhenPackIsSilentTheTitleAndGroupShowTheProductAsMeant) {
  const std::string long40(40, 'p'), long130(130, 'q'), version40(40, '7');
  struct Row {
    std::string text, product, version;
  } rows[] = {
      {"Korvane Notes Version 2.1\r\nNotes for everyone", "Korvane Notes", "2.1"},
      {"Tool Version 2.1 (build 7)", "Tool", "2.1"},
      {"Tool\r\n", "Tool", ""},
      {"Tool Version 3 \r\n", "Tool", "3"},
      {"[Tool] Version 1", "Tool", "1"},
      {"(c) Korvane Version 1", "Korvane", "1"},
      {" Version 3", "", "3"},
      {long40 + " Version 1", long40, "1"},
      {long130, long130, ""},
      {"Tool Version " + version40, "Tool", version40},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    state_.facts.group[0] = 0;
    HostWindowOf(dialog_)->text = u"Setup";
    ApplyDescription(dialog_, row.text.c_str());
    std::vector<PayloadIssue> issues;
    CheckDescription("FILE_ID.DIZ", Bytes8(row.text), row.text.size(), false, issues);
    std::u16string heading;
    for (char c : row.product + " " + row.version) heading.push_back(char16_t(uint8_t(c)));
    const bool asMeant = row.product == state_.facts.group && Text(1001) == heading;
    if (issues.empty()) {
      EXPECT_TRUE(asMeant) << "pack is silent, the setup shows \"" << Utf8(Text(1001)) << "\"";
    }
  }
}

TEST_F(SetupAgreement, WhenPackIsSilentALanguageIsOfferedAndItsFileLeftOutWhenUnchecked) {
  const std::string ansi = "[Info]\r\nLanguage=Fran\xE7" "ais (French)\r\n";
  static const char kUtf16[] = "\xFF\xFE[\0I\0]\0\r\0\n\0L\0a\0n\0g\0u\0a\0g\0e\0=\0\x1F\x04\x04\x04\r\0\n\0";
  const std::string utf16(kUtf16, sizeof kUtf16 - 1);
  struct Row {
    std::u16string name;
    std::string content;
    const char* code;  // the language meant
  } rows[] = {
      {u"APP_FR.LNG", ansi, "FR"},
      {u"lang\\app_it.lng", ansi, "IT"},
      {u"APP_RU.LNG", utf16, "RU"},
      {u"a\\b\\APP_FR.LNG", ansi, "FR"},
      {u"VeryLongProductNameForLanguage_FR.LNG", ansi, "FR"},
      {u"APPFR.LNG", ansi, "FR"},
      {u"X.LNG", ansi, "X"},
      {u"APP_FR.LNG", "\r\n[Info]\r\nLanguage=French\r\n", "FR"},
      {u"APP_FR.LNG", "[Lang]", "FR"},
      {u"APP_FR.LNG", "[Language]\r\n", "FR"},
      {u"APP_FR.LNG", "[Info]\r\nName=French\r\n", "FR"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(Utf8(row.name));
    const std::string name = ArchiveName(row.name);
    state_.languageFilePrefix[0] = 0;
    HostWindowOf(List())->items.clear();
    SetLanguageFilePrefix(row.name.c_str());
    if (row.content.size() > kShortestIgnoredLanguageFile)
      AddLanguageFileItem(dialog_, Bytes8(row.content), uint32_t(row.content.size()), row.name.c_str());
    const LanguageCode meant = LanguageCodeOf(row.code);
    const bool offered = FindLanguageItem(List(), meant) >= 0;
    const bool leftOut = EntryLanguageCode(row.name.c_str(), TextLength(state_.languageFilePrefix)) == meant;

    std::vector<PayloadIssue> issues;
    CheckPayloadNames({"FILE_ID.DIZ", name}, issues);
    CheckPayloadSize(name, row.content.size(), issues);
    CheckLanguageFile(name, Bytes8(row.content), row.content.size(), issues);
    if (issues.empty()) {
      EXPECT_TRUE(offered) << "pack is silent, the setup offers no such language";
      EXPECT_TRUE(leftOut) << "pack is silent, the setup installs the file even when its language is unchecked";
    }
  }
}

}  // namespace
