// The uninstaller on the stand-in for a product that kept its folders: the record's paths go,
// then the folders the uninstall entry says the setup created, deepest first and only when
// empty; a file of the user's keeps its folder and the folders above it; nothing is removed
// through a link; a version 1 record still removes its flat files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "payload/removal_record.h"
#include "system/folders.h"
#include "system/host/host_control.h"
#include "system/host/host_dialog.h"
#include "system/platform.h"
#include "system/text.h"
#include "uninstall/uninstall_main.h"

namespace {

const std::u16string kFolder = u"C:\\Program Files\\Tree";
const std::u16string kKey = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tree";
const char* const kPaths[] = {"KTree.exe", "plugins\\a.dll", "data\\levels\\expert.txt", "data\\x.txt", "UnInst.exe"};

class TreeRemovalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    HostReset(root_);
    HostClearMessages();
    HostSetModulePath((kFolder + u"\\UnInst.exe").c_str());
    HostSetMessageAnswer(6);  // Yes
  }
  void TearDown() override { HostRemoveTree(root_); }
  static std::string Native(const std::u16string& path) { return HostNativePath(path.c_str()); }
  static bool Exists(const std::u16string& path) { return FileExists(path.c_str()); }
  static void Write(const std::u16string& path, const std::string& content) {
    std::ofstream(Native(path), std::ios::binary) << content;
  }
  // The tree as the setup leaves it, the uninstaller carrying a record of `version`.
  void Install(uint16_t version, const char16_t* created) {
    for (const char16_t* folder : {u"\\plugins", u"\\data\\levels", u"\\cache"})
      CreateDirectories((kFolder + folder).c_str());
    for (const char* path : kPaths) Write(kFolder + u"\\" + HostUtf16(path), "installed");
    RemovalRecordFields fields = {"TR", "Tree", "TreeWindow", "KTree.exe", kPaths, 5, version};
    std::vector<uint8_t> record(RemovalRecordSize(fields));
    record.resize(WriteRemovalRecord(fields, record.data(), uint32_t(record.size())));
    ASSERT_FALSE(record.empty());
    Write(kFolder + u"\\UnInst.exe", "MZ uninstaller" + std::string(record.begin(), record.end()));
    HostRegistryWrite(HostHive::LocalMachine, kKey, u"UninstallString", u"\"" + kFolder + u"\\UnInst.exe\"");
    if (created) HostRegistryWrite(HostHive::LocalMachine, kKey, u"CreatedFolders", created);
  }
  std::string root_;
};

TEST_F(TreeRemovalTest, FoldersGoDeepestFirstButThoseHoldingTheUsersFile) {
  Install(kRemovalTreeRecordVersion, u"plugins|data|data\\levels|cache|");
  Write(kFolder + u"\\data\\levels\\mine.txt", "the user's own");
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  EXPECT_FALSE(Exists(kFolder + u"\\plugins"));
  EXPECT_FALSE(Exists(kFolder + u"\\cache"));
  EXPECT_FALSE(Exists(kFolder + u"\\data\\x.txt"));
  EXPECT_FALSE(Exists(kFolder + u"\\data\\levels\\expert.txt"));
  EXPECT_TRUE(Exists(kFolder + u"\\data\\levels\\mine.txt"));
  EXPECT_FALSE(HostRegistryKeyExists(HostHive::LocalMachine, kKey));
}

TEST_F(TreeRemovalTest, AFolderTheEntryDoesNotNameStaysEvenWhenEmpty) {
  Install(kRemovalTreeRecordVersion, u"plugins|");
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallSucceeded);
  EXPECT_FALSE(Exists(kFolder + u"\\plugins"));
  EXPECT_TRUE(Exists(kFolder + u"\\cache"));
  EXPECT_TRUE(Exists(kFolder + u"\\data\\levels"));
}

TEST_F(TreeRemovalTest, NothingIsRemovedThroughALink) {
  Install(kRemovalTreeRecordVersion, u"plugins|data|data\\levels|cache|");
  // Someone swapped "data" for a link to a folder of theirs holding files of the same names.
  CreateDirectories(u"C:\\Elsewhere\\levels");
  Write(u"C:\\Elsewhere\\x.txt", "not the product's");
  HostRemoveTree(Native(kFolder + u"\\data"));
  ASSERT_EQ(symlink(Native(u"C:\\Elsewhere").c_str(), Native(kFolder + u"\\data").c_str()), 0);
  UninstallMain(u"UnInst.exe");
  EXPECT_TRUE(Exists(u"C:\\Elsewhere\\x.txt"));
  EXPECT_TRUE(Exists(u"C:\\Elsewhere\\levels"));
}

TEST_F(TreeRemovalTest, AVersionOneRecordHoldingPathsIsDamaged) {
  Install(kRemovalRecordVersion, nullptr);  // paths cannot be written as version 1...
  EXPECT_EQ(UninstallMain(u"UnInst.exe"), kUninstallDamaged);  // ...and a record holding them is damaged
  EXPECT_TRUE(Exists(kFolder + u"\\KTree.exe"));
}

}  // namespace
