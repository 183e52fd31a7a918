// The install pass's per-entry decisions and the whole install sequence on the stand-in:
// files, registry, uninstall entry, shortcuts, messages, the staging route, the full-disk
// report and the refusals of unsafe names and paths that do not fit.
#include "setup/install.h"

#include <sys/resource.h>

#include <csignal>

#include "setup/install_context.h"
#include "setup/install_pass.h"
#include "setup/language_list.h"
#include "setup/scan.h"
#include "system/messages.h"
#include "system/platform.h"
#include "setup_test_support.h"
#include "system/machine_fixture.h"

namespace setuptest {
namespace {

TEST(EntryLanguageCode, CodesFollowThePrefixAndAnUnderscore) {
  struct Case {
    const char16_t* name;
    int prefixLength;
    LanguageCode code;
  } cases[] = {
      {u"APP_FR.LNG", 3, 0x5246},          {u"APP_fr.chm", 3, 0x5246},
      {u"XYZ_FR.TXT", 3, 0x5246},          // the prefix's own letters are not compared
      {u"docs\\APP_IT.HLP", 3, 0x5449},    // after the first backslash
      {u"a\\b\\APP_IT.HLP", 3, 0},         // only the first backslash is skipped
      {u"APP_ABCD.TXT", 3, 0x434241},      // four characters count, three remain
      {u"APP_ABCDE.TXT", 3, 0},            // five do not
      {u"APP_.TXT", 3, 0},                 // empty code
      {u"APP_DE", 3, 0x4544},              // up to the end
      {u"APPX_FR.LNG", 3, 0},              {u"AP", 3, 0},
      {u"_FR.LNG", 0, 0x5246},             // no prefix known
      {u"readme.txt", 0, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(EntryLanguageCode(c.name, c.prefixLength), c.code) << HostUtf8(c.name);
}

class InstallCallbackTest : public SetupFlowTest {
 protected:
  void SetUp() override {
    SetupFlowTest::SetUp();
    dialog_ = HostCreateSetupDialog(nullptr);
    ListSetExtendedStyle(List(), kListExtendedStyles);
    AddLanguageItem(List(), u"English", kLanguageUS);
    AddLanguageItem(List(), u"French", 0x5246);
    ListSetStateImage(List(), FindLanguageItem(List(), 0x5246), kStateUnchecked);
    CopyText(u"APP", state_.languageFilePrefix, 32);
    std::memset(&context_, 0, sizeof context_);
    // The pass decides by what was unchecked before it started, and reports each target.
    context_.uncheckedCount = UncheckedLanguages(List(), context_.unchecked, kMostUncheckedLanguages);
    context_.showTarget = [](void* user, const char16_t* target) {
      *static_cast<std::u16string*>(user) = target;
    };
    context_.showTargetUser = &shown_;
    CopyText(u"C:\\Tool", context_.destination, 260);
    CreateDirectories(u"C:\\Tool");
  }
  // Runs the callback on a name; returns what it left in the name buffer.
  std::u16string Decide(const char16_t* entry, int* result = nullptr) {
    char16_t name[260];
    CopyText(entry, name, 260);
    int r = InstallCallback(name, nullptr, 5, &context_);
    if (result) *result = r;
    return name;
  }
  InstallContext context_;
  std::u16string shown_;  // the last target reported
};

TEST_F(InstallCallbackTest, TargetsAndSkips) {
  struct Case {
    const char16_t* entry;
    const char16_t* target;  // empty: decoded and dropped
  } cases[] = {
      {u"readme.txt", u"C:\\Tool\\readme.txt"},
      {u"docs\\manual\\readme.txt", u"C:\\Tool\\readme.txt"},  // folders are not reproduced
      {u"docs/guide.txt", u"C:\\Tool\\guide.txt"},
      {u"APP_FR.LNG", u""},                                    // unchecked language
      {u"help\\APP_FR.CHM", u""},
      {u"APP_US.LNG", u"C:\\Tool\\APP_US.LNG"},                // checked language
      {u"APP_XY.TXT", u"C:\\Tool\\APP_XY.TXT"},                // no item for XY
      {u"SETUP.INF", u""},                                     // never installed
      {u"deep\\dir\\other.inf", u""},
      {u"x.INF", u""},
      {u".INF", u"C:\\Tool\\.INF"},                            // not longer than 4 characters
  };
  for (const Case& c : cases) {
    int result = -1;
    EXPECT_EQ(Decide(c.entry, &result), c.target) << HostUtf8(c.entry);
    EXPECT_EQ(result, 0);
  }
  EXPECT_EQ(shown_, u"C:\\Tool\\.INF");  // each target is reported, none of the dropped ones
  EXPECT_EQ(Text(kControlStatus), u"");    // and the pass itself touches no window
}

TEST_F(InstallCallbackTest, DestinationEndingInASeparatorGetsNoSecondOne) {
  CopyText(u"C:\\Tool/", context_.destination, 260);
  EXPECT_EQ(Decide(u"a\\b.txt"), u"C:\\Tool/b.txt");
}

TEST_F(InstallCallbackTest, MainProgramIsTheFirstKExeUnlessGiven) {
  Decide(u"Tool.exe");
  Decide(u"bin\\kmain.EXE");
  Decide(u"KSecond.exe");
  EXPECT_EQ(std::u16string(context_.mainProgram), u"kmain.EXE");

  std::memset(&context_.mainProgram, 0, sizeof context_.mainProgram);
  CopyText(u"Given.exe", context_.mainProgram, 32);
  Decide(u"KTool.exe");
  EXPECT_EQ(std::u16string(context_.mainProgram), u"Given.exe");
}

TEST_F(InstallCallbackTest, UninstallerKeepsItsSpellingAndTheLastOneWins) {
  EXPECT_EQ(Decide(u"UNINST.EXE"), u"C:\\Tool\\UNINST.EXE");
  EXPECT_EQ(std::u16string(context_.uninstaller), u"UNINST.EXE");
  Decide(u"other\\UnInst.exe");
  EXPECT_EQ(std::u16string(context_.uninstaller), u"UnInst.exe");
  EXPECT_EQ(context_.mainProgram[0], 0) << "an uninstaller starting with K is no main program";
}

TEST_F(InstallCallbackTest, ExistingFileIsDeletedFirst) {
  WriteFileAt(u"C:\\Tool\\readme.txt", "old");
  ASSERT_TRUE(Exists(u"C:\\Tool\\readme.txt"));
  Decide(u"readme.txt");
  EXPECT_FALSE(Exists(u"C:\\Tool\\readme.txt"));
}

TEST_F(InstallCallbackTest, UnsafeNameEndsThePassWithoutATarget) {
  WriteFileAt(u"C:\\Tool\\keep.txt", "x");
  int result = 0;
  EXPECT_EQ(Decide(u"docs\\CON.txt", &result), u"");
  EXPECT_NE(result, 0);
  EXPECT_EQ(context_.refusal, kScanUnsafeName);
  EXPECT_EQ(Decide(u"dir\\..", &result), u"");
  EXPECT_NE(result, 0);
}

TEST_F(InstallCallbackTest, TargetThatWouldBeCutIsRefused) {
  std::u16string longName(250, u'n');
  int result = 0;
  EXPECT_EQ(Decide((longName + u".txt").c_str(), &result), u"");
  EXPECT_NE(result, 0);
  EXPECT_EQ(context_.refusal, -5);
}

// ---- The whole sequence ----

class RunInstallTest : public SetupFlowTest {
 protected:
  // A product with a description, an installation description, a main program, an
  // uninstaller, a language file pair and a file in a folder.
  void WriteProduct() {
    RarWriter w = StartPayload();
    w.AddStored("FILE_ID.DIZ", BytesOf("Tool Version 2.1\r\n"));
    w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
    w.AddStored("KTool.exe", BytesOf("MZ main program"));
    w.AddStored("UnInst.exe", BytesOf("MZ uninstaller"));
    w.AddStored("lang\\APP_FR.LNG", BytesOf("[Info]\r\nLanguage=Fran\xE7" "ais\r\n"));
    w.AddStored("help\\APP_FR.CHM", BytesOf("french help"));
    w.AddStored("docs\\readme.txt", BytesOf("read me"));
    WritePayload(w);
  }
  void Open() {
    OpenDialog();
    ASSERT_TRUE(HostMessages().empty()) << HostUtf8(HostMessages()[0].text.c_str());
  }
  void SetDestination(const char16_t* path) { DialogSetItemText(dialog_, kControlDestination, path); }
  // A destination so long that a target path in it does not fit, which makes the first
  // attempt fail with -5; the staging folder's path is short enough. Returns the destination.
  std::u16string OpenWithLongDestination() {
    RarWriter w = StartPayload();
    w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
    w.AddStored("KTool.exe", BytesOf("MZ main"));
    w.AddStored(std::string(60, 'f') + ".txt", BytesOf("long name"));
    WritePayload(w);
    Open();
    std::u16string destination = u"C:\\" + std::u16string(200, u'd') + u"\\Tool";
    SetDestination(destination.c_str());
    return destination;
  }
};

TEST_F(RunInstallTest, InstallsFilesRegistryUninstallEntryAndShortcuts) {
  WriteProduct();
  Open();
  EXPECT_EQ(Text(kControlDestination), u"C:\\Program Files\\Tool");
  EXPECT_EQ(RunInstall(dialog_), 0);

  EXPECT_EQ(ReadFile(u"C:\\Program Files\\Tool\\KTool.exe"), "MZ main program");
  EXPECT_EQ(ReadFile(u"C:\\Program Files\\Tool\\readme.txt"), "read me");
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tool\\APP_FR.LNG"));
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tool\\APP_FR.CHM"));
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\TOOL.INF"));
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\docs"));
  EXPECT_EQ(Text(kControlStatus), u"");

  std::u16string value;
  ASSERT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", &value));
  EXPECT_EQ(value, u"C:\\Program Files\\Tool");
  const std::u16string uninstallKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, uninstallKey, u"UninstallString", &value));
  EXPECT_EQ(value, u"\"C:\\Program Files\\Tool\\UnInst.exe\"");
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, uninstallKey, u"DisplayVersion", &value));
  EXPECT_EQ(value, u"2.1");
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, uninstallKey, u"DisplayIcon", &value));
  EXPECT_EQ(value, u"C:\\Program Files\\Tool\\KTool.exe");
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, uninstallKey, u"InstallLocation", &value));
  EXPECT_EQ(value, u"C:\\Program Files\\Tool");
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, uninstallKey, u"Publisher", &value));
  EXPECT_EQ(value, u"Korvane");

  HostShortcut link;
  ASSERT_TRUE(HostReadShortcut(u"C:\\users\\user\\Desktop\\Tool.lnk", &link));
  EXPECT_EQ(link.target, u"C:\\Program Files\\Tool\\KTool.exe");
  EXPECT_EQ(link.workingDirectory, u"C:\\Program Files\\Tool");
  EXPECT_TRUE(HostReadShortcut(
      u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool\\Tool.lnk", &link));
  EXPECT_TRUE(HostReadShortcut(
      u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool\\Uninstall.lnk", &link));
  EXPECT_EQ(link.target, u"C:\\Program Files\\Tool\\UnInst.exe");

  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Tool has been successfully installed.");
  EXPECT_EQ(HostMessages()[0].caption, u"Setup Tool 2.1");
  EXPECT_EQ(HostMessages()[0].type, 64u);
  EXPECT_STREQ(HostCurrentCursor(), "arrow");
  EXPECT_TRUE(HostCriticalErrorBoxesSuppressed());
}

TEST_F(RunInstallTest, UncheckedLanguageAndBoxesAreHonoured) {
  WriteProduct();
  Open();
  ListSetStateImage(List(), FindLanguageItem(List(), 0x5246), kStateUnchecked);
  DialogSetChecked(dialog_, kControlProgramGroup, false);
  DialogSetChecked(dialog_, kControlDesktopIcon, false);
  SetDestination(u"D:\\Apps\\Tool");
  HostAddDrive('D');
  EXPECT_EQ(RunInstall(dialog_), 0);
  EXPECT_TRUE(Exists(u"D:\\Apps\\Tool\\KTool.exe"));
  EXPECT_FALSE(Exists(u"D:\\Apps\\Tool\\APP_FR.LNG"));
  EXPECT_FALSE(Exists(u"D:\\Apps\\Tool\\APP_FR.CHM"));
  EXPECT_FALSE(HostReadShortcut(u"C:\\users\\user\\Desktop\\Tool.lnk", nullptr));
  EXPECT_FALSE(Exists(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool"));
  std::u16string value;
  EXPECT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", &value));
  EXPECT_EQ(value, u"D:\\Apps\\Tool");
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].type, 64u);
}

// A destination typed into the dialog that is the Windows folder, or lies in it, is refused
// with a message before anything is made; the dialog stays open for another folder.
TEST_F(RunInstallTest, TheWindowsFolderIsRefusedAsADestination) {
  WriteProduct();
  Open();
  for (const char16_t* typed : {u"C:\\WINDOWS\\system32", u"c:\\windows", u"C:\\Tools\\..\\Windows\\Tool"}) {
    HostClearMessages();
    SetDestination(typed);
    EXPECT_EQ(RunInstall(dialog_), -1) << HostUtf8(typed);
    ASSERT_EQ(HostMessages().size(), 1u) << HostUtf8(typed);
    EXPECT_EQ(HostMessages()[0].text,
              u"Programs cannot be installed into the Windows folder. Please choose another destination folder.");
    EXPECT_EQ(HostMessages()[0].type, 16u);
    EXPECT_FALSE(Exists(u"C:\\WINDOWS\\system32\\KTool.exe"));
    EXPECT_FALSE(Exists(u"C:\\WINDOWS\\KTool.exe"));
    EXPECT_FALSE(Exists(u"C:\\WINDOWS\\Tool"));
    EXPECT_FALSE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
  }
}

// The uninstall entry records that the setup made the group's folder, and not when a folder
// of that name was there before.
TEST_F(RunInstallTest, TheEntryRecordsWhetherTheGroupFolderWasCreated) {
  const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
  WriteProduct();
  Open();
  ASSERT_EQ(RunInstall(dialog_), 0);
  RegistryKey handle = nullptr;
  ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::LocalMachine, key.c_str(), kKeyRead, &handle), 0);
  uint8_t csidl[4] = {};
  uint32_t size = 4, type = 0;
  EXPECT_EQ(PlatformRegQueryValue(handle, u"ProgramGroupCreated", &type, csidl, &size), 0);
  PlatformRegCloseKey(handle);
  EXPECT_EQ(csidl[0], 23);  // the all-users programs folder
  // Another machine where a folder of the group's name stands in the Start Menu already.
  PlatformRegDeleteKey(RegistryRoot::LocalMachine, key.c_str());
  HostRemoveTree(HostNativePath(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool"));
  CreateDirectories(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool");
  DialogSetChecked(dialog_, kControlProgramGroup, true);
  ASSERT_EQ(RunInstall(dialog_), 0);
  ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::LocalMachine, key.c_str(), kKeyRead, &handle), 0);
  EXPECT_NE(PlatformRegQueryValue(handle, u"ProgramGroupCreated", &type, csidl, &size), 0);
  PlatformRegCloseKey(handle);
}

TEST_F(RunInstallTest, EmptyDestinationDoesNothing) {
  WriteProduct();
  Open();
  SetDestination(u"");
  EXPECT_EQ(RunInstall(dialog_), -1);
  EXPECT_TRUE(HostMessages().empty());
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool"));
}

TEST_F(RunInstallTest, WithoutMainProgramNoShortcutsButStillRegistered) {
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
  w.AddStored("Tool.exe", BytesOf("MZ"));
  w.AddStored("UnInst.exe", BytesOf("MZ"));
  WritePayload(w);
  Open();
  EXPECT_EQ(RunInstall(dialog_), 0);
  EXPECT_FALSE(HostReadShortcut(u"C:\\users\\user\\Desktop\\Tool.lnk", nullptr));
  EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine,
                                    u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool"));
}

TEST_F(RunInstallTest, DamagedPayloadAtInstallTimeShowsBrokenFile) {
  WriteProduct();
  Open();
  // The download changes under the open dialog: an entry's data no longer matches.
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
  w.AddStored("first.txt", BytesOf("first"));
  rartest::RarBlock b = w.AddStored("second.txt", BytesOf("second file"));
  w.DamageByte(b.dataStart + 1);
  WritePayload(w);
  EXPECT_EQ(RunInstall(dialog_), 3);
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Broken file, please download again.");
  EXPECT_EQ(HostMessages()[0].caption, u"Setup.exe");
  EXPECT_EQ(HostMessages()[0].type, 16u);
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tool\\first.txt"));   // written so far: stays
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\second.txt"));  // the damaged one is deleted
  EXPECT_FALSE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
}

TEST_F(RunInstallTest, UnsafeNameAtInstallTimeIsNeverWritten) {
  WriteProduct();
  Open();
  RarWriter w = StartPayload();
  w.AddStored("first.txt", BytesOf("first"));
  w.AddStored("x\\NUL.txt", BytesOf("device"));
  w.AddStored("after.txt", BytesOf("after"));
  WritePayload(w);
  EXPECT_EQ(RunInstall(dialog_), kScanUnsafeName);
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\NUL.txt"));
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\after.txt"));
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Broken file, please download again.");
}

// A file in the destination that cannot be replaced (a folder of that name) sends the whole
// pass through a staging folder; the shell's merge then stops at that folder.
TEST_F(RunInstallTest, StagingMoveThatCannotReplaceAFolderFails) {
  WriteProduct();
  Open();
  ASSERT_EQ(CreateDirectories(u"C:\\Program Files\\Tool"), 0);
  ASSERT_EQ(CreateDirectories(u"C:\\Program Files\\Tool\\readme.txt"), 0);
  WriteFileAt(u"C:\\Program Files\\Tool\\old.dat", "kept");
  EXPECT_EQ(RunInstall(dialog_), -1);
  const auto& ops = HostShellOperations();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].from, u"C:\\users\\user\\Temp\\1\\Tool\\*");
  EXPECT_EQ(ops[0].to, u"C:\\Program Files\\Tool");
  EXPECT_EQ(ReadFile(u"C:\\Program Files\\Tool\\KTool.exe"), "MZ main program");
  EXPECT_EQ(ReadFile(u"C:\\Program Files\\Tool\\old.dat"), "kept");
  EXPECT_TRUE(Exists(u"C:\\users\\user\\Temp\\1\\Tool\\readme.txt")) << "staging root stays";
  EXPECT_FALSE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
  EXPECT_TRUE(HostMessages().empty());
}

