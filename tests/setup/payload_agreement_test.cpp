// Pack's predictions against the setup program itself, run on the stand-in machine: the
// payload checks (payload/payload_rules.h) against the setup's scan and install passes, and
// the removal record's plan (payload/removal_plan.h) against what an install writes. Pack
// may be stricter than the setup, never laxer, and the plan must name what the setup did.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "localisation/language_files.h"
#include "payload/entry_rules.h"
#include "payload/payload_rules.h"
#include "payload/payload_test_support.h"
#include "payload/removal_plan.h"
#include "payload/text_rules.h"
#include "setup/entry_names.h"
#include "setup/install.h"
#include "setup/install_pass.h"
#include "setup/install_context.h"
#include "setup/language_list.h"
#include "setup/scan.h"
#include "setup/setup_test_support.h"
#include "system/host/host_control.h"

namespace {

using payloadtest::Count;
using payloadtest::kError;
using payloadtest::kWarning;

// The cross-check: one table of names and payload texts, run through the setup program's
// own functions on the stand-in machine and through pack's predictions. Wherever pack is
// silent, the setup must do what the publisher meant; wherever the setup refuses or cuts,
// pack must have spoken. Pack may be stricter, never laxer.

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
    CheckPayloadNames({name}, false, issues);
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
    // An entry only verified is marked to be checksummed without a copy of its bytes.
    const char16_t kinds[] = {Description, SetupInfo, LanguageFile, kChecksumOnlyName};
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
    CheckPayloadNames({name, "other\\" + name}, false, twice);
    EXPECT_EQ(written, CountMentioning(twice, "collides") > 0) << "pack's flattening differs from the setup's";

    std::vector<PayloadIssue> results;
    CheckInstallResults({name}, false, false, results);
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
  const char* meant[kSetupInfoKeyCount];  // ID, Group, Class, Exe, Publisher, Folders
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
      {"Group=Tools\r\nFolders=Keep\r\n", {nullptr, "Tools", nullptr, nullptr, nullptr, "Keep"}},
  };
  const std::vector<std::string> names = {"SETUP.INF", "KNotes.exe", "UnInst.exe"};
  for (const SetupInfoRow& row : rows) {
    SCOPED_TRACE(row.text);
    // Fields marked "?" show which keys the setup took.
    char* const fields[] = {state_.facts.productId, state_.facts.group, state_.facts.windowClass, state_.facts.mainProgram,
                            state_.facts.publisher, state_.facts.folders};
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
    LanguageFilePrefixOf(row.name.c_str(), state_.languageFilePrefix);
    if (row.content.size() > kShortestIgnoredLanguageFile)
      AddLanguageFileItem(List(), Bytes8(row.content), uint32_t(row.content.size()), row.name.c_str());
    const LanguageCode meant = LanguageCodeOf(row.code);
    const bool offered = FindLanguageItem(List(), meant) >= 0;
    const bool leftOut = EntryLanguageCode(row.name.c_str(), TextLength(state_.languageFilePrefix)) == meant;

    std::vector<PayloadIssue> issues;
    CheckPayloadNames({"FILE_ID.DIZ", name}, false, issues);
    CheckPayloadSize(name, row.content.size(), issues);
    CheckLanguageFile(name, Bytes8(row.content), row.content.size(), issues);
    if (issues.empty()) {
      EXPECT_TRUE(offered) << "pack is silent, the setup offers no such language";
      EXPECT_TRUE(leftOut) << "pack is silent, the setup installs the file even when its language is unchecked";
    }
  }
}

}  // namespace

// The removal record's plan against the setup program itself: for each product, the setup
// on the stand-in scans and installs the payload (every language checked), and the plan
// must name exactly the files it wrote and the group, window class, id and main program it
// used.
namespace setuptest {
namespace {

using Product = std::vector<std::pair<std::string, std::string>>;  // name, content

std::set<std::string> FolderListing(const std::u16string& folder) {
  std::set<std::string> names;
  DIR* dir = opendir(Native(folder).c_str());
  while (dirent* e = dir ? readdir(dir) : nullptr)
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
  if (dir) closedir(dir);
  return names;
}

class RemovalPlanTest : public SetupFlowTest {};

TEST_F(RemovalPlanTest, PlanNamesWhatTheSetupInstalls) {
  const std::string longName(40, 'P');
  const Product products[] = {
      // Keys from the .INF; a language pair, a file in a folder; UNINST.EXE in any case.
      {{"FILE_ID.DIZ", "Tool Version 2.1\r\n"},
       {"TOOL.INF", "ID=TL\r\nGroup=Tool Group\r\nClass=ToolWnd\r\nExe=Main.exe\r\n"},
       {"APP_FR.LNG", "[Info]\r\nLanguage=Fran\xE7" "ais\r\n"},
       {"help\\APP_FR.CHM", "french help"},
       {"KTool.exe", "MZ k"},
       {"Main.exe", "MZ main"},
       {"UNINST.EXE", "MZ uninstaller"},
       {"docs\\readme.txt", "read me"}},
      // No .INF: the group is the product name cut to 31 characters, the class follows
      // it, the main program is the first K*.EXE that is not the uninstaller.
      {{"FILE_ID.DIZ", longName + " Version 3 (beta)\r\n"},
       {"bin\\KAlpha.exe", "MZ a"},
       {"KBeta.exe", "MZ b"},
       {"UnInst.exe", "MZ u"}},
      // Keys the .INF leaves out keep what the description gave; an entry that is not
      // "key=" at once does not count.
      {{"FILE_ID.DIZ", "Other\r\n"}, {"X.INF", "Group =Ignored\r\nID=ABCDEF\r\n"}, {"kapp.EXE", "MZ"}},
  };
  for (const Product& product : products) {
    std::vector<std::string> names;
    std::map<std::string, std::string> texts;
    for (const auto& entry : product) {
      names.push_back(entry.first);
      if (PayloadRoleOf(entry.first) != PayloadRole::kOther) texts[entry.first] = entry.second;
    }
    SortPayloadNames(names);
    RarWriter w = StartPayload();
    for (const std::string& name : names)
      for (const auto& entry : product)
        if (entry.first == name) w.AddStored(name, BytesOf(entry.second));
    WritePayload(w);
    const InstallPlan plan = PredictInstallation(names, texts);
    SCOPED_TRACE(plan.group);

    OpenDialog();
    EXPECT_EQ(plan.group, state_.facts.group);
    EXPECT_EQ(plan.windowClass, state_.facts.windowClass);
    EXPECT_EQ(plan.productId, state_.facts.productId);
    ASSERT_EQ(RunInstall(dialog_), 0);
    const std::u16string destination = u"C:\\Program Files\\" + HostUtf16(plan.group);
    EXPECT_EQ(std::set<std::string>(plan.files.begin(), plan.files.end()), FolderListing(destination));
    HostShortcut link;
    ASSERT_TRUE(HostReadShortcut(u"C:\\users\\user\\Desktop\\" + HostUtf16(plan.group) + u".lnk", &link));
    EXPECT_EQ(link.target, destination + u"\\" + HostUtf16(plan.mainProgram));

    HostDestroyDialog(dialog_);
    dialog_ = nullptr;
    HostRemoveTree(root_);
    SetUp();
  }
}

}  // namespace
}  // namespace setuptest
