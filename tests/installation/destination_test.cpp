// The proposed destination and its fall-backs, the remembered folder in the registry, and
// the rules that keep a stored folder out of the system's own.
#include "installation/destination.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "system/machine_fixture.h"
#include "system/host/host_dialog.h"
#include "system/text.h"

namespace {

const char16_t kRememberedKey[] = u"Software\\Korvane";

class Destination : public MachineTest {
 protected:
  std::u16string Proposal() {
    char16_t out[kPathCapacity];
    for (char16_t& c : out) c = u'#';
    DefaultDestination(facts_, out, kPathCapacity);
    return out;
  }
};

TEST_F(Destination, RememberedFolderIsProposedAsStored) {
  SetProductId("ABC");
  SetGroup("Example Product");
  // Even a folder that no longer exists is proposed, and without the group name.
  HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"ABC", u"D:\\Gone\\Tools");
  EXPECT_EQ(Proposal(), u"D:\\Gone\\Tools");
}

// Any process of the user can write the remembered value while the setup runs elevated: a
// value that would install into the system's folders, or through a link, is ignored as if
// none were stored.
TEST_F(Destination, ARememberedFolderTheUserCouldSteerIsIgnored) {
  SetProductId("ABC");
  SetGroup("Example Product");
  MakeFolder(u"C:\\users");
  MakeFolder(u"C:\\users\\real");
  ASSERT_EQ(symlink(HostNativePath(u"C:\\WINDOWS").c_str(), HostNativePath(u"C:\\users\\link").c_str()), 0);
  struct Case {
    const char16_t* stored;
    bool proposed;
  };
  const Case cases[] = {
      {u"D:\\Tools", true},
      {u"C:\\users\\real\\Tools", true},
      {u"C:\\WINDOWSX\\Tools", true},  // beside the Windows folder, not in it
      {u"C:\\WINDOWS\\system32", false},
      {u"c:\\windows", false},
      {u"C:/Windows/Temp/x", false},
      {u"C:\\Program Files\\..\\WINDOWS\\system32", false},
      {u"\\\\?\\C:\\WINDOWS\\system32", false},
      {u"\\\\server\\share\\Tools", false},
      {u"Tools", false},
      {u"C:Tools", false},
      {u"C:\\users\\link\\Tools", false},  // a link that leads anywhere
  };
  for (const Case& c : cases) {
    HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"ABC", c.stored);
    EXPECT_EQ(Proposal(), c.proposed ? std::u16string(c.stored) : u"C:\\Program Files\\Example Product")
        << HostUtf8(c.stored);
  }
}

// An update proposes the folder of the uninstall entry, which only an elevated setup writes,
// before the remembered value.
TEST_F(Destination, AnUpdateProposesTheFolderOfTheUninstallEntry) {
  SetProductId("ABC");
  SetGroup("Example Product");
  const std::u16string key = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Example Product";
  HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"ABC", u"D:\\Remembered");
  HostRegistryWrite(HostHive::LocalMachine, key, u"InstallLocation", u"E:\\Installed");
  EXPECT_EQ(Proposal(), u"E:\\Installed");
  HostRegistryWrite(HostHive::LocalMachine, key, u"InstallLocation", u"C:\\WINDOWS\\system32");
  EXPECT_EQ(Proposal(), u"D:\\Remembered");
}