TEST_F(RunInstallTest, StagingRouteWhenTheFirstAttemptCannotCreateAFile) {
  std::u16string destination = OpenWithLongDestination();
  EXPECT_EQ(RunInstall(dialog_), 0);
  const auto& ops = HostShellOperations();
  ASSERT_GE(ops.size(), 2u);
  EXPECT_EQ(ops[0].function, 1u);
  EXPECT_EQ(ops[0].from, u"C:\\users\\user\\Temp\\1\\Tool\\*");
  EXPECT_EQ(ops[0].to, destination);
  EXPECT_EQ(ops.back().function, 3u);
  EXPECT_EQ(ops.back().from, u"C:\\users\\user\\Temp\\1");
  EXPECT_TRUE(Exists(destination + u"\\KTool.exe"));
  EXPECT_FALSE(Exists(destination + u"\\Tool"));  // merged, not nested
  EXPECT_FALSE(Exists(u"C:\\users\\user\\Temp\\1"));
  // The group shares its name with the staging folder; it is still built and moved in.
  EXPECT_TRUE(Exists(u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool\\Tool.lnk"));
  std::u16string value;
  ASSERT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", &value));
  EXPECT_EQ(value, destination);
  HostShortcut link;
  ASSERT_TRUE(HostReadShortcut(u"C:\\users\\user\\Desktop\\Tool.lnk", &link));
  EXPECT_EQ(link.target, destination + u"\\KTool.exe");
}

TEST_F(RunInstallTest, StagingFailsAgainReportsCannotCreate) {
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
  w.AddStored(std::string(250, 'f') + ".txt", BytesOf("too long everywhere"));
  WritePayload(w);
  Open();
  EXPECT_EQ(RunInstall(dialog_), -5);
  ASSERT_EQ(HostMessages().size(), 1u);
  char16_t expected[512];
  SystemErrorText(82, expected, 512);
  EXPECT_EQ(HostMessages()[0].text, expected);
  EXPECT_EQ(HostMessages()[0].type, 16u);
  EXPECT_TRUE(Exists(u"C:\\users\\user\\Temp\\1")) << "the staging root stays after a failure";
}

TEST_F(RunInstallTest, CancelledMoveFromStagingRegistersNothing) {
  OpenWithLongDestination();
  HostSetShellOutcome(HostShellOutcome::Cancel);
  EXPECT_EQ(RunInstall(dialog_), -1);
  EXPECT_FALSE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
  EXPECT_FALSE(HostReadShortcut(u"C:\\users\\user\\Desktop\\Tool.lnk", nullptr));
  EXPECT_TRUE(HostMessages().empty());
  EXPECT_STREQ(HostCurrentCursor(), "arrow");
}

// The uninstall entry's size counts what the last pass wrote: not the installation
// description, not an unchecked language, and not the first attempt of a staged install.
TEST_F(RunInstallTest, EstimatedSizeCountsEachWrittenEntryOnce) {
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\nPublisher=Tool Makers\r\n" + std::string(1000, ';')));
  w.AddStored("KTool.exe", Bytes(1500, 0x4B));
  w.AddStored("UnInst.exe", Bytes(600, 0x55));
  w.AddStored("APP_FR.LNG", BytesOf("[Info]\r\nLanguage=Fran\xE7" "ais\r\n"));  // 27 bytes
  w.AddStored("APP_FR.CHM", Bytes(5000, 0x46));
  w.AddStored(std::string(60, 'f') + ".txt", Bytes(100, 0x66));  // too long for a deep destination
  WritePayload(w);
  Open();
  const std::u16string deep = u"C:\\" + std::u16string(200, u'd') + u"\\Tool";
  const struct {
    const char16_t* destination;
    bool french;
    int64_t kb;
  } rows[] = {
      {u"C:\\Program Files\\Tool", true, 8},  // 7227 bytes
      {u"C:\\Program Files\\Tool", false, 3},  // 2200 bytes
      {deep.c_str(), true, 8},                  // the first attempt wrote 7127 before it failed
  };
  const char16_t key[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
  for (const auto& row : rows) {
    SCOPED_TRACE(HostUtf8(row.destination));
    ListSetStateImage(List(), FindLanguageItem(List(), 0x5246), row.french ? kStateChecked : kStateUnchecked);
    SetDestination(row.destination);
    ASSERT_EQ(RunInstall(dialog_), 0);
    RegistryKey handle = nullptr;
    ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::LocalMachine, key, kKeyRead, &handle), 0);
    uint32_t type = 0, size = 4, kb = 0;
    EXPECT_EQ(PlatformRegQueryValue(handle, u"EstimatedSize", &type, &kb, &size), 0);
    PlatformRegCloseKey(handle);
    EXPECT_EQ(type, 4u);
    EXPECT_EQ(int64_t(kb), row.kb);
    std::u16string publisher;
    ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, key, u"Publisher", &publisher));
    EXPECT_EQ(publisher, u"Tool Makers");
  }
}

