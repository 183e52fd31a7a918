// The uninstaller on the stand-in: what it removes and what it must leave, the file in use,
// a second run, the question's answer and a damaged record.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "system/folders.h"
#include "system/messages.h"
#include "system/host/host_control.h"
#include "system/host/host_dialog.h"
#include "system/platform.h"
#include "system/text.h"
#include "payload/removal_record.h"
#include "uninstall/uninstall_main.h"
#include "support/removal_record_builder.h"

namespace {

const std::u16string kFolder = u"C:\\Program Files\\Tool";
const std::u16string kUninstallKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tool";
const std::u16string kGroupFolder = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Tool";
const std::u16string kDesktop = u"C:\\users\\user\\Desktop";
const std::u16string kQuickLaunch = u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";
using recordtest::kRecorded;
using recordtest::Record;

class UninstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    HostReset(root_);
    HostClearMessages();
    HostClearForeignWindows();
    HostSetModulePath((kFolder + u"\\UnInst.exe").c_str());
    HostSetMessageAnswer(6);  // Yes
    Install();
  }
  void TearDown() override { HostRemoveTree(root_); }

  static std::string Native(const std::u16string& path) { return HostNativePath(path.c_str()); }
  static bool Exists(const std::u16string& path) { return FileExists(path.c_str()); }
  static void Write(const std::u16string& path, const std::string& content) {
    std::ofstream(Native(path), std::ios::binary) << content;
  }
  static std::string Read(const std::u16string& path) {
    std::ifstream in(Native(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  static void Link(const std::u16string& link, const std::u16string& target) {
    PlatformCreateShellLink(link.c_str(), target.c_str(), kFolder.c_str(), 5);
  }
  // What the setup made: the files, the group's links, desktop and Quick Launch links, the
  // uninstall key and the remembered folder; and one file the user saved there.
  void Install() {
    CreateDirectories(kFolder.c_str());
    for (const char* name : kRecorded) Write(kFolder + u"\\" + HostUtf16(name), "installed");
    const std::vector<uint8_t> record = Record(kRecorded, 4);
    Write(kFolder + u"\\UnInst.exe", "MZ uninstaller" + std::string(record.begin(), record.end()));
    Write(kFolder + u"\\notes.txt", "the user's own");
    CreateDirectories(kGroupFolder.c_str());
    CreateDirectories(kQuickLaunch.c_str());
    Link(kGroupFolder + u"\\Tool.lnk", kFolder + u"\\KTool.exe");
    Link(kGroupFolder + u"\\Uninstall.lnk", kFolder + u"\\UnInst.exe");
    Link(kDesktop + u"\\Tool.lnk", kFolder + u"\\KTool.exe");
    Link(kQuickLaunch + u"\\Tool.lnk", kFolder + u"\\KTool.exe");
    HostRegistryWrite(HostHive::LocalMachine, kUninstallKey, u"UninstallString", u"\"" + kFolder + u"\\UnInst.exe\"");
    HostRegistryWrite(HostHive::CurrentUser, u"Software\\Korvane", u"TL", kFolder + u"\\");
  }
  std::u16string LastMessage() { return HostMessages().empty() ? u"" : HostMessages().back().text; }

  std::string root_;
};

TEST_F(UninstallTest, RemovesWhatTheSetupMadeAndNothingElse) {
  // Another installation's links and keys under the same names, and one of the user's.
  Link(kGroupFolder + u"\\Mine.lnk", u"C:\\Other\\Mine.exe");
  Link(kQuickLaunch + u"\\Tool.lnk", u"D:\\Tool\\KTool.exe");
  HostRegistryWrite(HostHive::CurrentUser, u"Software\\Korvane", u"XY", u"C:\\Program Files\\Other");
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);

  for (const char* name : {"KTool.exe", "readme.txt", "APP_FR.LNG"})
    EXPECT_FALSE(Exists(kFolder + u"\\" + HostUtf16(name))) << name;
  EXPECT_EQ(Read(kFolder + u"\\notes.txt"), "the user's own");
  EXPECT_FALSE(Exists(kGroupFolder + u"\\Tool.lnk"));
  EXPECT_FALSE(Exists(kGroupFolder + u"\\Uninstall.lnk"));
  EXPECT_TRUE(Exists(kGroupFolder + u"\\Mine.lnk"));  // so the group folder stays too
  EXPECT_FALSE(Exists(kDesktop + u"\\Tool.lnk"));
  EXPECT_TRUE(Exists(kQuickLaunch + u"\\Tool.lnk"));  // it points into another installation
  EXPECT_FALSE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
  EXPECT_FALSE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
  EXPECT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"XY", nullptr));
  // Without a copy to run from (the stand-in starts no processes) the running uninstaller
  // stays, marked for deletion at the next restart; the folder keeps the user's file.
  EXPECT_TRUE(Exists(kFolder + u"\\UnInst.exe"));
  ASSERT_EQ(HostDeletedAtRestart().size(), 1u);
  EXPECT_EQ(HostDeletedAtRestart()[0], kFolder + u"\\UnInst.exe");
  EXPECT_EQ(LastMessage(), u"Tool has been removed.");
  ASSERT_EQ(HostMessages().size(), 2u);
  EXPECT_EQ(HostMessages()[0].text, u"Remove Tool and all of its components?");
  EXPECT_EQ(HostMessages()[0].caption, u"Tool Uninstall");
}

