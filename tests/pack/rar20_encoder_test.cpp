// The compressor against the real decoder: every stream it writes is decoded with
// UnpackEntry (through the decoder harness) and must give back the exact bytes, entry by
// entry, in solid and non-solid streams, at every level; and the streams must really use
// every kind of symbol the format has (counted by reading them back).
#include "pack/rar20_encoder.h"

#include <gtest/gtest.h>

#include <memory>

#include "pack_test_data.h"
#include "stream_census.h"
#include "support/decoder_harness.h"

namespace {

using packtest::Bytes;
using packtest::LzMixBytes;
using packtest::RandomBytes;
using packtest::TextBytes;

struct Packed {
  std::vector<PackedEntry> entries;
  size_t totalPacked = 0;
};

Packed PackAll(const std::vector<Bytes>& contents, int level, bool solid, Rar20Encoder* keep = nullptr) {
  std::unique_ptr<Rar20Encoder> own(new Rar20Encoder);
  Rar20Encoder& enc = keep ? *keep : *own;
  InitEncoder(enc, level, solid);
  Packed out;
  for (const Bytes& c : contents) {
    PackedEntry e;
    PackEntry(enc, c.data(), c.size(), true, e);
    out.totalPacked += e.stored ? c.size() : e.packed.size();
    out.entries.push_back(std::move(e));
  }
  return out;
}

// Decodes every compressed entry in order with one decoder state (as an extraction run
// does) and compares; stored entries bypass the decoder, as in the extraction driver.
void ExpectRoundTrip(const std::vector<Bytes>& contents, const Packed& packed, DecoderHarness::DecodeFunction decode = nullptr) {
  DecoderHarness h(decode);
  ASSERT_EQ(contents.size(), packed.entries.size());
  for (size_t i = 0; i < contents.size(); ++i) {
    const PackedEntry& e = packed.entries[i];
    if (e.stored) {
      EXPECT_TRUE(e.packed.empty());
      continue;
    }
    Bytes out = h.Run(e.packed, int32_t(contents[i].size()), e.solid);
    if (decode) continue;
    ASSERT_EQ(out.size(), contents[i].size()) << "entry " << i;
    ASSERT_TRUE(out == contents[i]) << "entry " << i;
  }
}

TEST(Rar20Encoder, SmallAndSpecialEntriesRoundTrip) {
  const std::vector<Bytes> cases = {
      {},                                  // empty
      {0x41},                              // one byte
      {0, 0},                              // two bytes
      Bytes(100000, 'x'),                  // a long run
      Bytes(5, 0xFF),
      TextBytes(30000, 1),
      LzMixBytes(70000, 2),
  };
  for (bool solid : {false, true}) {
    for (const Bytes& c : cases) {
      // Alone, and behind another entry.
      std::vector<Bytes> one = {c};
      ExpectRoundTrip(one, PackAll(one, kDefaultPackLevel, solid));
      std::vector<Bytes> two = {TextBytes(1000, 9), c};
      ExpectRoundTrip(two, PackAll(two, kDefaultPackLevel, solid));
    }
  }
}

TEST(Rar20Encoder, EveryLevelRoundTripsAndHigherLevelsAreNotWorse) {
  std::vector<Bytes> contents = {TextBytes(50000, 3), LzMixBytes(300000, 4), Bytes(2000, 0), RandomBytes(3000, 5)};
  size_t previous = SIZE_MAX;
  for (int level = kMinPackLevel; level <= kMaxPackLevel; ++level) {
    Packed p = PackAll(contents, level, true);
    ExpectRoundTrip(contents, p);
    // Level 1 is greedy; from level 2 on each level searches at least as hard as the one before.
    if (level >= 3) {
      EXPECT_LE(p.totalPacked, previous + previous / 100) << "level " << level;
    }
    previous = p.totalPacked;
  }
}

// A chunk repeated at exactly the given distance must come back as a match at that
// distance: the census sees the distance slot (long match) or the short slot.
TEST(Rar20Encoder, RepeatsAtEveryDistanceClassRoundTrip) {
  const uint32_t distances[] = {1, 2, 4, 5, 255, 256, 257, 300, 0x1FFF, 0x2000, 0x2001, 0x3FFFF, 0x40000, 0x40001, 0xFFFFF};
  for (uint32_t d : distances) {
    Bytes data = TextBytes(d, d);  // compressible filler, so the entry is never stored
    const Bytes chunk = RandomBytes(200, d + 1);
    // The chunk, then d - 200 random bytes... so the second copy sits exactly d bytes later.
    Bytes content;
    content.insert(content.end(), chunk.begin(), chunk.end());
    if (d > 200) content.insert(content.end(), data.begin(), data.begin() + (d - 200));
    size_t start = content.size() - std::min<size_t>(d, content.size());
    for (size_t i = 0; i < 200; ++i) content.push_back(content[start + i]);
    std::vector<Bytes> one = {content};
    Packed p = PackAll(one, kDefaultPackLevel, false);
    ASSERT_FALSE(p.entries[0].stored) << d;
    ExpectRoundTrip(one, p);
    gCensus = StreamCensus();
    ExpectRoundTrip(one, p, CensusEntry);
    if (d <= 200) continue;  // overlapping copies: any short distance may serve
    const uint32_t value = d - 1;
    uint32_t slot = 0;
    while (slot + 1 < kDistanceSlotCount && kDistanceBase[slot + 1] <= value) ++slot;
    EXPECT_GT(gCensus.distanceSlots[slot], 0u) << "distance " << d;
    if (d >= kBonusDistanceFar) {
      EXPECT_GT(gCensus.longWithFarBonus, 0u) << d;
    } else if (d >= kBonusDistanceMid) {
      EXPECT_GT(gCensus.longWithMidBonus, 0u) << d;
    }
    EXPECT_EQ(gCensus.trailingReads, 0u);
  }
}

TEST(Rar20Encoder, EntriesLargerThanTheWindowWrapAround) {
  Bytes big = LzMixBytes(2600000, 11);
  // A stretch near the end that repeats data from just under 1 MB back.
  for (size_t i = 0; i < 5000; ++i) big[2500000 + i] = big[2500000 + i - 0xFFF00];
  for (bool solid : {false, true}) {
    std::vector<Bytes> contents = {big, TextBytes(10000, 12), big};
    Packed p = PackAll(contents, kDefaultPackLevel, solid);
    ExpectRoundTrip(contents, p);
  }
}

TEST(Rar20Encoder, SolidEntriesMatchIntoEarlierEntries) {
  const Bytes a = LzMixBytes(200000, 21);
  Bytes b = a;
  for (size_t i = 0; i < b.size(); i += 10007) b[i] ^= 0x5A;  // a slightly changed copy
  const Bytes noise = RandomBytes(50000, 22);                 // stored: not in the decoder's window
  std::vector<Bytes> contents = {a, noise, b};
  Packed solid = PackAll(contents, kDefaultPackLevel, true);
  ExpectRoundTrip(contents, solid);
  EXPECT_TRUE(solid.entries[1].stored);
  EXPECT_TRUE(solid.entries[1].solid);
  EXPECT_TRUE(solid.entries[2].solid);
  EXPECT_LT(solid.entries[2].packed.size(), solid.entries[0].packed.size() / 20);
  Packed alone = PackAll(contents, kDefaultPackLevel, false);
  ExpectRoundTrip(contents, alone);
  EXPECT_FALSE(alone.entries[2].solid);
  EXPECT_GT(alone.entries[2].packed.size(), solid.entries[0].packed.size() / 2);
}

TEST(Rar20Encoder, IncompressibleEntriesAreStoredExceptTheFirstOfASolidStream) {
  const Bytes noise = RandomBytes(40000, 31);
  std::vector<Bytes> contents = {noise, TextBytes(5000, 32), noise, {}};
  Packed solid = PackAll(contents, kDefaultPackLevel, true);
  EXPECT_FALSE(solid.entries[0].stored);  // the decoder needs codes for the entries after it
  EXPECT_FALSE(solid.entries[0].solid);
  EXPECT_FALSE(solid.entries[1].stored);
  // The third entry repeats the first, which the window holds: it compresses.
  EXPECT_FALSE(solid.entries[2].stored);
  EXPECT_LT(solid.entries[2].packed.size(), 1000u);
  EXPECT_TRUE(solid.entries[3].stored);
  ExpectRoundTrip(contents, solid);

  Packed alone = PackAll(contents, kDefaultPackLevel, false);
  EXPECT_TRUE(alone.entries[0].stored);
  EXPECT_FALSE(alone.entries[1].stored);
  EXPECT_TRUE(alone.entries[2].stored);
  EXPECT_TRUE(alone.entries[3].stored);
  ExpectRoundTrip(contents, alone);
}

// A large incompressible entry is given up early and stored; the stream goes on from the
// state before it, with nothing of it left pending.
TEST(Rar20Encoder, LargeIncompressibleEntriesAreStored) {
  const Bytes text = TextBytes(300000, 71);
  std::vector<Bytes> contents = {text, RandomBytes(3000000, 72), text, LzMixBytes(200000, 73)};
  for (int level : {kDefaultPackLevel, kMaxPackLevel}) {
    for (bool solid : {true, false}) {
      Packed p = PackAll(contents, level, solid);
      EXPECT_TRUE(p.entries[1].stored);
      EXPECT_FALSE(p.entries[2].stored);
      if (solid) {
        EXPECT_LT(p.entries[2].packed.size(), text.size() / 100) << "level " << level;  // it all matches the first entry
      }
      ExpectRoundTrip(contents, p);
    }
  }
}

TEST(Rar20Encoder, OutputIsReproducible) {
  std::vector<Bytes> contents = {TextBytes(40000, 41), LzMixBytes(100000, 42)};
  Packed a = PackAll(contents, kDefaultPackLevel, true);
  Packed b = PackAll(contents, kDefaultPackLevel, true);
  for (size_t i = 0; i < contents.size(); ++i) EXPECT_TRUE(a.entries[i].packed == b.entries[i].packed);
}

// Every kind of symbol the literal code has appears in the streams, as read back.
TEST(Rar20Encoder, StreamsUseEverySymbolKind) {
  std::vector<Bytes> contents = {LzMixBytes(1500000, 51), TextBytes(200000, 52), LzMixBytes(400000, 53),
                                 RandomBytes(3000, 54)};
  Packed p = PackAll(contents, kDefaultPackLevel, true);
  ExpectRoundTrip(contents, p);
  gCensus = StreamCensus();
  ExpectRoundTrip(contents, p, CensusEntry);
  uint64_t literals = 0;
  for (uint32_t s = 0; s < 256; ++s) literals += gCensus.symbols[s];
  EXPECT_GT(literals, 0u);
  for (uint32_t s = kSymbolRepeatLast; s <= kSymbolTableBlock; ++s) EXPECT_GT(gCensus.symbols[s], 0u) << "symbol " << s;
  for (uint32_t slot = 0; slot < kLengthSlotCount; ++slot)
    EXPECT_GT(gCensus.lengthSlots[slot], 0u) << "long match length slot " << slot;
  for (uint32_t slot = 0; slot < kDistanceSlotCount; ++slot)
    EXPECT_GT(gCensus.distanceSlots[slot], 0u) << "distance slot " << slot;
  EXPECT_GT(gCensus.longWithMidBonus, 0u);
  EXPECT_GT(gCensus.longWithFarBonus, 0u);
  EXPECT_GT(gCensus.recentWithNearBonus, 0u);
  EXPECT_EQ(gCensus.tableBlocksAtStart, 1u);  // only the first entry of the solid stream
  EXPECT_EQ(gCensus.trailingReads, 0u);
}

// Random contents, sizes, levels and modes: whatever the compressor writes decodes back.
TEST(Rar20Encoder, RandomStreamsRoundTrip) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 60; ++round) {
    const int level = 1 + int(rng() % 5);
    const bool solid = rng() % 3 != 0;
    std::vector<Bytes> contents;
    const int entries = 1 + int(rng() % 6);
    for (int e = 0; e < entries; ++e) {
      size_t size = rng() % 4 == 0 ? rng() % 16 : rng() % 60000;
      if (rng() % 20 == 0) size = 200000 + rng() % 400000;
      switch (rng() % 4) {
        case 0: contents.push_back(RandomBytes(size, rng())); break;
        case 1: contents.push_back(TextBytes(size, rng())); break;
        case 2: contents.push_back(Bytes(size, uint8_t(rng()))); break;
        default: contents.push_back(LzMixBytes(size, rng())); break;
      }
      if (e > 0 && rng() % 4 == 0) contents.back() = contents[rng() % e];  // repeat an earlier entry
    }
    SCOPED_TRACE("round " + std::to_string(round) + " level " + std::to_string(level) + (solid ? " solid" : ""));
    ExpectRoundTrip(contents, PackAll(contents, level, solid));
  }
}

}  // namespace

