// The system's folders: creating one with its parents, the special folders and Quick
// Launch, the folder browser, and shortcut files.
#include "system/folders.h"

#include <gtest/gtest.h>

#include <string>

#include "system/host/host_dialog.h"
#include "system/links.h"
#include "system/machine_fixture.h"
#include "system/text.h"

namespace {

const char16_t kCommonPrograms[] = u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs";
const char16_t kQuickLaunch[] =
    u"C:\\users\\user\\AppData\\Roaming\\Microsoft\\Internet Explorer\\Quick Launch";

using Folders = MachineTest;

TEST_F(Folders, CreateDirectoriesResults) {
  EXPECT_EQ(CreateDirectories(u"C:\\A\\B\\C"), kCreateDone);
  EXPECT_TRUE(IsFolder(u"C:\\A\\B\\C"));
  EXPECT_EQ(CreateDirectories(u"C:\\A\\B\\C"), kCreateFailed);  // exists already
  EXPECT_EQ(CreateDirectories(u"C:\\A\\B\\D"), kCreateDone);    // parent exists
  EXPECT_EQ(CreateDirectories(u"Q:\\X\\Y"), kCreateFailed);     // no drive Q: climbs to the root
  EXPECT_FALSE(Exists(u"Q:\\X"));
  WriteFile(u"C:\\A\\file", "x");
  EXPECT_EQ(CreateDirectories(u"C:\\A\\file\\sub\\deeper"), kCreateFailed);  // a file in the way
  EXPECT_EQ(CreateDirectories(nullptr), kCreateFailed);
  // With a trailing separator the climb makes the folder itself as a parent, so the last
  // attempt finds it existing: the parents were made, the folder "could not be".
  EXPECT_EQ(CreateDirectories(u"C:\\New\\Sub\\"), kCreateParentsOnly);
  EXPECT_TRUE(IsFolder(u"C:\\New\\Sub"));
}

TEST_F(Folders, SpecialFoldersComeFromTheSystem) {
  char16_t path[kPathCapacity];
  SpecialFolderPath(kFolderCommonPrograms, path);
  EXPECT_EQ(std::u16string(path), kCommonPrograms);
  HostSetSpecialFolder(kFolderDesktop, u"");
  SpecialFolderPath(kFolderDesktop, path);
  EXPECT_EQ(std::u16string(path), u"");
}

TEST_F(Folders, QuickLaunchIsOfferedOnlyWhenItsFolderExists) {
  char16_t folder[kPathCapacity];
  QuickLaunchFolder(folder, kPathCapacity);
  EXPECT_EQ(std::u16string(folder), kQuickLaunch);
  EXPECT_FALSE(QuickLaunchAvailable());
  EXPECT_EQ(CreateDirectories(kQuickLaunch), 0);
  EXPECT_TRUE(QuickLaunchAvailable());
  HostSetSpecialFolder(kFolderAppData, u"");
  QuickLaunchFolder(folder, kPathCapacity);
  EXPECT_EQ(std::u16string(folder), u"");
  EXPECT_FALSE(QuickLaunchAvailable());
}

TEST_F(Folders, ShellLinkReportsTheLinkObjectsResult) {
  EXPECT_EQ(CreateShellLink(u"C:\\a.lnk", u"C:\\a.exe", u"C:\\"), 0);
  EXPECT_NE(CreateShellLink(u"C:\\missing\\a.lnk", u"C:\\a.exe", u"C:\\"), 0);
  HostSetShellLinkFailure(static_cast<long>(0x80040154));  // class not registered
  EXPECT_EQ(CreateShellLink(u"C:\\b.lnk", u"C:\\a.exe", u"C:\\"), static_cast<long>(0x80040154));
  EXPECT_FALSE(Exists(u"C:\\b.lnk"));
}


class Browse : public MachineTest {
 protected:
  void SetUp() override {
    MachineTest::SetUp();
    dialog_ = HostCreateSetupDialog(nullptr);
  }
  void TearDown() override {
    HostDestroyDialog(dialog_);
    MachineTest::TearDown();
  }
  std::u16string Edit() { return HostControl(dialog_, 1032)->text; }
  WindowHandle dialog_ = nullptr;
};

TEST_F(Browse, OpensOnTheFolderOrItsParentAndTakesTheChoice) {
  MakeFolder(u"C:\\Tools");
  const struct {
    const char16_t* edit;
    const char16_t* initial;
  } cases[] = {
      {u"C:\\Tools", u"C:\\Tools"},
      {u"C:\\Tools\\New Tool", u"C:\\Tools"},    // missing folder: its parent
      {u"C:\\Nowhere\\New Tool", u""},           // neither exists: no selection
      {u"", u""},
      {u"C:\\Tools\\sub\\..", u"C:\\Tools"},     // the absolute form is what gets parsed
  };
  HostSetBrowseAnswer(u"C:\\Chosen");
  for (const auto& c : cases) {
    DialogSetItemText(dialog_, 1032, c.edit);
    BrowseForDestination(dialog_, 1032);
    ASSERT_FALSE(HostBrowseRequests().empty());
    EXPECT_EQ(HostBrowseRequests().back().initialSelection, c.initial) << "edit text size " << std::u16string(c.edit).size();
    EXPECT_EQ(HostBrowseRequests().back().owner, dialog_);
    EXPECT_EQ(Edit(), u"C:\\Chosen");
  }
}

TEST_F(Browse, CancelLeavesTheEditFieldAsItWas) {
  HostSetBrowseAnswer(u"");
  DialogSetItemText(dialog_, 1032, u"C:\\Program Files\\..\\Tool");
  BrowseForDestination(dialog_, 1032);
  EXPECT_EQ(HostBrowseRequests().size(), 1u);
  EXPECT_EQ(Edit(), u"C:\\Program Files\\..\\Tool");  // the absolute form is never written back
}

}  // namespace
