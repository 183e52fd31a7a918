// Products that keep their folders ("Folders=Keep"), on the stand-in: the setup writes what
// PredictInstallation says, under each entry's path, makes empty folders, follows a language's
// check box in any folder, notes the folders it created in the uninstall entry, and refuses a
// destination too long for the product's paths before writing anything.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "payload/payload_rules.h"
#include "payload/removal_plan.h"
#include "setup/install.h"
#include "setup/language_list.h"
#include "setup/setup_dialog.h"
#include "setup/setup_test_support.h"
#include "system/host/host_control.h"
#include "system/ui.h"

namespace setuptest {
namespace {

using Product = std::vector<std::pair<std::string, std::string>>;  // name, content; "" + '\' = folder

const char16_t kKey[] = u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tree";

// Files below `folder` as '\' separated paths; empty folders into `empty`.
void Walk(const std::string& native, const std::string& prefix, std::set<std::string>& files,
          std::set<std::string>& empty) {
  DIR* dir = opendir(native.c_str());
  bool any = false;
  while (dirent* e = dir ? readdir(dir) : nullptr) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    any = true;
    struct stat st;
    const std::string path = native + "/" + name;
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
      Walk(path, prefix + name + "\\", files, empty);
    else
      files.insert(prefix + name);
  }
  if (dir) closedir(dir);
  if (!any && !prefix.empty()) empty.insert(prefix.substr(0, prefix.size() - 1));
}

class FolderTreeTest : public SetupFlowTest {
 protected:
  // Writes the product as a payload in archive order; names ending in '\' are folder entries.
  void Pack(const Product& product) {
    std::vector<std::string> files;
    for (const auto& entry : product) {
      if (entry.first.back() == '\\') continue;
      files.push_back(entry.first);
      if (PayloadRoleOf(entry.first) != PayloadRole::kOther) texts_[entry.first] = entry.second;
    }
    SortPayloadNames(files);
    RarWriter w = StartPayload();
    for (const std::string& name : files)
      for (const auto& entry : product)
        if (entry.first == name) w.AddStored(name, BytesOf(entry.second));
    for (const auto& entry : product)
      if (entry.first.back() == '\\') w.AddDirectory(entry.first.substr(0, entry.first.size() - 1));
    WritePayload(w);
    names_ = files;
  }
  std::map<std::string, std::string> texts_;
  std::vector<std::string> names_;
};

const Product kTree = {
    {"FILE_ID.DIZ", "Tree Version 1.0\r\n"},
    {"TREE.INF", "ID=TR\r\nGroup=Tree\r\nFolders=keep\r\n"},
    {"lang\\APP_FR.LNG", "[Info]\r\nLanguage=Fran\xE7" "ais\r\n"},
    {"KTree.exe", "MZ main"},
    {"UnInst.exe", "MZ uninstaller"},
    {"bin\\KOther.exe", "MZ not the main program"},
    {"bin\\UnInst.exe", "MZ not the uninstaller"},
    {"plugins\\a.dll", "plugin"},
    {"data\\levels\\expert.txt", "expert"},
    {"data\\APP_FR.TXT", "bonjour"},
    {"cache\\", ""},
};

TEST_F(FolderTreeTest, TheSetupWritesThePredictedTreeAndNotesTheFoldersItMade) {
  Pack(kTree);
  const InstallPlan plan = PredictInstallation(names_, texts_);
  ASSERT_TRUE(plan.keepsFolders);
  EXPECT_EQ(plan.mainProgram, "KTree.exe");
  OpenDialog();
  CreateDirectories(u"C:\\Program Files\\Tree\\data");  // there before: not the setup's to remove
  ASSERT_EQ(RunInstall(dialog_), 0);
  std::set<std::string> files, empty;
  Walk(Native(u"C:\\Program Files\\Tree"), "", files, empty);
  EXPECT_EQ(std::set<std::string>(plan.files.begin(), plan.files.end()), files);
  EXPECT_EQ(empty, std::set<std::string>{"cache"});
  std::u16string created;
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, kKey, u"CreatedFolders", &created));
  EXPECT_EQ(created, u"lang|bin|data\\levels|plugins|cache|");
  std::u16string command;
  ASSERT_TRUE(HostRegistryRead(HostHive::LocalMachine, kKey, u"UninstallString", &command));
  EXPECT_EQ(command, u"\"C:\\Program Files\\Tree\\UnInst.exe\"");
}

TEST_F(FolderTreeTest, AnUncheckedLanguageDropsItsFilesInEveryFolder) {
  Pack(kTree);
  OpenDialog();
  ListSetStateImage(List(), FindLanguageItem(List(), 0x5246), kStateUnchecked);
  ASSERT_EQ(RunInstall(dialog_), 0);
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tree\\lang\\APP_FR.LNG"));
  EXPECT_FALSE(Exists(u"C:\\Program Files\\Tree\\data\\APP_FR.TXT"));
  EXPECT_TRUE(Exists(u"C:\\Program Files\\Tree\\data\\levels\\expert.txt"));
}

TEST_F(FolderTreeTest, AnUpdateFindsTheInstalledLanguagesInTheirFolder) {
  Pack(kTree);
  OpenDialog();
  ASSERT_EQ(RunInstall(dialog_), 0);
  HostDestroyDialog(dialog_);
  state_.facts = ProductFacts{};
  state_.languageFilePrefix[0] = 0;
  state_.languageFileFolder[0] = 0;
  OpenDialog();  // the destination exists now: an update
  EXPECT_EQ(ListGetStateImage(List(), FindLanguageItem(List(), 0x5246)), kStateChecked);
}

TEST_F(FolderTreeTest, ADestinationTooLongForThePathsIsRefusedBeforeAnythingIsWritten) {
  Pack(kTree);
  OpenDialog();
  const std::u16string destination = u"C:\\" + std::u16string(235, u'd');  // 238 + 1 + 22 > 259
  DialogSetItemText(dialog_, kControlDestination, destination.c_str());
  EXPECT_EQ(RunInstall(dialog_), -1);
  EXPECT_FALSE(Exists(destination));
  ASSERT_FALSE(HostMessages().empty());
  EXPECT_EQ(HostMessages().back().text.substr(0, 37), u"The destination folder's path is too ");
}

TEST_F(FolderTreeTest, WithoutTheKeyTheTreeIsInstalledFlat) {
  Product flat = kTree;
  flat[1].second = "ID=TR\r\nGroup=Tree\r\n";
  Pack(flat);
  const InstallPlan plan = PredictInstallation(names_, texts_);
  OpenDialog();
  ASSERT_EQ(RunInstall(dialog_), 0);
  std::set<std::string> files, empty;
  Walk(Native(u"C:\\Program Files\\Tree"), "", files, empty);
  EXPECT_EQ(std::set<std::string>(plan.files.begin(), plan.files.end()), files);
  EXPECT_TRUE(empty.empty());
  EXPECT_FALSE(HostRegistryRead(HostHive::LocalMachine, kKey, u"CreatedFolders", nullptr));
}

}  // namespace
}  // namespace setuptest
