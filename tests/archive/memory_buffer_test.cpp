// The memory-entry buffer: geometric growth, storage kept across Clear, the limit, and
// that a failed entry stays failed (never handed over with a hole in it).
#include "archive/memory_buffer.h"

#include <gtest/gtest.h>

#include <vector>

#include "archive/extract_context.h"

namespace {

TEST(MemoryBuffer, GrowsGeometricallyAndKeepsStorageAcrossClear) {
  MemoryBuffer m = {};
  std::vector<uint8_t> chunk(1000, 0x5A);
  EXPECT_FALSE(Append(&m, chunk.data(), 10));
  EXPECT_EQ(m.capacity, 4096u);
  int grows = 0;
  uint32_t capacity = m.capacity;
  for (int i = 0; i < 4000; ++i) {
    ASSERT_FALSE(Append(&m, chunk.data(), uint32_t(chunk.size())));
    if (m.capacity != capacity) {
      EXPECT_GE(m.capacity, 2 * capacity);
      capacity = m.capacity;
      ++grows;
    }
  }
  EXPECT_LE(grows, 12);  // 4 MB in doublings from 4 KB
  EXPECT_EQ(m.used, 10u + 4000u * 1000u);
  EXPECT_EQ(m.count, 4001);
  EXPECT_EQ(m.data[m.used - 1], 0x5A);
  uint8_t* storage = m.data;
  Clear(&m);
  EXPECT_EQ(m.used, 0u);
  EXPECT_EQ(m.count, 0);
  EXPECT_EQ(m.data, storage);
  EXPECT_EQ(m.capacity, capacity);
  // An empty append still counts, and allocates when there is no storage yet.
  EXPECT_FALSE(Append(&m, chunk.data(), 0));
  EXPECT_EQ(m.count, 1);
  Release(&m);
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.capacity, 0u);
  EXPECT_FALSE(Append(&m, chunk.data(), 0));
  EXPECT_NE(m.data, nullptr);
  Release(&m);
}

TEST(MemoryBuffer, AnEntryPastTheLimitFailsAndStaysFailedUntilClear) {
  MemoryBuffer m = {};
  std::vector<uint8_t> big(1 << 20, 1);
  for (uint32_t i = 0; i < kMemoryEntryLimit / big.size(); ++i)
    ASSERT_FALSE(Append(&m, big.data(), uint32_t(big.size())));
  EXPECT_EQ(m.used, kMemoryEntryLimit);
  EXPECT_TRUE(Append(&m, big.data(), 1));  // one byte too many
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.failed, 1u);
  // Later bytes of the same entry do not start a new buffer.
  EXPECT_TRUE(Append(&m, big.data(), 5));
  EXPECT_EQ(m.data, nullptr);
  EXPECT_EQ(m.used, 0u);
  Clear(&m);
  EXPECT_FALSE(Append(&m, big.data(), 5));
  EXPECT_EQ(m.used, 5u);
  Release(&m);
}

}  // namespace