namespace {

// Positions are 32-bit: a long stream moves them down (solid) or starts them again
// (non-solid) before they run out. Start the encoder just below that point.
TEST(Rar20Encoder, StreamsGoOnWhenPositionsAreMovedDown) {
  const Bytes a = LzMixBytes(300000, 61);
  Bytes b = a;
  for (size_t i = 0; i < b.size(); i += 9973) b[i] ^= 0x33;
  const std::vector<Bytes> contents = {a, b, TextBytes(20000, 62), b};
  for (bool solid : {true, false}) for (int level : {kDefaultPackLevel, kMaxPackLevel}) {
    std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
    InitEncoder(*enc, level, solid);
    // The first entry opens its stream 2 MB further on and ends beyond 0x70000000.
    enc->nextPos = enc->historyStart = enc->streamStart = 0x70000000u - 2 * kWindowSize - 100000;
    Packed p;
    for (const Bytes& c : contents) {
      PackedEntry e;
      PackEntry(*enc, c.data(), c.size(), true, e);
      p.entries.push_back(std::move(e));
    }
    ExpectRoundTrip(contents, p);
    EXPECT_LT(enc->nextPos, 0x10000000u) << solid;  // moved down or started again
    if (solid) {
      EXPECT_LT(p.entries[1].packed.size(), p.entries[0].packed.size() / 20);
    }
  }
}

}  // namespace

