// The folder an elevated program trusts, on the stand-in: a plain numbered folder without
// elevation; with it a random name created afresh with the protected DACL and held, an existing
// name or a link passed over, and no fallback when no such folder can be made.
#include "system/trusted_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "system/machine_fixture.h"

namespace {

const std::u16string kTemp = u"C:\\users\\user\\Temp\\";
const std::u16string kExpectedSddl =
    std::u16string(u"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;") + kHostUserSid + u")";

class TrustedFolderTest : public MachineTest {
 protected:
  // Queues the random bytes of one name, all `byte`; the name is 16 hexadecimal digits of it.
  static std::u16string QueueName(uint8_t byte) {
    HostQueueRandomBytes(std::vector<uint8_t>(kTrustedNameBytes, byte));
    const char16_t digits[] = {u"0123456789abcdef"[byte >> 4], u"0123456789abcdef"[byte & 15], 0};
    std::u16string name;
    for (int i = 0; i < kTrustedNameBytes; ++i) name += digits;
    return kTemp + name;
  }
};

TEST_F(TrustedFolderTest, WithoutElevationTheNumberedFolderIsKept) {
  TrustedFolder folder;
  EXPECT_EQ(MakeTrustedFolder(&folder), 0u);
  EXPECT_EQ(std::u16string(folder.path), kTemp + u"1");
  EXPECT_FALSE(folder.elevated);
  EXPECT_EQ(folder.handle, nullptr);
  EXPECT_EQ(HostFolderSecurity(folder.path), u"");
}

TEST_F(TrustedFolderTest, ElevatedFoldersAreFreshlyNamedProtectedAndHeld) {
  HostSetElevated(true);
  TrustedFolder first, second;
  ASSERT_EQ(MakeTrustedFolder(&first), 0u);
  ASSERT_EQ(MakeTrustedFolder(&second), 0u);
  for (const TrustedFolder* folder : {&first, &second}) {
    const std::u16string path = folder->path;
    EXPECT_TRUE(folder->elevated);
    EXPECT_TRUE(IsFolder(path.c_str()));
    ASSERT_EQ(path.size(), kTemp.size() + 2 * kTrustedNameBytes);
    EXPECT_EQ(path.substr(0, kTemp.size()), kTemp);
    EXPECT_EQ(path.find_first_not_of(u"0123456789abcdef", kTemp.size()), std::u16string::npos) << HostUtf8(path.c_str());
    EXPECT_EQ(HostFolderSecurity(path), kExpectedSddl);
    EXPECT_NE(folder->handle, nullptr);
  }
  EXPECT_NE(std::u16string(first.path), std::u16string(second.path));
  EXPECT_EQ(HostHeldHandles(), 2);
  ReleaseTrustedFolder(&first);
  ReleaseTrustedFolder(&second);
  EXPECT_EQ(HostHeldHandles(), 0);
}

// Whatever already has the name drawn, it is left as it is and the next name is drawn.
TEST_F(TrustedFolderTest, AnExistingNameOrALinkIsPassedOver) {
  HostSetElevated(true);
  const struct {
    const char* what;
    void (*plant)(const std::string& native, const std::string& elsewhere);
  } cases[] = {
      {"a folder", [](const std::string& native, const std::string&) { mkdir(native.c_str(), 0777); }},
      {"a file", [](const std::string& native, const std::string&) { WriteFile(HostUtf16(native).c_str(), "x"); }},
      {"a link to a folder",
       [](const std::string& native, const std::string& elsewhere) { ASSERT_EQ(symlink(elsewhere.c_str(), native.c_str()), 0); }},
      {"a dangling link",
       [](const std::string& native, const std::string& elsewhere) {
         ASSERT_EQ(symlink((elsewhere + "-none").c_str(), native.c_str()), 0);
       }},
  };
  uint8_t byte = 0x10;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeFolder(u"C:\\Elsewhere");
    const std::u16string planted = QueueName(byte++);
    const std::u16string next = QueueName(byte++);
    c.plant(HostNativePath(planted.c_str()), HostNativePath(u"C:\\Elsewhere"));
    TrustedFolder folder;
    ASSERT_EQ(MakeTrustedFolder(&folder), 0u);
    EXPECT_EQ(std::u16string(folder.path), next);
    EXPECT_EQ(HostFolderSecurity(planted), u"");
    EXPECT_EQ(HostFolderSecurity(u"C:\\Elsewhere"), u"");
    ReleaseTrustedFolder(&folder);
  }
}

TEST_F(TrustedFolderTest, NoSafeFolderMeansNoFolderAtAll) {
  HostSetElevated(true);
  const struct {
    const char* what;
    const char16_t* temp;
    int plantedNames;
    uint32_t error;
  } cases[] = {
      {"every name drawn exists", u"C:\\users\\user\\Temp\\", kTrustedFolderAttempts, kErrorAlreadyExists},
      {"the temporary folder is missing", u"C:\\Gone\\", 0, kErrorPathNotFound},
      {"no room for the name", u"C:\\users\\user\\Temp\\", 0, kErrorCannotMake},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HostSetTempFolder(c.temp);
    if (c.error == kErrorCannotMake) HostSetTempFolder(kTemp + std::u16string(kPathCapacity - kTemp.size() - 8, u'x') + u"\\");
    for (int i = 0; i < c.plantedNames; ++i) MakeFolder(QueueName(uint8_t(0x80 + i)).c_str());
    TrustedFolder folder;
    EXPECT_EQ(MakeTrustedFolder(&folder), c.error);
    EXPECT_EQ(std::u16string(folder.path), u"") << "never a folder of another kind";
    EXPECT_EQ(folder.handle, nullptr);
    EXPECT_EQ(HostHeldHandles(), 0);
    EXPECT_FALSE(Exists((kTemp + u"1").c_str()));
  }
}

}  // namespace
