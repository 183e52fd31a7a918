// The removal record found at the end of an uninstaller or in front of its certificate table,
// and every other place a crafted certificate entry names refused.
#include "payload/record_place.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "payload/removal_record.h"
#include "support/pe_image_builder.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Record(const char* group = "Tool") {
  const char* names[] = {"KTool.exe", "UnInst.exe"};
  RemovalRecordFields fields = {"TL", group, "ToolWindow", "KTool.exe", names, 2, kRemovalRecordVersion};
  Bytes record(RemovalRecordSize(fields));
  record.resize(WriteRemovalRecord(fields, record.data(), uint32_t(record.size())));
  return record;
}

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> 8 * i);
}

// The certificate entry's offset in the image of imagetest::PeImageOf.
size_t CertificateEntry(bool is64) {
  return imagetest::kOptionalHeader + (is64 ? imagetest::kDirectoryCount64 : imagetest::kDirectoryCount32) + 4 + 8 * 4;
}

// An uninstaller: the image, the record, `pad` zero bytes and a certificate table of one
// entry (WIN_CERTIFICATE of PKCS#7 signed data, a DER SEQUENCE) that the headers name.
Bytes Signed(bool is64, const Bytes& record, size_t pad) {
  Bytes file = imagetest::PeImageOf(is64, 0x400, 0x90);
  file.insert(file.end(), record.begin(), record.end());
  file.resize(file.size() + pad, 0);
  const uint32_t table = uint32_t(file.size());
  const uint8_t entry[16] = {16, 0, 0, 0, 0x00, 0x02, 2, 0, 0x30, 0x06, 0x05, 0, 0x05, 0, 0x05, 0};
  file.insert(file.end(), entry, entry + sizeof entry);
  Put32(file, CertificateEntry(is64), table);
  Put32(file, CertificateEntry(is64) + 4, sizeof entry);
  return file;
}

bool ReadMemory(void* user, uint32_t offset, uint8_t* bytes, uint32_t count) {
  const Bytes& file = *static_cast<const Bytes*>(user);
  if (offset > file.size() || file.size() - offset < count) return false;
  std::memcpy(bytes, file.data() + offset, count);
  return true;
}

// The trailer's offset, or -1 when the record is not found.
long Locate(const Bytes& file) {
  uint32_t at = 0;
  return LocateRemovalTrailer(ReadMemory, const_cast<Bytes*>(&file), uint32_t(file.size()), &at) ? long(at) : -1;
}

long TrailerOf(const Bytes& record) { return long(imagetest::PeImage().size() + record.size() - kRemovalTrailerBytes); }

TEST(RecordPlace, UnsignedUninstallerEndsInTheTrailer) {
  const Bytes record = Record();
  Bytes file = imagetest::PeImage();
  file.insert(file.end(), record.begin(), record.end());
  EXPECT_EQ(Locate(file), TrailerOf(record));
  Bytes bare = record;  // no image in front: read from the end as ever
  EXPECT_EQ(Locate(bare), long(record.size() - kRemovalTrailerBytes));
  file.push_back(0);  // an unsigned file has no padding
  EXPECT_EQ(Locate(file), -1);
}

TEST(RecordPlace, SignedUninstallerHasTheRecordInFrontOfItsTableWithAnyPadding) {
  for (bool is64 : {false, true})
    for (size_t pad = 0; pad <= kCertificatePaddingLimit; ++pad) {
      const Bytes record = Record();
      EXPECT_EQ(Locate(Signed(is64, record, pad)), TrailerOf(record)) << "x64 " << is64 << ", padding " << pad;
    }
  EXPECT_EQ(Locate(Signed(false, Record(), kCertificatePaddingLimit + 1)), -1);
}

// A trailer may end in a zero byte (its checksum's top byte): it is not taken for padding.
TEST(RecordPlace, TrailerEndingInZeroIsNotMistakenForPadding) {
  Bytes record;
  char group[8] = "G0";
  for (int i = 0; i < 4096 && (record.empty() || record.back() != 0); ++i) {
    std::snprintf(group, sizeof group, "G%d", i);
    record = Record(group);
  }
  ASSERT_EQ(record.back(), 0);
  for (size_t pad : {size_t(0), size_t(3)}) EXPECT_EQ(Locate(Signed(false, record, pad)), TrailerOf(record));
}

TEST(RecordPlace, CertificateEntriesThatNameNoTableAtTheEndAreRefused) {
  const Bytes record = Record();
  const Bytes good = Signed(false, record, 4);
  const size_t entry = CertificateEntry(false);
  const uint32_t table = uint32_t(good.size() - 16);
  struct Case {
    const char* what;
    uint32_t address, size;
  } cases[] = {
      {"inside the file, short of its end", table - 8, 16},
      {"inside the file, at the record", table - 40, 56},
      {"past the file's end", table, 24},
      {"far past the file's end", 0xFFFFFFF0u, 16},
      {"too small for a certificate header", table + 12, 4},
      {"the whole file", 0, uint32_t(good.size())},
  };
  for (const Case& c : cases) {
    Bytes file = good;
    Put32(file, entry, c.address);
    Put32(file, entry + 4, c.size);
    EXPECT_EQ(Locate(file), -1) << c.what;
  }
  Bytes noise = good;
  noise[table - 2] = 1;  // padding that is not zero
  EXPECT_EQ(Locate(noise), -1);
  Bytes revision = good;
  revision[table + 5] = 0x01;  // WIN_CERT_REVISION_1_0
  EXPECT_EQ(Locate(revision), -1);
}

TEST(RecordPlace, HeadersTooShortForTheEntryAreReadAsUnsigned) {
  const Bytes record = Record();
  Bytes file = imagetest::PeImage();
  file.insert(file.end(), record.begin(), record.end());
  Put32(file, 0x3C, 0x3F0);  // "PE" would lie beyond the headers read
  EXPECT_EQ(Locate(file), TrailerOf(record));
  Bytes few = imagetest::PeImage();
  few[imagetest::kOptionalHeader + imagetest::kDirectoryCount32] = 4;  // no certificate entry
  Put32(few, CertificateEntry(false), 0x400);
  Put32(few, CertificateEntry(false) + 4, 16);
  few.insert(few.end(), record.begin(), record.end());
  EXPECT_EQ(Locate(few), TrailerOf(record));
}

}  // namespace
