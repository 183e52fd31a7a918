// The setup's message boxes take their texts from its current table.
#include "setup/setup_messages.h"

#include "system/messages.h"
#include "setup_test_support.h"

namespace setuptest {
namespace {

TEST_F(SetupFlowTest, TextMessagesComeFromTheCurrentTable) {
  state_.languageTable = kDeTable;
  EXPECT_EQ(ShowSetupMessage(nullptr, 3001, u"C:\\Downloads\\Setup.exe", kMbIconHand), 1);
  EXPECT_EQ(HostMessages().back().text, u"Die Datei ist besch\u00E4digt, bitte nochmal herunterladen!");
  EXPECT_EQ(HostMessages().back().caption, u"Setup.exe");
  EXPECT_EQ(ShowSetupMessage(nullptr, 5, u"caption", kMbIconHand), 2);  // no such text
  EXPECT_EQ(HostMessages().size(), 1u);
}

}  // namespace
}  // namespace setuptest