// A write that fails for lack of room is not reported as a damaged download.
TEST_F(RunInstallTest, FullDiskIsNotReportedAsBrokenDownload) {
  RarWriter w = StartPayload();
  w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
  w.AddStored("big.bin", Bytes(300000, 0x5A));
  WritePayload(w);
  Open();
  // Files of this process may grow to 64 KiB only: writes beyond fail as on a full disk.
  struct rlimit saved;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previous = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 65536;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  int result = RunInstall(dialog_);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previous);
  EXPECT_EQ(result, 3);
  ASSERT_EQ(HostMessages().size(), 1u);
  char16_t expected[512];
  SystemErrorText(kErrorDiskFull, expected, 512);
  EXPECT_EQ(HostMessages()[0].text, expected);
  EXPECT_NE(HostMessages()[0].text, u"Broken file, please download again.");
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool\\big.bin"));
}

// The destination's old PSAPI.DLL is moved aside, never over another.
using OldPsapi = MachineTest;

TEST_F(OldPsapi, OldPsapiIsMovedAsideOnlyWhenTheNewNameIsFree) {
  MakeFolder(u"C:\\Tool");
  MoveOldPsapiAside(u"C:\\Tool");  // nothing there: nothing happens
  EXPECT_FALSE(Exists(u"C:\\Tool\\KVPSAPI.DLL"));

  WriteFile(u"C:\\Tool\\PSAPI.DLL", "old");
  MoveOldPsapiAside(u"C:\\Tool\\");
  EXPECT_FALSE(Exists(u"C:\\Tool\\PSAPI.DLL"));
  EXPECT_EQ(ReadFile(u"C:\\Tool\\KVPSAPI.DLL"), "old");

  WriteFile(u"C:\\Tool\\PSAPI.DLL", "newer");
  MoveOldPsapiAside(u"C:\\Tool");  // both present: nothing changes
  EXPECT_EQ(ReadFile(u"C:\\Tool\\PSAPI.DLL"), "newer");
  EXPECT_EQ(ReadFile(u"C:\\Tool\\KVPSAPI.DLL"), "old");
}

