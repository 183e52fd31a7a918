// The setup's command line: every switch, the quoting rules of a Windows command line, and
// what makes a command line bad.
#include "setup/command_line.h"

#include <gtest/gtest.h>

#include <string>

namespace {

SetupOptions Parse(const char16_t* arguments) {
  SetupOptions options = {};
  ParseSetupCommandLine(arguments, &options);
  return options;
}

TEST(CommandLine, ReadsEverySwitchInAnyCaseWithSlashOrDash) {
  const SetupOptions o = Parse(u"-verysilent /Silent /dir=C:\\Tools\\X /TASKS=desktop,GROUP -languages=fr,It "
                               u"/LoG=C:\\t\\setup.log /?");
  EXPECT_EQ(o.error, kCommandLineSound);
  EXPECT_TRUE(o.any && o.verySilent && o.silent && o.help && o.hasDir && o.hasTasks && o.hasLanguages);
  EXPECT_EQ(std::u16string(o.dir), u"C:\\Tools\\X");
  EXPECT_EQ(std::u16string(o.log), u"C:\\t\\setup.log");
  EXPECT_EQ(o.tasks, kTaskBitDesktop | kTaskBitGroup);
  ASSERT_EQ(o.languageCount, 2);
  EXPECT_EQ(o.languages[0], LanguageCodeOf("FR"));
  EXPECT_EQ(o.languages[1], LanguageCodeOf("IT"));
}

TEST(CommandLine, QuotesAndBackslashesFollowTheWindowsRules) {
  const struct {
    const char16_t* line;
    const char16_t* dir;
  } rows[] = {
      {u"/DIR=\"C:\\Program Files\\X\"", u"C:\\Program Files\\X"},
      {u"\"/DIR=C:\\Program Files\\X\"", u"C:\\Program Files\\X"},
      {u"  /DIR=\"C:\\A B\"\\C  ", u"C:\\A B\\C"},       // a quoted part joined to the rest
      {u"/DIR=\"C:\\say \"\"hi\"\"\"", u"C:\\say \"hi\""},  // "" inside quotes: one quote
      {u"/DIR=C:\\a\\\\\\\"b", u"C:\\a\\\"b"},              // 2n+1 backslashes: n and a quote
      {u"/DIR=\"C:\\end\\\\\"", u"C:\\end\\"},              // 2n backslashes: n, then the quote
      {u"/DIR=\\\\server\\share", u"\\\\server\\share"},
  };
  for (const auto& row : rows) {
    const SetupOptions o = Parse(row.line);
    EXPECT_EQ(o.error, kCommandLineSound);
    EXPECT_EQ(std::u16string(o.dir), row.dir);
  }
}

TEST(CommandLine, WhatItCannotUseMakesItBad) {
  const struct {
    const char16_t* line;
    int error;
    const char16_t* argument;
  } rows[] = {
      {u"/S", kCommandLineUnknownSwitch, u"/S"},
      {u"/qn", kCommandLineUnknownSwitch, u"/qn"},
      {u"install", kCommandLineUnknownSwitch, u"install"},
      {u"/SILENT=yes", kCommandLineUnknownSwitch, u"/SILENT=yes"},
      {u"/DIR", kCommandLineMissingValue, u"/DIR"},
      {u"/DIR=", kCommandLineMissingValue, u"/DIR="},
      {u"/LOG", kCommandLineMissingValue, u"/LOG"},
      {u"/TASKS", kCommandLineMissingValue, u"/TASKS"},
      {u"/DIR=Tools\\X", kCommandLineUnusableValue, u"/DIR=Tools\\X"},
      {u"/DIR=C:Tools", kCommandLineUnusableValue, u"/DIR=C:Tools"},
      {u"/TASKS=desktop,startmenu", kCommandLineUnusableValue, u"/TASKS=desktop,startmenu"},
      {u"/LANGUAGES=FR,F", kCommandLineUnusableValue, u"/LANGUAGES=FR,F"},
      {u"/LANGUAGES=FR1", kCommandLineUnusableValue, u"/LANGUAGES=FR1"},
      {u"/VERYSILENT /X", kCommandLineUnknownSwitch, u"/X"},
  };
  for (const auto& row : rows) {
    const SetupOptions o = Parse(row.line);
    EXPECT_EQ(o.error, row.error);
    EXPECT_EQ(std::u16string(o.badArgument), row.argument);
  }
}

TEST(CommandLine, EmptyListsChooseNothingAndNoArgumentsChooseTheDialog) {
  const SetupOptions empty = Parse(u"/TASKS= /LANGUAGES=\"\"");
  EXPECT_EQ(empty.error, kCommandLineSound);
  EXPECT_TRUE(empty.hasTasks && empty.hasLanguages);
  EXPECT_EQ(empty.tasks, 0u);
  EXPECT_EQ(empty.languageCount, 0);
  const SetupOptions none = Parse(u"   ");
  EXPECT_FALSE(none.any);
  EXPECT_FALSE(IsQuiet(none));
}

TEST(CommandLine, TheProgramNameIsSkippedQuotedOrNot) {
  EXPECT_EQ(std::u16string(SkipProgramName(u"\"C:\\My Files\\Setup.exe\"  /SILENT")), u"/SILENT");
  EXPECT_EQ(std::u16string(SkipProgramName(u"Setup.exe /SILENT")), u"/SILENT");
  EXPECT_EQ(std::u16string(SkipProgramName(u"\"C:\\Setup.exe\"")), u"");
}

}  // namespace
