// The CRC-32 of headers and data: the standard check value, and the eight-bytes-a-step
// update against the byte-wise rule for every length and alignment, and the standalone
// table against the context's.
#include "archive/crc32.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "archive/extract_context.h"

namespace {

class Crc : public testing::Test {
 protected:
  Crc() : context_(static_cast<ExtractContext*>(std::calloc(1, sizeof(ExtractContext)))) {
    BuildCrcTable(context_);
  }
  ~Crc() override { std::free(context_); }
  ExtractContext* context_;
};

TEST_F(Crc, GivesTheStandardCheckValue) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(~Crc32Update(context_, 0xFFFFFFFFu, digits, 9), 0xCBF43926u);
  EXPECT_EQ(context_->crcTable[1], 0x77073096u);
  EXPECT_EQ(context_->crcTable[255], 0x2D02EF8Du);
  EXPECT_EQ(Crc32Update(context_, 0x12345678u, digits, 0), 0x12345678u);
}

TEST_F(Crc, EightBytesAStepEqualsTheByteWiseRule) {
  std::mt19937 rng(3);
  std::vector<uint8_t> data(200);
  for (uint8_t& b : data) b = uint8_t(rng());
  for (uint32_t offset = 0; offset < 8; ++offset) {
    for (uint32_t length = 0; length + offset <= data.size(); length += 1 + length / 16) {
      uint32_t expected = 0xA5A5A5A5u ^ length;
      for (uint32_t i = 0; i < length; ++i)
        expected = (expected >> 8) ^ context_->crcTable[(expected ^ data[offset + i]) & 0xFF];
      ASSERT_EQ(Crc32Update(context_, 0xA5A5A5A5u ^ length, data.data() + offset, length),
                expected)
          << offset << " " << length;
    }
  }
}

// The writer checksums with a table of its own: every row must equal the context's, and so
// must every update, or an archive the writer makes would fail the reader's checks.
TEST_F(Crc, StandaloneTableEqualsTheContextTable) {
  Crc32Table table;
  BuildCrcTable(&table);
  EXPECT_EQ(std::memcmp(table.byteRow, context_->crcTable, sizeof table.byteRow), 0);
  EXPECT_EQ(std::memcmp(table.wideRows, context_->crcTableWide, sizeof table.wideRows), 0);
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(~Crc32Update(&table, 0xFFFFFFFFu, digits, 9), 0xCBF43926u);
}

}  // namespace