TEST_F(OldPsapi, PsapiNameIsFoundInAnyLetterCase) {
  MakeFolder(u"C:\\Tool");
  WriteFile(u"C:\\Tool\\psapi.dll", "old");
  MoveOldPsapiAside(u"C:\\Tool");
  EXPECT_EQ(ReadFile(u"C:\\Tool\\KVPSAPI.DLL"), "old");
  EXPECT_FALSE(Exists(u"C:\\Tool\\psapi.dll"));
}

// An elevated setup stages in a folder it can trust, and holds every staged file while the
// shell moves them; all is let go afterwards, also when the move failed (the root then stays).
TEST_F(RunInstallTest, AnElevatedSetupStagesInAProtectedFolderAndHoldsTheFiles) {
  HostSetElevated(true);
  HostQueueRandomBytes({0xab, 0xab, 0xab, 0xab, 0xab, 0xab, 0xab, 0xab});
  const std::u16string root = u"C:\\users\\user\\Temp\\abababababababab";
  OpenWithLongDestination();
  HostSetShellOutcome(HostShellOutcome::Fail);
  EXPECT_EQ(RunInstall(dialog_), -1);
  const auto& ops = HostShellOperations();
  ASSERT_EQ(ops.size(), 1u);
  EXPECT_EQ(ops[0].from, root + u"\\Tool\\*");
  EXPECT_EQ(ops[0].heldHandles, 3) << "the staging root and its two files";
  EXPECT_EQ(HostFolderSecurity(root).substr(0, 6), u"D:P(A;");
  EXPECT_EQ(HostHeldHandles(), 0);
  EXPECT_TRUE(Exists(root + u"\\Tool\\KTool.exe"));
}

}  // namespace
}  // namespace setuptest
