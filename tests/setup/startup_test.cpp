// The whole run of the setup program on the stand-in, from the entry's first step to its
// last, with a scripted user.
#include "setup/startup.h"

#include <cstring>

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

}  // namespace
}  // namespace setuptest
