// The Linux stand-in itself: path mapping, the registry files, shell moves, messages.
#include <gtest/gtest.h>

#include <string>

#include "system/machine_fixture.h"
#include "system/platform.h"

namespace {

using Stand_in = MachineTest;

TEST_F(Stand_in, DrivePathsMapUnderTheRootAndNeverClimbOut) {
  const struct {
    const char16_t* path;
    std::string expected;
  } cases[] = {
      {u"C:\\a\\b", "/c/a/b"},
      {u"c:/a/./x/../b", "/c/a/b"},
      {u"C:\\..\\..\\etc\\passwd", "/c/etc/passwd"},
      {u"D:", "/d"},
      {u"C:\\dir\\", "/c/dir/"},
  };
  for (const auto& c : cases) EXPECT_EQ(HostNativePath(c.path), root_ + c.expected);
  EXPECT_EQ(HostNativePath(u"/tmp/plain"), "/tmp/plain");
  EXPECT_EQ(HostNativePath(u"rel\\sub\\file"), "rel/sub/file");
}

TEST_F(Stand_in, ExistingComponentsAreFoundInAnyLetterCase) {
  EXPECT_EQ(HostNativePath(u"C:\\PROGRAM FILES\\New"), root_ + "/c/Program Files/New");
  EXPECT_EQ(HostNativePath(u"C:\\windows"), root_ + "/c/WINDOWS");
}

TEST_F(Stand_in, Utf8RoundTripKeepsSurrogatePairs) {
  const std::u16string text = u"T\u00F6nnchen \u20AC \U0001F600";
  EXPECT_EQ(HostUtf16(HostUtf8(text.c_str())), text);
  EXPECT_EQ(HostUtf8(u"\u00E4"), "\xC3\xA4");
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(HostUtf8(lone), "a\xEF\xBF\xBD" "b");
  EXPECT_EQ(HostUtf16("\xFF"), u"\uFFFD");
}

TEST_F(Stand_in, RegistryBehavesLikeTheWindowsCalls) {
  RegistryKey key = nullptr;
  EXPECT_EQ(PlatformRegOpenKey(RegistryRoot::CurrentUser, u"Software\\Korvane", kKeyRead, &key), 2);
  ASSERT_EQ(PlatformRegCreateKey(RegistryRoot::CurrentUser, u"Software\\Korvane", kKeyWrite, &key), 0);
  const char16_t text[] = u"C:\\Tools \"x\"";
  EXPECT_EQ(PlatformRegSetValue(key, u"ABC", kRegSz, text, sizeof text), 0);
  uint32_t size = 64;
  char16_t out[32];
  EXPECT_EQ(PlatformRegQueryValue(key, u"ABC", nullptr, out, &size), 5);  // write-only handle
  PlatformRegCloseKey(key);

  ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::CurrentUser, u"software\\KORVANE", kKeyRead, &key), 0);
  uint32_t type = 0;
  size = sizeof out;
  EXPECT_EQ(PlatformRegQueryValue(key, u"abc", &type, out, &size), 0);
  EXPECT_EQ(size, sizeof text);
  EXPECT_EQ(type, kRegSz);
  EXPECT_EQ(std::u16string(out), text);
  size = 4;
  EXPECT_EQ(PlatformRegQueryValue(key, u"ABC", &type, out, &size), 234);  // more data
  EXPECT_EQ(size, sizeof text);
  EXPECT_EQ(PlatformRegQueryValue(key, u"Missing", &type, out, &size), 2);
  EXPECT_EQ(PlatformRegSetValue(key, u"X", kRegSz, text, sizeof text), 5);  // read-only handle
  PlatformRegCloseKey(key);

  // The file is the registry editor's export form, readable by a person.
  const std::string file = ReadFile((std::u16string(HostUtf16(root_)) + u"/registry/HKEY_CURRENT_USER.reg").c_str());
  EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\Korvane]\n\"ABC\"=\"C:\\\\Tools \\\"x\\\"\"\n"),
            std::string::npos)
      << file;
}

