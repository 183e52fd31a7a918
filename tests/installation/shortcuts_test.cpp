// The uninstall entry, the shortcuts and the program group of an installation.
#include "installation/shortcuts.h"

#include <gtest/gtest.h>

#include <string>

#include "installation/destination.h"
#include "installation/uninstall_entry.h"
#include "system/folders.h"
#include "system/machine_fixture.h"
#include "system/platform.h"
#include "system/registry.h"
#include "system/text.h"

namespace {

const char16_t kUninstallKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Example Product";
const char16_t kDesktop[] = u"C:\\users\\user\\Desktop";
const char16_t kCommonPrograms[] = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const char16_t kUserPrograms[] = u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs";
const char16_t kQuickLaunch[] =
    u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";

class Shortcuts : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    SetGroup("Example Product");
  }
  static HostShortcut Link(const std::u16string& path) {
    HostShortcut link;
    EXPECT_TRUE(HostReadShortcut(path, &link)) << "no shortcut file";
    return link;
  }
  static InstalledFiles Files(const char16_t* uninstaller, const char16_t* stagingRoot = u"") {
    return {u"C:\\Program Files\\Example", u"Example.exe", uninstaller, stagingRoot};
  }
};

// A REG_DWORD value as the platform reads it back, or -1 when missing or of another type.
int64_t ReadNumber(const char16_t* key, const char16_t* name) {
  RegistryKey handle = nullptr;
  if (PlatformRegOpenKey(RegistryRoot::LocalMachine, key, kKeyRead, &handle) != 0) return -1;
  uint32_t type = 0, size = 4, number = 0;
  long result = PlatformRegQueryValue(handle, name, &type, &number, &size);
  PlatformRegCloseKey(handle);
  return result == 0 && type == 4 && size == 4 ? int64_t(number) : -1;
}

std::u16string ReadText(const char16_t* name) {
  std::u16string value;
  uint32_t type = 0;
  if (!HostRegistryRead(HostHive::LocalMachine, kUninstallKey, name, &value, &type)) return u"<missing>";
  return type == kRegSz ? value : u"<not REG_SZ>";
}

TEST_F(Shortcuts, UninstallEntryHoldsWhatTheListOfInstalledProgramsShows) {
  snprintf(facts_.version, sizeof facts_.version, "2.1");
  snprintf(facts_.url, sizeof facts_.url, "https://example.org/tool");
  snprintf(facts_.helpUrl, sizeof facts_.helpUrl, "https://example.org/help");
  RegisterUninstall(facts_, {u"C:\\Program Files\\Example\\UnInst.exe", u"C:\\Program Files\\Example",
                     u"C:\\Program Files\\Example\\Example.exe", 5000, nullptr});
  EXPECT_EQ(HostRegistryValueNames(HostHive::LocalMachine, kUninstallKey),
            (std::vector<std::u16string>{u"DisplayName", u"UninstallString", u"Publisher", u"DisplayVersion",
                                         u"DisplayIcon", u"InstallLocation", u"QuietUninstallString",
                                         u"URLInfoAbout", u"HelpLink", u"InstallDate", u"EstimatedSize",
                                         u"NoModify", u"NoRepair"}));
  // What a deployment tool runs to remove it without a question; the stand-in's local date.
  EXPECT_EQ(ReadText(u"QuietUninstallString"), u"\"C:\\Program Files\\Example\\UnInst.exe\" /VERYSILENT");
  EXPECT_EQ(ReadText(u"URLInfoAbout"), u"https://example.org/tool");
  EXPECT_EQ(ReadText(u"HelpLink"), u"https://example.org/help");
  EXPECT_EQ(ReadText(u"InstallDate"), u"20260101");
  EXPECT_EQ(ReadText(u"DisplayName"), u"Example Product");
  // Quoted, so that Windows does not try C:\Program.exe first.
  EXPECT_EQ(ReadText(u"UninstallString"), u"\"C:\\Program Files\\Example\\UnInst.exe\"");
  EXPECT_EQ(ReadText(u"DisplayVersion"), u"2.1");
  EXPECT_EQ(ReadText(u"DisplayIcon"), u"C:\\Program Files\\Example\\Example.exe");
  EXPECT_EQ(ReadText(u"InstallLocation"), u"C:\\Program Files\\Example");
  EXPECT_EQ(ReadNumber(kUninstallKey, u"EstimatedSize"), 5);
  EXPECT_EQ(ReadNumber(kUninstallKey, u"NoModify"), 1);
  EXPECT_EQ(ReadNumber(kUninstallKey, u"NoRepair"), 1);
}