// /SILENT and /VERYSILENT (any case, "/" or "-") remove without the question and without the
// final message; the exit code tells the outcome, and /LOG keeps what was said.
TEST_F(UninstallTest, QuietSwitchesRemoveWithoutAQuestionOrAMessage) {
  const struct {
    const char16_t* line;
    bool inUse;
    int code;
  } rows[] = {
      {u"\"C:\\Program Files\\Tool\\UnInst.exe\" /VERYSILENT /LOG=\"C:\\un.log\"", false, kUninstallSucceeded},
      {u"UnInst.exe -silent /LOG=C:\\un.log", true, kUninstallIncomplete},
  };
  for (const auto& row : rows) {
    Install();
    HostClearMessages();
    HostSetFileInUse(kFolder + u"\\readme.txt", row.inUse);
    EXPECT_EQ(UninstallMain(row.line), row.code);
    EXPECT_TRUE(HostMessages().empty());
    EXPECT_FALSE(Exists(kFolder + u"\\KTool.exe"));
    EXPECT_EQ(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey), row.inUse);
    const std::string log = Read(u"C:\\un.log");
    EXPECT_NE(log.find("exit code: " + std::to_string(row.code) + "\r\n"), std::string::npos) << log;
    if (row.inUse) {
      EXPECT_NE(log.find("readme.txt"), std::string::npos) << log;
    }
    HostSetFileInUse(kFolder + u"\\readme.txt", false);
  }
}

TEST_F(UninstallTest, KeysOfAnotherFolderStay) {
  HostRegistryWrite(HostHive::LocalMachine, kUninstallKey, u"UninstallString", u"C:\\Elsewhere\\UnInst.exe");
  HostRegistryWrite(HostHive::CurrentUser, u"Software\\Korvane", u"TL", u"C:\\Elsewhere");
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
  EXPECT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"TL", nullptr));
  EXPECT_FALSE(Exists(kFolder + u"\\KTool.exe"));
}

TEST_F(UninstallTest, AFileInUseIsNamedAndTheEntryStaysForASecondRun) {
  HostSetFileInUse(kFolder + u"\\readme.txt", true);
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallIncomplete);
  EXPECT_TRUE(Exists(kFolder + u"\\readme.txt"));
  EXPECT_FALSE(Exists(kFolder + u"\\KTool.exe"));
  EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
  EXPECT_NE(LastMessage().find(u"These files are in use:\n\nreadme.txt\n"), std::u16string::npos) << HostUtf8(LastMessage().c_str());
  EXPECT_TRUE(HostDeletedAtRestart().empty());  // the uninstaller stays for the retry

  HostSetFileInUse(kFolder + u"\\readme.txt", false);
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  EXPECT_FALSE(Exists(kFolder + u"\\readme.txt"));
  EXPECT_FALSE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
  EXPECT_FALSE(HostRegistryKeyExists(HostHive::CurrentUser, u"Software\\Korvane"));  // its last value went
  // A further run finds nothing of its own left and touches nothing else.
  Link(kDesktop + u"\\Tool.lnk", u"D:\\Tool\\KTool.exe");
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  EXPECT_TRUE(Exists(kFolder + u"\\notes.txt"));
  EXPECT_TRUE(Exists(kDesktop + u"\\Tool.lnk"));
}

TEST_F(UninstallTest, NoOrADamagedRecordChangesNothing) {
  struct Case {
    int answer;
    bool damage;
    int exitCode;
    const char16_t* message;
  } cases[] = {
      {7, false, kUninstallDeclined, u"Remove Tool and all of its components?"},
      {6, true, kUninstallDamaged, u"The uninstall information of this program is damaged. Nothing has been removed."},
  };
  for (const Case& c : cases) {
    HostClearMessages();
    HostSetMessageAnswer(c.answer);
    if (c.damage) {
      std::fstream f(Native(kFolder + u"\\UnInst.exe"), std::ios::in | std::ios::out | std::ios::binary);
      f.seekp(20);
      f.put('x');  // inside the record's body: its checksum no longer holds
    }
    EXPECT_EQ(UninstallMain(u"UnInst.exe"), c.exitCode);
    EXPECT_TRUE(Exists(kFolder + u"\\KTool.exe"));
    EXPECT_TRUE(Exists(kDesktop + u"\\Tool.lnk"));
    EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
    EXPECT_EQ(LastMessage(), c.message);
  }
}

