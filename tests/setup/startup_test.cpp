// The whole run of the setup program on the stand-in, from the entry's first step to its
// last, with a scripted user.
#include "setup/startup.h"

#include <cstring>

#include "payload/deployment.h"

#include "setup_test_support.h"

namespace setuptest {
namespace {

// The interface language: the system's default language chooses the table, or a code set already.
TEST_F(SetupFlowTest, LanguageIdsChooseTheirTable) {
  const struct {
    uint16_t languageId;
    const char* code;
    const LanguageTable* table;
  } cases[] = {
      {1031, "DE", kDeTable}, {2055, "DE", kDeTable}, {3079, "DE", kDeTable}, {4103, "DE", kDeTable},
      {5127, "DE", kDeTable}, {1040, "IT", kItTable}, {2064, "IT", kItTable}, {1036, "US", kUsTable},
      {1033, "US", kUsTable}, {3082, "US", kUsTable}, {0, "US", kUsTable},    {7, "US", kUsTable},
  };
  for (const auto& c : cases) {
    state_.languageCode[0] = 0;
    HostSetSystemLanguage(c.languageId);
    ChooseLanguageTable();
    EXPECT_STREQ(state_.languageCode, c.code) << c.languageId;
    EXPECT_EQ(state_.languageTable, c.table) << c.languageId;
  }
  HostSetSystemLanguage(1033);
}

TEST_F(SetupFlowTest, PresetCodeIsMatchedIgnoringCaseAndUnknownCodesGetTheDefault) {
  HostSetSystemLanguage(1031);
  strcpy(state_.languageCode, "it");
  ChooseLanguageTable();
  EXPECT_EQ(state_.languageTable, kItTable);
  EXPECT_STREQ(state_.languageCode, "it");
  strcpy(state_.languageCode, "FR");
  ChooseLanguageTable();
  EXPECT_EQ(state_.languageTable, kUsTable);
  HostSetSystemLanguage(1033);
}

class StartupTest : public SetupFlowTest {
 protected:
  void SetUp() override {
    SetupFlowTest::SetUp();
    gSetupState = nullptr;  // SetupMain makes its own
    RarWriter w = StartPayload();
    w.AddStored("FILE_ID.DIZ", BytesOf("Tool Version 2.1\r\n"));
    w.AddStored("TOOL.INF", BytesOf("ID=TL\r\nGroup=Tool\r\n"));
    w.AddStored("KTool.exe", BytesOf("MZ"));
    WritePayload(w);
  }
  void TearDown() override {
    HostSetDialogScript(nullptr);
    SetupFlowTest::TearDown();
  }
};

TEST_F(StartupTest, OkInstallsAndTheRunEndsCleanly) {
  int comDepthBefore = HostComDepth();
  int controlsBefore = HostCommonControlsInitialised();
  std::u16string seenTitle;
  HostSetDialogScript([&](WindowHandle dialog) {
    ASSERT_NE(gSetupState, nullptr);
    EXPECT_STREQ(gSetupState->languageCode, "US");
    EXPECT_NE(gSetupState->icon, nullptr);
    EXPECT_EQ(std::u16string(gSetupState->modulePath), kModulePath);
    EXPECT_EQ(HostComDepth(), comDepthBefore + 1);
    seenTitle = HostWindowOf(dialog)->text;
    HostClick(dialog, kControlOk);
  });
  EXPECT_EQ(SetupMain(u"Setup.exe"), 0);
  EXPECT_EQ(seenTitle, u"Setup Tool 2.1");
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tool\\KTool.exe"));
  EXPECT_EQ(gSetupState, nullptr);
  EXPECT_EQ(HostComDepth(), comDepthBefore);
  EXPECT_EQ(HostCommonControlsInitialised(), controlsBefore + 1);
  ASSERT_EQ(HostMessages().size(), 1u);
  EXPECT_EQ(HostMessages()[0].text, u"Tool has been successfully installed.");
}

TEST_F(StartupTest, GermanSystemGetsTheGermanTable) {
  HostSetSystemLanguage(2055);
  std::u16string ok;
  HostSetDialogScript([&](WindowHandle dialog) {
    ok = HostControl(dialog, kControlCancel)->text;
    HostClick(dialog, kControlCancel);
  });
  EXPECT_EQ(SetupMain(u"Setup.exe"), 0);
  EXPECT_EQ(ok, u"Abbruch");
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool"));
}

TEST_F(StartupTest, ClosingWithoutAnswerInstallsNothing) {
  EXPECT_EQ(SetupMain(u"Setup.exe"), 0);
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tool"));
  EXPECT_TRUE(HostMessages().empty());
}


// Runs with switches: what each leaves, on the screen and on disk, and its exit code. The
// dialog's script presses Cancel, so a run that shows the dialog ends cancelled.
TEST_F(StartupTest, SwitchesDecideWhatIsShownWrittenAndReported) {
  const struct {
    const char16_t* line;
    int code;
    bool installed;
    size_t messages;      // message boxes shown
    bool dialogShown;
  } rows[] = {
      {u"Setup.exe /VERYSILENT", kSetupSucceeded, true, 0, false},
      {u"\"C:\\Downloads\\Setup.exe\" /verysilent /TASKS=", kSetupSucceeded, true, 0, false},
      {u"Setup.exe /LOG=C:\\setup.log", kSetupCancelled, false, 0, true},
      {u"Setup.exe /VERYSILENT /X", kSetupBadCommandLine, false, 0, false},
      {u"Setup.exe /X", kSetupBadCommandLine, false, 1, false},
      {u"Setup.exe /VERYSILENT /LANGUAGES=FR", kSetupBadCommandLine, false, 0, false},  // no FR here
      {u"Setup.exe /LANGUAGES=FR", kSetupBadCommandLine, false, 1, false},
      {u"Setup.exe /SILENT /DIR=C:\\Windows\\Tool", kSetupDestinationFailed, false, 0, false},
      {u"Setup.exe", kSetupSucceeded, false, 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.line, row.line + std::char_traits<char16_t>::length(row.line)));
    HostClearMessages();
    bool shown = false;
    HostSetDialogScript([&](WindowHandle dialog) {
      shown = true;
      HostClick(dialog, kControlCancel);
    });
    EXPECT_EQ(SetupMain(row.line), row.code);
    EXPECT_EQ(shown, row.dialogShown);
    EXPECT_EQ(Exists(u"C:\\Program Files\\Tool\\KTool.exe"), row.installed);
    EXPECT_EQ(HostMessages().size(), row.messages);
    if (row.installed) HostRemoveTree(Native(u"C:\\Program Files\\Tool"));
  }
}

TEST_F(StartupTest, SilentRunShowsOnlyItsProgressAndLogsWhatItDid) {
  EXPECT_EQ(SetupMain(u"Setup.exe /SILENT /TASKS=desktop,quicklaunch /LOG=C:\\setup.log"), kSetupSucceeded);
  EXPECT_TRUE(HostMessages().empty());
  const HostProgressRecord& progress = HostProgressWindow();
  EXPECT_TRUE(progress.opened);
  EXPECT_FALSE(progress.open);
  EXPECT_EQ(progress.caption, u"Setup Tool 2.1");
  EXPECT_EQ(progress.text, u"C:\\Program Files\\Tool\\KTool.exe");
  EXPECT_EQ(progress.thousandths, 1000);
  const std::string log = ReadFile(u"C:\\setup.log");
  for (const char* line : {"command line: /SILENT /TASKS=desktop,quicklaunch /LOG=C:\\setup.log\r\n",
                           "file: C:\\Program Files\\Tool\\KTool.exe\r\n", "shortcut: desktop\r\n",
                           // this machine has no Quick Launch folder
                           "shortcut skipped: quick launch", "exit code: 0\r\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line << " in\n" << log;
  EXPECT_EQ(log.find("program group"), std::string::npos);
}

TEST_F(StartupTest, VerySilentRunShowsNoProgressWindow) {
  EXPECT_EQ(SetupMain(u"Setup.exe /VERYSILENT"), kSetupSucceeded);
  EXPECT_FALSE(HostProgressWindow().opened);
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tool\\KTool.exe"));
}

}  // namespace
}  // namespace setuptest