namespace {

// An entry read from memory in pieces; it checks that the encoder reads it once, in order.
struct PieceSource {
  const Bytes* data;
  uint64_t next = 0;
  bool inOrder = true;
};

int ReadPiece(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  PieceSource& s = *static_cast<PieceSource*>(user);
  s.inOrder = s.inOrder && offset == s.next && offset + count <= s.data->size();
  if (!s.inOrder) return 1;
  std::copy(s.data->begin() + ptrdiff_t(offset), s.data->begin() + ptrdiff_t(offset + count), bytes);
  s.next = offset + count;
  return 0;
}

int Append(void* user, const uint8_t* bytes, size_t count) {
  static_cast<Bytes*>(user)->insert(static_cast<Bytes*>(user)->end(), bytes, bytes + count);
  return 0;
}

// Packs an entry of `size` bytes read in pieces from `data`; `inOrder` tells whether every
// read followed the one before.
int PackFromPieces(Rar20Encoder& enc, const Bytes& data, size_t size, PackedEntry& e, bool* inOrder = nullptr) {
  PieceSource source{&data};
  const int result = PackEntryFrom(enc, PackSource{ReadPiece, &source}, size, true, PackSink{Append, &e.packed}, e);
  if (inOrder) *inOrder = source.inOrder;
  return result;
}

// The encoder reads an entry a little ahead of its parse and drops the history behind the
// window: the pieces it reads in must not change a byte of what it writes. Whole entries
// (one read each) against the smallest pieces (each read just as far as the parse needs,
// so that a parse reading beyond what it asked for sees bytes not yet there), in a stream whose entries are larger than the
// window plus the pieces kept: a long text, a random entry that is stored after the history
// was cut inside it (and taken back), and entries that go on from the window before it.
TEST(Rar20Encoder, EntriesReadInPiecesGiveTheSameStream) {
  // Short matches only (16 letters), and now and then a long one: parse stretches run their
  // whole length, and some end with a long match reaching as far ahead as the parse reads.
  Bytes sparse = RandomBytes(300000, 76);
  for (uint8_t& b : sparse) b &= 0x0F;
  std::mt19937 rng(77);
  for (size_t at = 60000; at + 300 < sparse.size(); at += 2000 + rng() % 1500) {
    const size_t length = 150 + rng() % 151, from = at - 1000 - rng() % 50000;
    std::copy(sparse.begin() + ptrdiff_t(from), sparse.begin() + ptrdiff_t(from + length), sparse.begin() + ptrdiff_t(at));
  }
  const std::vector<Bytes> contents = {TextBytes(1100000, 71), RandomBytes(200000, 72), LzMixBytes(300000, 73),
                                       sparse};
  struct Case {
    int level;
    bool solid;
  };
  for (const Case c : {Case{1, true}, Case{3, true}, Case{2, false}, Case{5, true}}) {
    std::vector<Packed> results;
    for (uint32_t piece : {1u << 30, 1u}) {
      std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
      InitEncoder(*enc, c.level, c.solid);
      enc->readPiece = piece;
      Packed p;
      for (const Bytes& data : contents) {
        PackedEntry e;
        bool inOrder = false;
        ASSERT_EQ(PackFromPieces(*enc, data, data.size(), e, &inOrder), kEncodeOk);
        EXPECT_TRUE(inOrder);
        EXPECT_EQ(e.packedSize, e.stored ? 0 : e.packed.size());
        if (e.stored) e.packed.clear();
        p.entries.push_back(std::move(e));
      }
      results.push_back(std::move(p));
    }
    EXPECT_TRUE(results[1].entries[1].stored) << c.level;
    for (size_t i = 0; i < contents.size(); ++i) {
      EXPECT_EQ(results[0].entries[i].stored, results[1].entries[i].stored) << c.level << " entry " << i;
      EXPECT_TRUE(results[0].entries[i].packed == results[1].entries[i].packed) << c.level << " entry " << i;
    }
    ExpectRoundTrip(contents, results[1]);
  }
}

// A block parsed twice is read again from its start, whose matches reach a whole window
// back, after the parse has gone on far enough for the history to be cut: an entry of a
// megabyte twice over, whose second half matches the first at almost the window's length.
TEST(Rar20Encoder, ABlockParsedAgainStillHasItsWindow) {
  Bytes data(1000000);
  std::mt19937 rng(76);
  for (uint8_t& b : data) b = uint8_t('a' + rng() % 16);  // compresses a little, so it is not given up
  data.insert(data.end(), data.begin(), data.end());
  std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
  InitEncoder(*enc, kMaxPackLevel, true);
  enc->readPiece = 1;
  PackedEntry e;
  ASSERT_EQ(PackFromPieces(*enc, data, data.size(), e), kEncodeOk);
  ASSERT_FALSE(e.stored);
  EXPECT_LT(e.packed.size(), data.size() * 3 / 8);  // the second half is matched
  Packed p;
  p.entries.push_back(std::move(e));
  ExpectRoundTrip({data}, p);
}

// A source that cannot give all its bytes (a file that became shorter) fails the entry.
TEST(Rar20Encoder, ASourceThatFailsFailsTheEntry) {
  const Bytes data = TextBytes(100000, 75);
  const Bytes shorter(data.begin(), data.begin() + 60000);
  std::unique_ptr<Rar20Encoder> enc(new Rar20Encoder);
  InitEncoder(*enc, kDefaultPackLevel, true);
  enc->readPiece = 4096;
  PackedEntry e;
  EXPECT_EQ(PackFromPieces(*enc, shorter, data.size(), e), kEncodeReadFailed);
}

}  // namespace
