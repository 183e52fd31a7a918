// Staging root names, and the shell's move and delete of folder trees.
#include "system/file_ops.h"

#include <gtest/gtest.h>

#include <string>

#include "system/machine_fixture.h"
#include "system/text.h"

namespace {

using FileOps = MachineTest;

std::u16string TempName(int capacity = kPathCapacity) {
  char16_t out[kPathCapacity];
  MakeTempFolderName(out, capacity);
  return out;
}

TEST_F(FileOps, StagingRootCountsInHexadecimal) {
  EXPECT_EQ(TempName(), u"C:\\users\\user\\Temp\\1");
  const char16_t* taken[] = {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"};
  for (const char16_t* name : taken) MakeFolder((u"C:\\users\\user\\Temp\\" + std::u16string(name)).c_str());
  EXPECT_EQ(TempName(), u"C:\\users\\user\\Temp\\a");
  WriteFile(u"C:\\users\\user\\Temp\\a", "files count as taken too");
  for (const char16_t* name : {u"b", u"c", u"d", u"e", u"f"})
    MakeFolder((u"C:\\users\\user\\Temp\\" + std::u16string(name)).c_str());
  EXPECT_EQ(TempName(), u"C:\\users\\user\\Temp\\10");
  EXPECT_TRUE(Exists(u"C:\\users\\user\\Temp\\10"));  // created, so nobody else can take it
  EXPECT_EQ(TempName(), u"C:\\users\\user\\Temp\\11");
}

TEST_F(FileOps, StagingRootAddsAMissingSeparator) {
  HostSetTempFolder(u"C:\\Temp");
  MakeFolder(u"C:\\Temp");
  EXPECT_EQ(TempName(), u"C:\\Temp\\1");
}

TEST_F(FileOps, StagingRootStopsWhenTheCounterDoesNotFit) {
  // "C:\T\" is 5 characters: with capacity 7 only one digit fits.
  HostSetTempFolder(u"C:\\T\\");
  MakeFolder(u"C:\\T");
  for (const char16_t* name : {u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9", u"a", u"b", u"c", u"d",
                               u"e", u"f"})
    MakeFolder((u"C:\\T\\" + std::u16string(name)).c_str());
  EXPECT_EQ(TempName(7), u"");  // gives up instead of looping for ever, or using a taken folder
}

TEST_F(FileOps, MoveCarriesAWholeTreeToANewName) {
  MakeFolder(u"C:\\Stage");
  MakeFolder(u"C:\\Stage\\Tool");
  MakeFolder(u"C:\\Stage\\Tool\\docs");
  WriteFile(u"C:\\Stage\\Tool\\Tool.exe", "program");
  WriteFile(u"C:\\Stage\\Tool\\docs\\readme.txt", "readme");
  int owner = 0;
  EXPECT_EQ(ShellMove(&owner, u"C:\\Stage\\Tool", u"C:\\Apps\\Tool"), 0);
  EXPECT_EQ(ReadFile(u"C:\\Apps\\Tool\\Tool.exe"), "program");
  EXPECT_EQ(ReadFile(u"C:\\Apps\\Tool\\docs\\readme.txt"), "readme");
  EXPECT_FALSE(Exists(u"C:\\Stage\\Tool"));
  ASSERT_EQ(HostShellOperations().size(), 1u);
  const HostShellOperation& op = HostShellOperations()[0];
  EXPECT_EQ(op.owner, &owner);
  EXPECT_EQ(op.function, 1u);
  EXPECT_EQ(op.flags, 0x0210);
  EXPECT_EQ(op.from, u"C:\\Stage\\Tool");
  EXPECT_EQ(op.to, u"C:\\Apps\\Tool");
}

TEST_F(FileOps, MoveReportsFailureAndCancellationAlike) {
  MakeFolder(u"C:\\Stage");
  WriteFile(u"C:\\Stage\\file", "x");
  const struct {
    HostShellOutcome outcome;
    const char* what;
  } cases[] = {{HostShellOutcome::Fail, "failed"},
               {HostShellOutcome::Cancel, "cancelled"},
               {HostShellOutcome::Skip, "reported success but left the source"}};
  for (const auto& c : cases) {
    HostSetShellOutcome(c.outcome);
    EXPECT_EQ(ShellMove(nullptr, u"C:\\Stage", u"C:\\Target"), -1) << c.what;
    EXPECT_TRUE(Exists(u"C:\\Stage\\file")) << c.what;
  }
  HostSetShellOutcome(HostShellOutcome::Normal);
  EXPECT_EQ(ShellMove(nullptr, u"C:\\Missing", u"C:\\Target"), -1);
  EXPECT_EQ(ShellMove(nullptr, u"C:\\Stage", u"C:\\Target"), 0);
  EXPECT_EQ(ReadFile(u"C:\\Target\\file"), "x");
}

TEST_F(FileOps, MoveRefusesPathsThatWouldBeCut) {
  MakeFolder(u"C:\\Stage");
  const std::u16string longTarget = u"C:\\" + std::u16string(270, u't');
  EXPECT_EQ(ShellMove(nullptr, u"C:\\Stage", longTarget.c_str()), -1);
  EXPECT_TRUE(HostShellOperations().empty());
  EXPECT_TRUE(IsFolder(u"C:\\Stage"));
}

TEST_F(FileOps, DeleteTreeRemovesEverythingAndIgnoresMissingPaths) {
  MakeFolder(u"C:\\users\\user\\Temp\\1");
  MakeFolder(u"C:\\users\\user\\Temp\\1\\Tool");
  WriteFile(u"C:\\users\\user\\Temp\\1\\Tool\\a.txt", "a");
  ShellDeleteTree(u"C:\\users\\user\\Temp\\1");
  EXPECT_FALSE(Exists(u"C:\\users\\user\\Temp\\1"));
  EXPECT_TRUE(IsFolder(u"C:\\users\\user\\Temp"));
  ASSERT_EQ(HostShellOperations().size(), 1u);
  EXPECT_EQ(HostShellOperations()[0].function, 3u);
  EXPECT_EQ(HostShellOperations()[0].flags, 0x0010);  // no undo: not into the recycle bin
  EXPECT_EQ(HostShellOperations()[0].owner, nullptr);
  ShellDeleteTree(u"C:\\users\\user\\Temp\\1");
  ShellDeleteTree(nullptr);
  EXPECT_EQ(HostShellOperations().size(), 1u);  // nothing to delete, no shell call
}

}  // namespace