TEST_F(Stand_in, RegistryKeepsOddDataAndParentKeys) {
  HostRegistryWriteRaw(HostHive::LocalMachine, u"A\\B\\C", u"raw", 3, std::string("\x01\x00\xFF", 3));
  HostRegistryWriteRaw(HostHive::LocalMachine, u"A\\B\\C", u"unterminated", 1, std::string("a\0b\0", 4));
  EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine, u"A"));
  EXPECT_TRUE(HostRegistryKeyExists(HostHive::LocalMachine, u"A\\B"));
  RegistryKey key = nullptr;
  ASSERT_EQ(PlatformRegOpenKey(RegistryRoot::LocalMachine, u"A\\B\\C", kKeyRead, &key), 0);
  unsigned char data[8] = {};
  uint32_t size = sizeof data, type = 0;
  ASSERT_EQ(PlatformRegQueryValue(key, u"raw", &type, data, &size), 0);
  EXPECT_EQ(type, 3u);
  EXPECT_EQ(size, 3u);
  EXPECT_EQ(data[2], 0xFF);
  size = sizeof data;
  ASSERT_EQ(PlatformRegQueryValue(key, u"unterminated", &type, data, &size), 0);
  EXPECT_EQ(size, 4u);
  PlatformRegCloseKey(key);
}

TEST_F(Stand_in, ShellMoveOntoAnExistingFolderMovesIntoIt) {
  MakeFolder(u"C:\\Stage");
  MakeFolder(u"C:\\Stage\\Group");
  WriteFile(u"C:\\Stage\\Group\\a.lnk", "a");
  MakeFolder(u"C:\\Programs");
  bool aborted = true;
  const char16_t from[] = u"C:\\Stage\\Group\0";
  const char16_t to[] = u"C:\\Programs\0";
  EXPECT_EQ(PlatformShellFileOperation(nullptr, kFoMove, from, to, 0x210, &aborted), 0);
  EXPECT_FALSE(aborted);
  EXPECT_EQ(ReadFile(u"C:\\Programs\\Group\\a.lnk"), "a");
  // A second group of the same name merges into the first, replacing its files.
  MakeFolder(u"C:\\Stage\\Group");
  WriteFile(u"C:\\Stage\\Group\\a.lnk", "new");
  WriteFile(u"C:\\Stage\\Group\\b.lnk", "b");
  EXPECT_EQ(PlatformShellFileOperation(nullptr, kFoMove, from, to, 0x210, &aborted), 0);
  EXPECT_EQ(ReadFile(u"C:\\Programs\\Group\\a.lnk"), "new");
  EXPECT_EQ(ReadFile(u"C:\\Programs\\Group\\b.lnk"), "b");
  EXPECT_FALSE(Exists(u"C:\\Stage\\Group"));
}

TEST_F(Stand_in, ResetKeepsTheMachineButRestoresTheSettings) {
  HostSetSystemLanguage(1031);
  HostSetEnvironment(u"X", u"y");
  PlatformMessageBox(nullptr, u"hello", u"caption", 64);
  HostRegistryWrite(HostHive::CurrentUser, u"Software\\Korvane", u"ID", u"C:\\kept");
  HostReset(root_);
  EXPECT_EQ(PlatformGetSystemDefaultLangId(), 1033);
  char16_t value[8];
  EXPECT_EQ(PlatformGetEnvironmentVariable(u"X", value, 8), 0u);
  EXPECT_TRUE(HostMessages().empty());
  std::u16string kept;
  EXPECT_TRUE(HostRegistryRead(HostHive::CurrentUser, u"Software\\Korvane", u"ID", &kept));
  EXPECT_EQ(kept, u"C:\\kept");
}

TEST_F(Stand_in, EnvironmentNamesIgnoreCaseAndValuesMustFit) {
  HostSetEnvironment(u"ProgramFiles", u"C:\\Progs");
  char16_t value[16];
  EXPECT_EQ(PlatformGetEnvironmentVariable(u"PROGRAMFILES", value, 16), 8u);
  EXPECT_EQ(std::u16string(value), u"C:\\Progs");
  EXPECT_EQ(PlatformGetEnvironmentVariable(u"programfiles", value, 4), 9u);  // needed size
}

}  // namespace