TEST_F(Destination, TheWindowsFolderIsRecognisedHoweverItIsWritten) {
  const struct {
    const char16_t* path;
    bool inside;
  } cases[] = {
      {u"C:\\WINDOWS", true},           {u"c:\\windows\\", true},
      {u"C:\\Windows\\System32\\x", true}, {u"C:/WINDOWS/Fonts", true},
      {u"C:\\x\\..\\Windows\\y", true},  {u"\\\\?\\C:\\Windows\\y", true},
      {u"C:\\WindowsApps", false},       {u"D:\\WINDOWS", false},
      {u"C:\\Program Files\\Tool", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsInsideWindowsFolder(c.path), c.inside) << HostUtf8(c.path);
}

TEST_F(Destination, FallsBackThroughEverySource) {
  SetProductId("ABC");
  SetGroup("Example Product");
  struct Step {
    const char* what;
    void (*prepare)();
    const char16_t* expected;
  };
  const Step steps[] = {
      {"no remembered value: the program-files value", [] {},
       u"C:\\Program Files\\Example Product"},
      {"an empty remembered value counts as none",
       [] { HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"ABC", u""); },
       u"C:\\Program Files\\Example Product"},
      {"a remembered value too large for the buffer counts as none",
       [] { HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"ABC", std::u16string(300, u'x')); },
       u"C:\\Program Files\\Example Product"},
      {"the value already ends in a backslash",
       [] { HostSetProgramFilesDir(u"E:\\Apps\\"); }, u"E:\\Apps\\Example Product"},
      {"no program-files value: the environment",
       [] {
         HostSetProgramFilesDir(u"");
         HostSetEnvironment(u"ProgramFiles", u"F:\\Progs");
       },
       u"F:\\Progs\\Example Product"},
      {"neither: Program Files beside the Windows folder, existing or not",
       [] {
         HostUnsetEnvironment(u"PROGRAMFILES");
         HostSetWindowsFolder(u"D:\\WIN");
       },
       u"D:\\Program Files\\Example Product"},
      {"a localised Programme folder there wins",
       [] {
         HostAddDrive('D');
         MakeFolder(u"D:\\Programme");
       },
       u"D:\\Programme\\Example Product"},
  };
  for (const Step& step : steps) {
    step.prepare();
    EXPECT_EQ(Proposal(), step.expected) << step.what;
  }
}

TEST_F(Destination, EmptyProductIdNeitherReadsNorWritesTheRememberedFolder) {
  SetGroup("Tool");
  HostRegistryWrite(HostHive::CurrentUser, kRememberedKey, u"", u"D:\\Default value");
  EXPECT_EQ(Proposal(), u"C:\\Program Files\\Tool");
  SaveDestination(facts_.productId, u"C:\\Somewhere");
  EXPECT_EQ(HostRegistryValueNames(HostHive::CurrentUser, kRememberedKey), std::vector<std::u16string>{u""});
}

TEST_F(Destination, NoSourceLeavesTheProposalEmpty) {
  SetGroup("Tool");
  HostSetProgramFilesDir(u"");
  HostUnsetEnvironment(u"ProgramFiles");
  HostSetWindowsFolder(u"");
  EXPECT_EQ(Proposal(), u"");
}

TEST_F(Destination, GroupNameIsCutToTheBuffer) {
  SetGroup("Example Product");
  HostSetProgramFilesDir(u"C:\\" + std::u16string(250, u'p'));
  const std::u16string proposal = Proposal();
  EXPECT_EQ(proposal.size(), 259u);
  EXPECT_EQ(proposal.substr(253), u"\\Examp");
}

TEST_F(Destination, SavedFolderPersistsAndIsProposedNextTime) {
  SetProductId("KV1");
  SetGroup("Tool");
  SaveDestination(facts_.productId, u"D:\\Tools\\My Tool");
  std::u16string stored;
  uint32_t type = 0;
  ASSERT_TRUE(HostRegistryRead(HostHive::CurrentUser, kRememberedKey, u"KV1", &stored, &type));
  EXPECT_EQ(stored, u"D:\\Tools\\My Tool");
  EXPECT_EQ(type, 1u);
  // A new run on the same machine reads it from the registry file.
  HostReset(root_);
  EXPECT_EQ(Proposal(), u"D:\\Tools\\My Tool");
  SaveDestination(facts_.productId, u"");  // an empty folder is never stored
  ASSERT_TRUE(HostRegistryRead(HostHive::CurrentUser, kRememberedKey, u"KV1", &stored));
  EXPECT_EQ(stored, u"D:\\Tools\\My Tool");
}

TEST_F(Destination, ProgramFilesDirReadsTheMachineValue) {
  char16_t out[kPathCapacity];
  ReadProgramFilesDir(out, kPathCapacity);
  EXPECT_EQ(std::u16string(out), u"C:\\Program Files");
  HostSetProgramFilesDir(u"");
  ReadProgramFilesDir(out, kPathCapacity);
  EXPECT_EQ(std::u16string(out), u"");
}

}  // namespace
