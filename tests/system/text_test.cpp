// Bounded copies, appends, path joins and cuts, the existence test, the absolute form of a
// path and the ANSI code-page conversions.
#include "system/text.h"

#include <gtest/gtest.h>

#include <string>

#include "system/machine_fixture.h"

namespace {

// A buffer with guard characters behind the capacity, to see any write past it.
struct Guarded {
  static constexpr int kSize = 64;
  char16_t data[kSize];
  explicit Guarded(const std::u16string& initial) {
    for (char16_t& c : data) c = u'#';
    initial.copy(data, initial.size());
    data[initial.size()] = 0;
  }
  bool GuardIntact(int capacity) const {
    for (int i = capacity; i < kSize; ++i)
      if (data[i] != u'#') return false;
    return true;
  }
};

struct AppendCase {
  const char16_t* dest;
  const char16_t* source;
  int capacity;
  int result;
  const char16_t* expected;
};

TEST(BoundedAppend, ObeysCapacityAndReportsCutsAndFullBuffers) {
  const AppendCase cases[] = {
      {u"", u"abc", 4, kTextDone, u"abc"},            // exactly fills the room
      {u"ab", u"c", 4, kTextDone, u"abc"},
      {u"ab", u"cd", 4, kTextCut, u"abc"},            // one longer than the room
      {u"", u"abcdef", 4, kTextCut, u"abc"},
      {u"abc", u"d", 4, kTextNoRoom, u"abc"},         // already cap - 1 characters
      {u"", u"a", 1, kTextNoRoom, u""},               // room for the terminator only
      {u"xy", u"", 8, kTextDone, u"xy"},
  };
  for (const AppendCase& c : cases) {
    Guarded buffer(c.dest);
    EXPECT_EQ(AppendText(c.source, buffer.data, c.capacity), c.result) << "source " << c.capacity;
    EXPECT_EQ(std::u16string(buffer.data), c.expected);
    EXPECT_TRUE(buffer.GuardIntact(c.capacity));
  }
}

TEST(BoundedAppend, ChangesNothingWithoutCapacityOrText) {
  Guarded buffer(u"ab");
  EXPECT_EQ(AppendText(u"cd", buffer.data, 0), kTextDone);
  EXPECT_EQ(AppendText(u"cd", buffer.data, -5), kTextDone);
  EXPECT_EQ(AppendText(nullptr, buffer.data, 10), kTextDone);
  EXPECT_EQ(AppendText(u"cd", nullptr, 10), kTextDone);
  EXPECT_EQ(std::u16string(buffer.data), u"ab");
  EXPECT_TRUE(buffer.GuardIntact(3));
}

TEST(BoundedAppend, NarrowTextFollowsTheSameRules) {
  char buffer[8] = "abc";
  buffer[6] = '#';
  EXPECT_EQ(AppendTextNarrow("defghij", buffer, 6), kTextCut);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(buffer[6], '#');
  EXPECT_EQ(AppendTextNarrow("x", buffer, 6), kTextNoRoom);
  EXPECT_STREQ(buffer, "abcde");
  char exact[4] = "";
  EXPECT_EQ(AppendTextNarrow("abc", exact, 4), kTextDone);
  EXPECT_STREQ(exact, "abc");
}

TEST(BoundedCopy, EmptiesTheDestinationFirst) {
  Guarded buffer(u"old");
  EXPECT_EQ(CopyText(u"new", buffer.data, 10), kTextDone);
  EXPECT_EQ(std::u16string(buffer.data), u"new");
  EXPECT_EQ(CopyText(u"0123456789", buffer.data, 5), kTextCut);
  EXPECT_EQ(std::u16string(buffer.data), u"0123");
  EXPECT_TRUE(buffer.GuardIntact(5));
}

TEST(Paths, TrailingSeparatorOnlyWhenMissingAndNotEmpty) {
  const struct { const char16_t* path; const char16_t* expected; } cases[] = {
      {u"", u""}, {u"C:\\Dir", u"C:\\Dir\\"}, {u"C:\\Dir\\", u"C:\\Dir\\"}, {u"C:\\Dir/", u"C:\\Dir/"},
      {u"C:", u"C:\\"},
  };
  for (const auto& c : cases) {
    char16_t buffer[32];
    CopyText(c.path, buffer, 32);
    EnsureTrailingSeparator(buffer, 32);
    EXPECT_EQ(std::u16string(buffer), c.expected);
  }
  char16_t full[4] = u"abc";
  EnsureTrailingSeparator(full, 4);
  EXPECT_EQ(std::u16string(full), u"abc");
}

TEST(Paths, JoinPutsOneSeparatorBetweenFolderAndName) {
  const struct {
    const char16_t* path;
    const char16_t* name;
    const char16_t* expected;
  } cases[] = {
      {u"C:\\Dir", u"\\App.exe", u"C:\\Dir\\App.exe"},
      {u"C:\\Dir", u"\\\\App.exe", u"C:\\Dir\\\\App.exe"},  // only one leading separator goes
      {u"C:\\Dir", u"/App.exe", u"C:\\Dir\\App.exe"},
      {u"C:\\Dir/", u"App.exe", u"C:\\Dir/App.exe"},
      {u"C:\\Dir\\", u"App.exe", u"C:\\Dir\\App.exe"},
      {u"", u"App.exe", u"App.exe"},
      {u"C:\\Dir", u"", u"C:\\Dir"},
  };
  for (const auto& c : cases) {
    char16_t buffer[64];
    CopyText(c.path, buffer, 64);
    EXPECT_EQ(JoinPath(c.name, buffer, 64), kTextDone);
    EXPECT_EQ(std::u16string(buffer), c.expected) << "joining onto " << c.path[0];
  }
  char16_t small[10] = u"C:\\Dir";
  EXPECT_EQ(JoinPath(u"App.exe", small, 10), kTextCut);
  EXPECT_EQ(std::u16string(small), u"C:\\Dir\\Ap");
  char16_t full[8] = u"C:\\Dir";  // the separator takes the last place
  EXPECT_EQ(JoinPath(u"App.exe", full, 8), kTextNoRoom);
  EXPECT_EQ(std::u16string(full), u"C:\\Dir\\");
  EXPECT_EQ(JoinPath(nullptr, full, 8), kTextDone);
}

TEST(Paths, StripKeepsTheDriveRootsBackslash) {
  const struct {
    const char16_t* path;
    int length;
    const char16_t* expected;
  } cases[] = {
      {u"C:\\Programs\\App\\App.exe", 15, u"C:\\Programs\\App"},
      {u"C:\\Programs", 3, u"C:\\"},
      {u"C:\\", 3, u"C:\\"},
      {u"App.exe", 0, u""},
      {u"\\Programs", 0, u""},
      {u"C:/Dir/a.txt", 6, u"C:/Dir"},
      {u"C:\\Dir\\", 6, u"C:\\Dir"},
      {u"D:\\WIN", 3, u"D:\\"},
      {u"", 0, u""},
  };
  for (const auto& c : cases) {
    char16_t buffer[64];
    CopyText(c.path, buffer, 64);
    EXPECT_EQ(StripToFolder(buffer), c.length);
    EXPECT_EQ(std::u16string(buffer), c.expected);
  }
}

TEST(Paths, FileNameOffsetPointsBehindTheLastSeparator) {
  EXPECT_EQ(FileNameOffset(u"C:\\Dir\\"), 7);
  EXPECT_EQ(FileNameOffset(u"App.exe"), 0);
  EXPECT_EQ(FileNameOffset(u"C:\\Dir/App.exe"), 7);
  EXPECT_EQ(FileNameOffset(u"C:\\Downloads\\Setup.exe"), 13);
  EXPECT_EQ(FileNameOffset(nullptr), 0);
}

using TextOnMachine = MachineTest;

TEST_F(TextOnMachine, FileExistsForFilesAndFoldersOnly) {
  MakeFolder(u"C:\\Folder");
  WriteFile(u"C:\\Folder\\file.txt", "x");
  EXPECT_TRUE(FileExists(u"C:\\Folder"));
  EXPECT_TRUE(FileExists(u"C:\\Folder\\file.txt"));
  EXPECT_TRUE(FileExists(u"c:\\FOLDER\\FILE.TXT"));  // Windows paths ignore letter case
  EXPECT_FALSE(FileExists(u"C:\\Folder\\missing.txt"));
  EXPECT_FALSE(FileExists(u"C:\\Missing\\file.txt"));
  EXPECT_FALSE(FileExists(nullptr));
}

TEST_F(TextOnMachine, FullPathFoldsDotsAndResolvesRelativeNames) {
  HostSetCurrentDirectory(u"C:\\Work");
  const struct { const char16_t* path; const char16_t* expected; } cases[] = {
      {u"C:\\a\\..\\b", u"C:\\b"},
      {u"C:\\a\\.\\b\\", u"C:\\a\\b\\"},
      {u"x\\y", u"C:\\Work\\x\\y"},
      {u"\\top", u"C:\\top"},
      {u"C:\\..\\..", u"C:\\"},
  };
  for (const auto& c : cases) {
    char16_t buffer[kPathCapacity];
    CopyText(c.path, buffer, kPathCapacity);
    MakeFullPath(buffer);
    EXPECT_EQ(std::u16string(buffer), c.expected);
  }
}

TEST_F(TextOnMachine, FullPathKeepsAPathWhoseAbsoluteFormDoesNotFit) {
  HostSetCurrentDirectory(u"C:\\" + std::u16string(200, u'w'));
  const std::u16string relative(100, u'r');  // 3 + 200 + 1 + 100 characters: too long
  char16_t buffer[kPathCapacity];
  CopyText(relative.c_str(), buffer, kPathCapacity);
  MakeFullPath(buffer);
  EXPECT_EQ(std::u16string(buffer), relative);
}

TEST(Conversions, AnsiToWideCutsLongTextsAndTerminates) {
  const std::string source(300, 'a');
  char16_t buffer[kPathCapacity + 8];
  for (char16_t& c : buffer) c = u'#';
  AnsiToWide(source.c_str(), buffer, kPathCapacity);
  EXPECT_EQ(std::u16string(buffer), std::u16string(259, u'a'));
  for (int i = kPathCapacity; i < kPathCapacity + 8; ++i) EXPECT_EQ(buffer[i], u'#');
}

TEST(Conversions, AnsiCodePageIsWindows1252) {
  char16_t buffer[16];
  AnsiToWide("\xE4\xE8\x80\x9F\xA0\xFF", buffer, 16);
  EXPECT_EQ(std::u16string(buffer), u"\u00E4\u00E8\u20AC\u0178\u00A0\u00FF");
  char narrow[16];
  WideToAnsi(u"\u00E4\u20AC\u0153z", narrow, 16);
  EXPECT_STREQ(narrow, "\xE4\x80\x9Cz");
  WideToAnsi(u"\u0416-\U0001F600", narrow, 16);  // neither is in the code page
  EXPECT_STREQ(narrow, "?-??");
}

TEST(Conversions, DegenerateArgumentsWriteNothingOrTheEmptyText) {
  char16_t wide[4] = {u'#', u'#', u'#', u'#'};
  AnsiToWide("abc", wide, 0);
  EXPECT_EQ(wide[0], u'#');  // no capacity: not even a terminator may be written
  AnsiToWide(nullptr, wide, 4);
  EXPECT_EQ(wide[0], 0);
  AnsiToWide("abc", nullptr, 4);  // must not crash
  char narrow[4] = {'#', '#', '#', '#'};
  WideToAnsi(u"abcdef", narrow, 4);
  EXPECT_STREQ(narrow, "abc");
  WideToAnsi(nullptr, narrow, 4);
  EXPECT_STREQ(narrow, "");
  AnsiToWide("abc", wide, 1);
  EXPECT_EQ(wide[0], 0);
}

TEST(Conversions, AppendAnsiAsWideContinuesBehindTheText) {
  char16_t buffer[12];
  CopyText(u"C:\\Dir\\", buffer, 12);
  AppendAnsiAsWide("T\xF6nnchen", buffer, 12);
  EXPECT_EQ(std::u16string(buffer), u"C:\\Dir\\T\u00F6nn");
  char16_t full[4];
  CopyText(u"abc", full, 4);
  AppendAnsiAsWide("d", full, 4);
  EXPECT_EQ(std::u16string(full), u"abc");
}

}  // namespace
