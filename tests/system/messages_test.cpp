// Message boxes and the system's error texts.
#include "system/messages.h"

#include <gtest/gtest.h>

#include <string>

#include "system/host/host_dialog.h"
#include "system/machine_fixture.h"
#include "system/text.h"

namespace {

class Messages : public MachineTest {
 protected:
  const HostMessage& Last() { return HostMessages().back(); }
};

TEST_F(Messages, CaptionIsShownAsItsFileName) {
  const struct {
    const char16_t* caption;
    const char16_t* shown;
  } cases[] = {
      {u"C:\\Downloads\\Setup.exe", u"Setup.exe"},
      {u"C:\\Downloads\\", u"C:\\Downloads\\"},  // no file name: the whole caption
      {u"Setup Example 2.1", u"Setup Example 2.1"},
      {u"a/b", u"b"},
  };
  int owner = 0;
  for (const auto& c : cases) {
    EXPECT_EQ(ShowMessage(&owner, u"text", c.caption, kMbIconInformation), 1);
    EXPECT_EQ(Last().caption, c.shown);
    EXPECT_EQ(Last().owner, &owner);
    EXPECT_EQ(Last().type, 64u);
  }
}

TEST_F(Messages, EmptyTextShowsNothing) {
  EXPECT_EQ(ShowMessage(nullptr, u"", u"caption", kMbIconHand), 2);
  EXPECT_EQ(ShowMessage(nullptr, nullptr, u"caption", kMbIconHand), 2);
  EXPECT_TRUE(HostMessages().empty());
}

TEST_F(Messages, WithoutOwnerTheActiveWindowOwnsTheBox) {
  int active = 0;
  HostSetActiveWindow(&active);
  ShowMessage(nullptr, u"text", nullptr, kMbIconHand);
  EXPECT_EQ(Last().owner, &active);
}

TEST_F(Messages, SystemErrorTextKeepsItsLineBreakAndObeysTheCapacity) {
  char16_t text[64];
  SystemErrorText(82, text, 64);
  EXPECT_EQ(std::u16string(text), u"The directory or file cannot be created.\r\n");
  SystemErrorText(82, text, 10);
  EXPECT_EQ(std::u16string(text), u"The dire");  // at most capacity - 2 characters
  SystemErrorText(0xDEAD, text, 64);
  EXPECT_EQ(std::u16string(text), u"");
}

TEST_F(Messages, SystemErrorUsesTheLastErrorAndTheProgramsFileName) {
  HostSetModulePath(u"C:\\Downloads\\ToolSetup.exe");
  HostSetLastError(0);
  EXPECT_EQ(ShowSystemError(nullptr, 0, nullptr), 0);  // no error, no message
  EXPECT_TRUE(HostMessages().empty());

  EXPECT_EQ(ShowSystemError(nullptr, 82, nullptr), 1);
  EXPECT_EQ(Last().text, u"The directory or file cannot be created.\r\n");
  EXPECT_EQ(Last().caption, u"ToolSetup.exe");
  EXPECT_EQ(Last().type, 16u);

  HostSetLastError(5);
  EXPECT_EQ(ShowSystemError(nullptr, 0, u"C:\\x\\Given.exe"), 1);
  EXPECT_EQ(Last().text, u"Access is denied.\r\n");
  EXPECT_EQ(Last().caption, u"Given.exe");

  EXPECT_EQ(ShowSystemError(nullptr, 0xDEAD, nullptr), 2);  // the system has no text
  EXPECT_EQ(HostMessages().size(), 2u);
}

TEST_F(Messages, SystemErrorWithoutCaptionOrModulePathHasAnEmptyTitle) {
  HostSetModulePath(u"");
  EXPECT_EQ(ShowSystemError(nullptr, 82, nullptr), 1);
  EXPECT_EQ(Last().caption, u"");
}

}  // namespace