TEST_F(Shortcuts, UninstallEntryLeavesOutWhatTheSetupDoesNotKnow) {
  struct Row {
    const char* publisher;  // the .INF's "Publisher"
    const char* version;    // from FILE_ID.DIZ
    const char16_t* mainProgram;
    const char16_t* shownPublisher;
    const char16_t* shownVersion;
    const char16_t* shownIcon;
  } rows[] = {
      {"", "", nullptr, u"Korvane", u"<missing>", u"<missing>"},
      {"Example Labs", "", u"", u"Example Labs", u"<missing>", u"<missing>"},
      {"", "1.0 beta", u"D:\\Ex\\Ex.exe", u"Korvane", u"1.0 beta", u"D:\\Ex\\Ex.exe"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.publisher);
    for (const char16_t* name : {u"DisplayVersion", u"DisplayIcon"})  // left by the row before
      HostRegistryDeleteValue(HostHive::LocalMachine, kUninstallKey, name);
    snprintf(facts_.publisher, sizeof facts_.publisher, "%s", row.publisher);
    snprintf(facts_.version, sizeof facts_.version, "%s", row.version);
    RegisterUninstall(facts_, {u"D:\\Ex\\UnInst.exe", u"D:\\Ex", row.mainProgram, 0, nullptr});
    EXPECT_EQ(ReadText(u"Publisher"), row.shownPublisher);
    EXPECT_EQ(ReadText(u"DisplayVersion"), row.shownVersion);
    EXPECT_EQ(ReadText(u"DisplayIcon"), row.shownIcon);
    EXPECT_EQ(ReadText(u"UninstallString"), u"\"D:\\Ex\\UnInst.exe\"");
    EXPECT_EQ(ReadText(u"URLInfoAbout"), u"<missing>");
    EXPECT_EQ(ReadText(u"HelpLink"), u"<missing>");
  }
}

TEST(EstimatedSize, KilobytesAreRoundedUpAndCappedAtADword) {
  const struct {
    uint64_t bytes;
    uint32_t kb;
  } rows[] = {{0, 0}, {1, 1}, {1023, 1}, {1024, 1}, {1025, 2}, {0x3FFFFFFFC00ull, 0xFFFFFFFFu},
              {0x3FFFFFFFC01ull, 0xFFFFFFFFu}, {~0ull, 0xFFFFFFFFu}};
  for (const auto& row : rows) EXPECT_EQ(EstimatedSizeKb(row.bytes), row.kb) << row.bytes;
}