TEST_F(UninstallTest, GermanAndItalianSystemsAskInTheirLanguage) {
  struct Case {
    uint16_t language;
    const char* question;
  } cases[] = {{1031, "Tool und alle zugeh\xC3\xB6rigen Komponenten entfernen?"},
               {1040, "Rimuovere Tool e tutti i suoi componenti?"}};
  for (const Case& c : cases) {
    HostClearMessages();
    HostSetSystemLanguage(c.language);
    HostSetMessageAnswer(7);
    EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallDeclined);
    EXPECT_EQ(HostUtf8(LastMessage().c_str()), c.question);
  }
}

// The group's folder is the setup's to remove only when the uninstall entry records that the
// setup created it: the Start Menu's own "StartUp" (or another product's group of the same
// name) stays, even when empty.
TEST_F(UninstallTest, OnlyAGroupFolderTheSetupCreatedIsRemoved) {
  for (const bool created : {true, false}) {
    SCOPED_TRACE(created ? "recorded as created" : "there before");
    Install();
    if (created) {
      RegistryKey key = nullptr;
      ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::LocalMachine, kUninstallKey.c_str(), kKeyWrite, &key), 0);
      const uint8_t csidl[4] = {23, 0, 0, 0};  // the all-users programs folder
      PlatformRegSetValue(key, u"ProgramGroupCreated", 4, csidl, 4);
      PlatformRegCloseKey(key);
    }
    EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
    EXPECT_FALSE(Exists(kGroupFolder + u"\\Tool.lnk"));
    EXPECT_EQ(Exists(kGroupFolder), !created);
  }
}

}  // namespace

// The work is the copy's. An elevated original removes nothing itself: not when its copy
// started but reported nothing (another program may have run in its place), nor when no safe
// copy could be made; the user is told why. Only an original without elevation works in place
// when no copy can start.
TEST_F(UninstallTest, TheOriginalLeavesTheWorkToItsCopy) {
  struct Case {
    const char* what;
    bool elevated;
    int copyResult;
    bool tempFolderMissing;
    int exitCode;
    uint32_t error;  // the system text shown, 0 for none
    bool removedInPlace;
  } cases[] = {
      {"the copy reports success", true, 0, false, kUninstallSucceeded, 0, false},
      {"the copy reports files in use", true, kUninstallIncomplete, false, kUninstallIncomplete, 0, false},
      {"the copy reports nothing", true, kCopySilent, false, kUninstallNoCopy, 1067, false},
      {"the copy cannot start", true, kCopyNotStarted, false, kUninstallNoCopy, 2, false},
      {"no safe folder for the copy", true, 0, true, kUninstallNoCopy, 3, false},
      {"not elevated, the copy reports nothing", false, kCopySilent, false, kUninstallNoCopy, 1067, false},
      {"not elevated, the copy cannot start", false, kCopyNotStarted, false, kUninstallSucceeded, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    HostReset(root_);
    Install();
    HostClearMessages();
    HostSetMessageAnswer(6);
    HostSetElevated(c.elevated);
    HostSetCopyResult(c.copyResult);
    if (c.tempFolderMissing) HostSetTempFolder(u"C:\\Gone\\");
    EXPECT_EQ(UninstallMain(u"UnInst.exe"), c.exitCode);
    EXPECT_EQ(Exists(kFolder + u"\\KTool.exe"), !c.removedInPlace);
    EXPECT_EQ(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey), !c.removedInPlace);
    EXPECT_EQ(HostHeldHandles(), 0);
    if (c.error) {
      char16_t text[256];
      SystemErrorText(c.error, text, 256);
      EXPECT_EQ(LastMessage(), text);
      EXPECT_EQ(HostMessages().back().caption, u"Tool Uninstall");
    }
  }
}

// The elevated original's copy lies in a protected folder of a random name, which stays for
// the copy to mark for deletion at restart.
TEST_F(UninstallTest, AnElevatedCopyGoesIntoAProtectedFolder) {
  HostSetElevated(true);
  HostSetCopyResult(kUninstallSucceeded);
  HostQueueRandomBytes({1, 2, 3, 4, 5, 6, 7, 8});
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  const std::u16string place = u"C:\\users\\user\\Temp\\0102030405060708";
  EXPECT_EQ(Read(place + u"\\UnInst.exe"), Read(kFolder + u"\\UnInst.exe"));
  EXPECT_EQ(HostFolderSecurity(place).substr(0, 6), u"D:P(A;");
  EXPECT_FALSE(Exists(u"C:\\users\\user\\Temp\\1"));
}
