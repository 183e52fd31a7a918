// The removal record's plan against the setup program itself: for each product, the setup
// on the stand-in scans and installs the payload (every language checked), and the plan
// must name exactly the files it wrote and the group, window class, id and main program it
// used.
#include "pack/removal_plan.h"

#include <dirent.h>

#include <set>

#include "pack/payload_rules.h"
#include "setup/install.h"
#include "setup/setup_test_support.h"
#include "system/host/host_control.h"

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
