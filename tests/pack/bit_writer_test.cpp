// The bit writer: fields most significant bit first, as the decoder peeks them.
#include "pack/bit_writer.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(BitWriter, FieldsAreWrittenMostSignificantBitFirst) {
  struct Case {
    std::vector<std::pair<uint32_t, uint32_t>> fields;  // value, bit count
    std::vector<uint8_t> bytes;
  };
  const Case cases[] = {
      {{{1, 1}}, {0x80}},
      {{{0, 2}, {1, 1}, {0x1F, 5}}, {0x3F}},
      {{{0xABC, 12}, {0xD, 4}}, {0xAB, 0xCD}},
      {{{0x8001, 16}, {1, 1}}, {0x80, 0x01, 0x80}},
      {{{0xFFFFFFFF, 32}, {0, 3}}, {0xFF, 0xFF, 0xFF, 0xFF, 0x00}},
      {{{5, 0}, {3, 2}}, {0xC0}},  // a field of no bits writes nothing
  };
  for (const Case& c : cases) {
    BitWriter w;
    uint64_t bits = 0;
    for (auto f : c.fields) PutBits(w, f.first, f.second), bits += f.second;
    EXPECT_EQ(BitCount(w), bits);
    FlushBits(w);
    EXPECT_EQ(w.bytes, c.bytes);
  }
}

TEST(BitWriter, AppendingKeepsEveryBitInOrder) {
  for (uint32_t offset = 0; offset < 8; ++offset) {
    BitWriter head, tail, whole;
    PutBits(head, 0x5A, offset);
    PutBits(whole, 0x5A, offset);
    for (uint32_t i = 0; i < 21; ++i) {
      PutBits(tail, i * 37, 1 + i % 13);
      PutBits(whole, i * 37, 1 + i % 13);
    }
    AppendBits(head, tail);
    EXPECT_EQ(BitCount(head), BitCount(whole));
    FlushBits(head);
    FlushBits(whole);
    EXPECT_EQ(head.bytes, whole.bytes) << offset;
  }
}

}  // namespace