TEST_F(Shortcuts, NothingIsRegisteredOrLinkedWithoutAGroupName) {
  SetGroup("");
  RegisterUninstall(facts_, {u"C:\\Program Files\\Example\\UnInst.exe", u"C:\\Program Files\\Example", nullptr, 0, nullptr});
  EXPECT_TRUE(HostRegistryValueNames(HostHive::LocalMachine,
                                     u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall").empty());
  CreateProgramGroup(nullptr, u"", Files(u"UnInst.exe"));
  EXPECT_FALSE(Exists((std::u16string(kCommonPrograms) + u"\\Uninstall.lnk").c_str()));
  CreateDesktopLink(u"C:\\Program Files\\Example\\Example.exe", u"");
  EXPECT_FALSE(Exists((std::u16string(kDesktop) + u"\\.lnk").c_str()));
}

TEST_F(Shortcuts, DesktopAndQuickLaunchLinksWorkInTheTargetsFolder) {
  CreateDirectories(kQuickLaunch);
  const char16_t target[] = u"C:\\Program Files\\Example\\Example.exe";
  CreateDesktopLink(target, u"Example Product");
  CreateQuickLaunchLink(target, u"Example Product");
  for (const std::u16string folder : {kDesktop, kQuickLaunch}) {
    const HostShortcut link = Link(folder + u"\\Example Product.lnk");
    EXPECT_EQ(link.target, target);
    EXPECT_EQ(link.workingDirectory, u"C:\\Program Files\\Example");
    EXPECT_EQ(link.showCommand, 5);
  }
}

TEST_F(Shortcuts, AnExistingShortcutIsReplaced) {
  WriteFile((std::u16string(kDesktop) + u"\\Example Product.lnk").c_str(), "old");
  CreateDesktopLink(u"D:\\New\\Example.exe", u"Example Product");
  EXPECT_EQ(Link(std::u16string(kDesktop) + u"\\Example Product.lnk").target, u"D:\\New\\Example.exe");
}

TEST_F(Shortcuts, NoFolderNoLink) {
  HostSetSpecialFolder(kFolderDesktop, u"");
  CreateDesktopLink(u"C:\\Program Files\\Example\\Example.exe", u"Example Product");
  // Without a Quick Launch folder the link object cannot save, and nothing else is made.
  CreateQuickLaunchLink(u"C:\\Program Files\\Example\\Example.exe", u"Example Product");
  EXPECT_FALSE(Exists((std::u16string(kQuickLaunch) + u"\\Example Product.lnk").c_str()));
  EXPECT_FALSE(Exists(u"C:\\Example Product.lnk"));
}

TEST_F(Shortcuts, ProgramGroupHoldsProgramAndUninstaller) {
  CreateProgramGroup(nullptr, u"Example Product", Files(u"UNINST.EXE"));
  const std::u16string group = std::u16string(kCommonPrograms) + u"\\Example Product";
  HostShortcut main = Link(group + u"\\Example Product.lnk");
  EXPECT_EQ(main.target, u"C:\\Program Files\\Example\\Example.exe");
  EXPECT_EQ(main.workingDirectory, u"C:\\Program Files\\Example");
  HostShortcut uninstall = Link(group + u"\\Uninstall.lnk");
  EXPECT_EQ(uninstall.target, u"C:\\Program Files\\Example\\UNINST.EXE");  // as spelled in the payload
  EXPECT_EQ(uninstall.workingDirectory, u"C:\\Program Files\\Example");
}

TEST_F(Shortcuts, ProgramGroupWithoutUninstallerAndInTheUsersFolder) {
  HostSetSpecialFolder(kFolderCommonPrograms, u"");
  CreateProgramGroup(nullptr, u"Example Product", Files(u""));
  const std::u16string group = std::u16string(kUserPrograms) + u"\\Example Product";
  EXPECT_TRUE(HostReadShortcut(group + u"\\Example Product.lnk", nullptr));
  EXPECT_FALSE(Exists((group + u"\\Uninstall.lnk").c_str()));
}

TEST_F(Shortcuts, AnExistingGroupFolderIsLeftUntouched) {
  const std::u16string group = std::u16string(kCommonPrograms) + u"\\Example Product";
  MakeFolder(group.c_str());
  CreateProgramGroup(nullptr, u"Example Product", Files(u"UnInst.exe"));
  EXPECT_FALSE(Exists((group + u"\\Example Product.lnk").c_str()));
}

TEST_F(Shortcuts, NoProgramsFolderNoGroup) {
  HostSetSpecialFolder(kFolderCommonPrograms, u"");
  HostSetSpecialFolder(kFolderPrograms, u"");
  CreateProgramGroup(nullptr, u"Example Product", Files(u"UnInst.exe"));
  EXPECT_TRUE(HostShellOperations().empty());
  EXPECT_FALSE(Exists(u"C:\\Example Product"));
}

TEST_F(Shortcuts, StagedGroupIsBuiltInTheStagingRootAndMovedIntoPlace) {
  MakeFolder(u"C:\\users\\user\\Temp\\1");
  int marker = 0;
  CreateProgramGroup(&marker, u"Example Product", Files(u"UnInst.exe", u"C:\\users\\user\\Temp\\1"));
  ASSERT_EQ(HostShellOperations().size(), 1u);
  const HostShellOperation& move = HostShellOperations()[0];
  EXPECT_EQ(move.owner, &marker);
  EXPECT_EQ(move.from, u"C:\\users\\user\\Temp\\1\\Example Product");
  EXPECT_EQ(move.to, kCommonPrograms);
  const std::u16string group = std::u16string(kCommonPrograms) + u"\\Example Product";
  EXPECT_EQ(Link(group + u"\\Example Product.lnk").target, u"C:\\Program Files\\Example\\Example.exe");
  EXPECT_TRUE(HostReadShortcut(group + u"\\Uninstall.lnk", nullptr));
  EXPECT_FALSE(Exists(u"C:\\users\\user\\Temp\\1\\Example Product"));
}

}  // namespace

namespace {

TEST_F(Shortcuts, OnA64BitSystemMachineKeysLandInThe32BitView) {
  HostSetWow64(true);
  SetProductId("ABC");
  // The program-files folder the setup sees is the 32-bit one.
  char16_t proposal[kPathCapacity];
  DefaultDestination(facts_, proposal, kPathCapacity);
  EXPECT_EQ(std::u16string(proposal), u"C:\\Program Files (x86)\\Example Product");
  RegisterUninstall(facts_, {u"C:\\Program Files (x86)\\Example\\UnInst.exe", u"C:\\Program Files (x86)\\Example", nullptr, 0, nullptr});
  std::u16string value;
  EXPECT_TRUE(HostRegistryRead(HostHive::LocalMachine,
                               u"Software\\WOW6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Example Product",
                               u"UninstallString", &value));
  EXPECT_EQ(value, u"\"C:\\Program Files (x86)\\Example\\UnInst.exe\"");
  EXPECT_FALSE(HostRegistryKeyExists(HostHive::LocalMachine, kUninstallKey));
  // An update proposes the folder the entry names, read back from the same view; per-user
  // keys are not redirected.
  DefaultDestination(facts_, proposal, kPathCapacity);
  EXPECT_EQ(std::u16string(proposal), u"C:\\Program Files (x86)\\Example");
  SaveDestination(facts_.productId, u"D:\\Elsewhere");
  EXPECT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"ABC", &value));
}

}  // namespace
