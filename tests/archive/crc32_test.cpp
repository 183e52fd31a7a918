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

// Every length 0-4,096 from every start modulo 8: the fast update must equal the byte-wise
// rule, whatever the alignment of its first and last step.
TEST_F(Crc, EightBytesAStepEqualsTheByteWiseRule) {
  constexpr uint32_t kLongest = 4096;
  std::mt19937 rng(3);
  std::vector<uint8_t> data(kLongest + 8);
  for (uint8_t& b : data) b = uint8_t(rng());
  for (uint32_t offset = 0; offset < 8; ++offset) {
    const uint32_t start = 0xA5A5A5A5u ^ offset;
    uint32_t expected = start;  // the byte-wise CRC of the first `length` bytes
    for (uint32_t length = 0; length <= kLongest; ++length) {
      ASSERT_EQ(Crc32Update(context_, start, data.data() + offset, length), expected)
          << offset << " " << length;
      expected = (expected >> 8) ^ context_->crcTable[(expected ^ data[offset + length]) & 0xFF];
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
