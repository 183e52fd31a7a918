// The uninstaller's own file read back: its record at the end, or in front of a signature.
#include "uninstall/record_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "support/pe_image_builder.h"
#include "system/host/host_control.h"
#include "system/host/host_paths.h"

namespace {

using Bytes = std::vector<uint8_t>;
const char16_t kPath[] = u"C:\\Tool\\UnInst.exe";

class RecordFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = HostMakeTempRoot();
    HostReset(root_);
    ASSERT_EQ(mkdir(HostNativePath(u"C:\\Tool").c_str(), 0755), 0);
  }
  void TearDown() override { HostRemoveTree(root_); }
  static void Write(const Bytes& bytes) {
    std::ofstream(HostNativePath(kPath), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                 std::streamsize(bytes.size()));
  }
  std::string root_;
};

Bytes Record() {
  const char* names[] = {"KTool.exe", "UnInst.exe"};
  RemovalRecordFields fields = {"TL", "Tool", "ToolWindow", "KTool.exe", names, 2, kRemovalRecordVersion};
  Bytes record(RemovalRecordSize(fields));
  record.resize(WriteRemovalRecord(fields, record.data(), uint32_t(record.size())));
  return record;
}

// The 64-bit image with the record, padding to 8 bytes and a table of one entry behind it,
// which the certificate entry names.
Bytes SignedUninstaller(const Bytes& record) {
  Bytes file = imagetest::PeImage64(0x400);
  file.insert(file.end(), record.begin(), record.end());
  file.resize((file.size() + 7) & ~size_t(7), 0);
  const uint32_t table = uint32_t(file.size());
  const uint8_t entry[16] = {16, 0, 0, 0, 0x00, 0x02, 2, 0, 0x30, 0x06, 0x05, 0, 0x05, 0, 0x05, 0};
  file.insert(file.end(), entry, entry + sizeof entry);
  const size_t at = imagetest::kOptionalHeader + imagetest::kDirectoryCount64 + 4 + 8 * 4;
  for (int i = 0; i < 4; ++i) file[at + i] = uint8_t(table >> 8 * i), file[at + 4 + i] = uint8_t(16 >> 8 * i);
  return file;
}

TEST_F(RecordFileTest, RecordIsReadInFrontOfTheSignatureAndEqualsTheUnsignedOne) {
  const Bytes record = Record();
  Bytes unsigned_ = imagetest::PeImage64(0x400);
  unsigned_.insert(unsigned_.end(), record.begin(), record.end());
  Write(unsigned_);
  RecordFile plain;
  ASSERT_TRUE(LoadRecordFile(kPath, &plain));
  Write(SignedUninstaller(record));
  RecordFile signed_;
  ASSERT_TRUE(LoadRecordFile(kPath, &signed_));
  EXPECT_STREQ(signed_.record.group, "Tool");
  EXPECT_EQ(signed_.record.nameCount, 2);
  EXPECT_TRUE(SameRecord(plain, signed_));
  ReleaseRecordFile(&plain);
  ReleaseRecordFile(&signed_);
}

TEST_F(RecordFileTest, DamagedRecordInFrontOfTheSignatureIsRefused) {
  const Bytes record = Record();
  Bytes file = SignedUninstaller(record);
  file[0x400 + 6] ^= 0x20;  // a byte of the group name: the record's checksum fails
  Write(file);
  RecordFile loaded;
  EXPECT_FALSE(LoadRecordFile(kPath, &loaded));
  EXPECT_EQ(loaded.body, nullptr);
}

}  // namespace
