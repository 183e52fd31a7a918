// Prices of symbols, and the symbols that parse choices become (see encoder_internals.h).
#include <algorithm>

#include "pack/encoder_internals.h"

namespace rar20pack {

void DerivePrices(Rar20Encoder& enc) {
  for (uint32_t v = 0; v < 256; ++v) {
    const uint32_t slot = kLengthSlots.slot[v];
    enc.longLengthPrice[v] = enc.prices[kSymbolLongFirst + slot] + kLengthBits[slot] * kPriceUnit;
    enc.recentLengthPrice[v] = enc.prices[kRepeatOffset + slot] + kLengthBits[slot] * kPriceUnit;
  }
  for (uint32_t slot = 0; slot < kDistanceSlotCount; ++slot)
    enc.distanceSlotPrice[slot] = enc.prices[kDistanceOffset + slot] + kDistanceBits[slot] * kPriceUnit;
}

void SetDefaultPrices(Rar20Encoder& enc) {
  for (uint32_t s = 0; s < kLzLengthCount; ++s) enc.prices[s] = 6 * kPriceUnit;
  for (uint32_t s = 0; s < kLiteralCount; ++s) enc.prices[s] = 8 * kPriceUnit;
  enc.prices[kSymbolTableBlock] = 15 * kPriceUnit;
  enc.literalPrice = 8 * kPriceUnit;
  DerivePrices(enc);
}

namespace {

// log2(x) in units of 1/256 bit, for x >= 1, in integers only: the same on every machine,
// so that the parse (and the archive) never depends on the floating-point library.
uint32_t Log2Fixed(uint64_t x) {
  const uint32_t whole = 63 - uint32_t(__builtin_clzll(x));
  uint32_t result = whole << 8;
  uint64_t y = (x << (63 - whole)) >> 32;  // x / 2^whole in [1, 2), 31 fraction bits
  for (uint32_t bit = 1u << 7; bit; bit >>= 1) {
    y = (y * y) >> 31;
    if (y >= (uint64_t(1) << 32)) {
      y >>= 1;
      result |= bit;
    }
  }
  return result;
}

}  // namespace

// Prices for the next block from the counts of the block just coded: -log2 of each
// symbol's share within its code, with every symbol counted half a time more so that
// unused symbols stay affordable; between 1 and 15 bits.
void UpdatePrices(Rar20Encoder& enc, const BlockStats& stats) {
  struct Range { uint32_t first, count; };
  const Range ranges[3] = {{0, kLiteralTableSize}, {kDistanceOffset, kDistanceTableSize},
                           {kRepeatOffset, kRepeatLengthTableSize}};
  for (const Range& r : ranges) {
    uint64_t total = 0;  // doubled counts plus one each: the half counts in integers
    for (uint32_t i = 0; i < r.count; ++i) total += 2 * uint64_t(stats.counts[r.first + i]) + 1;
    const uint32_t logTotal = Log2Fixed(total);
    for (uint32_t i = 0; i < r.count; ++i) {
      uint32_t bits = logTotal - Log2Fixed(2 * uint64_t(stats.counts[r.first + i]) + 1);  // 1/256 bit
      uint32_t price = (bits + 8) / (256 / kPriceUnit);
      enc.prices[r.first + i] = std::min(std::max(price, 1 * kPriceUnit), 15 * kPriceUnit);
    }
  }
  uint64_t literals = 0, cost = 0;
  for (uint32_t s = 0; s < kLiteralCount; ++s) {
    literals += stats.counts[s];
    cost += uint64_t(stats.counts[s]) * enc.prices[s];
  }
  enc.literalPrice = literals ? uint32_t(cost / literals) : 8 * kPriceUnit;
  DerivePrices(enc);
}

void AddToken(Rar20Encoder& enc, const PackToken& t) {
  enc.tokens.push_back(t);
  enc.blockStats.counts[t.symbol]++;
  if (t.secondTable == 1) enc.blockStats.counts[kDistanceOffset + t.second]++;
  if (t.secondTable == 2) enc.blockStats.counts[kRepeatOffset + t.second]++;
}

void EmitLiteral(Rar20Encoder& enc, uint8_t byte) {
  AddToken(enc, PackToken{byte, 0, kNoSecond, 0, 0, 0, 0});
}

// Records a match in the mirrored history exactly as the decoder's CopyMatch does.
void EmitMatch(Rar20Encoder& enc, const Choice& c) {
  PackToken t{0, 0, kNoSecond, 0, 0, 0, 0};
  switch (c.kind) {
    case kLong: {
      uint32_t value = c.length - kLongMatchMinLength - LongBonus(c.distance);
      uint32_t ls = kLengthSlots.slot[value];
      uint32_t dv = c.distance - 1;
      uint32_t ds = DistanceSlot(dv);
      t = PackToken{uint16_t(kSymbolLongFirst + ls), kLengthBits[ls], uint8_t(ds), kDistanceBits[ds], 1,
                    value - kLengthBase[ls], dv - kDistanceBase[ds]};
      break;
    }
    case kRecent: {
      uint32_t value = c.length - kRecentMatchMinLength - RecentBonus(c.distance);
      uint32_t ls = kLengthSlots.slot[value];
      t = PackToken{uint16_t(kSymbolRepeatLast + c.recentIndex), 0, uint8_t(ls), kLengthBits[ls], 2, 0,
                    value - kLengthBase[ls]};
      break;
    }
    case kRepeatLast:
      t.symbol = kSymbolRepeatLast;
      break;
    case kShort: {
      uint32_t slot = ShortSlot(c.distance - 1);
      t = PackToken{uint16_t(kSymbolShortFirst + slot), kShortBits[slot], kNoSecond, 0, 0,
                    c.distance - 1 - kShortBase[slot], 0};
      break;
    }
    case kLiteral:
      return;
  }
  AddToken(enc, t);
  PushMatch(enc.matches, c.length, c.distance);
  enc.entryMatchedBytes += c.length;
}

}  // namespace rar20pack
