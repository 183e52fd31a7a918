// Constants of the RAR 2.0 compressed stream, shared by the decoder (unpack/) and the
// compressor (pack/), so that both sides agree on every symbol number, table size and slot.
//
// The stream is a sequence of symbols coded with canonical prefix codes. A table block
// carries the code lengths of four codes (literal/length, distance, repeat length) as
// deltas coded with a fifth, small code (the pre-code). The literal/length alphabet mixes
// literal bytes, matches of several kinds and the "table block follows" escape; matches
// are described by a slot (coded) plus a number of extra bits (read raw, MSB first) added
// to the slot's base.
// The tables are inline: every file that reads them shares one copy, and the setup program
// counts its bytes.
#pragma once
#include <cstdint>

// ---- Window -------------------------------------------------------------------------------
constexpr uint32_t kWindowSize = 0x100000;     // 1 MB sliding window
constexpr uint32_t kWindowMask = kWindowSize - 1;  // every window position is taken modulo 2^20

// ---- Symbols of the literal/length code (literalTable) ------------------------------------
constexpr uint32_t kLiteralCount = 256;         // symbols 0..255: the literal byte itself
constexpr uint32_t kSymbolRepeatLast = 256;     // repeat the latest match (lastLength, lastDistance)
constexpr uint32_t kSymbolRecentFirst = 257;    // 257..260: match at recentDistances, k = symbol - 256 (1 = newest)
constexpr uint32_t kSymbolRecentLast = 260;
constexpr uint32_t kSymbolShortFirst = 261;     // 261..268: length-2 match, short-distance slot = symbol - 261
constexpr uint32_t kSymbolShortLast = 268;
constexpr uint32_t kSymbolTableBlock = 269;     // a table block follows in the stream
constexpr uint32_t kSymbolLongFirst = 270;      // 270..297: long match, length slot = symbol - 270
constexpr uint32_t kSymbolLongLast = 297;

// ---- Code sizes (symbols per table) -------------------------------------------------------
constexpr uint32_t kPreCodeSize = 19;           // pre-code: code-length deltas 0..15 and runs 16, 17, 18
constexpr uint32_t kLiteralTableSize = 298;     // literal/length code, symbols 0..297
constexpr uint32_t kDistanceTableSize = 48;     // distance slots of long matches
constexpr uint32_t kRepeatLengthTableSize = 28; // length slots of recent-distance matches
constexpr uint32_t kChannelTableSize = 257;     // one multimedia channel's code
constexpr uint32_t kMaxChannels = 4;            // multimedia channels 1..4
// Code lengths an LZ table block carries: literal, then distance, then repeat-length code.
constexpr uint32_t kLzLengthCount = kLiteralTableSize + kDistanceTableSize + kRepeatLengthTableSize;  // 374
// Code lengths kept between table blocks (the largest block: four channel tables).
constexpr uint32_t kAllLengthsSize = kChannelTableSize * kMaxChannels;  // 1028
constexpr uint32_t kMaxCodeLength = 15;         // code lengths are 4-bit values; 0 = symbol absent

// ---- Table block layout -------------------------------------------------------------------
constexpr uint32_t kTableFlagMultimedia = 0x8000;  // first bit of the block: multimedia data follows
constexpr uint32_t kTableFlagKeep = 0x4000;        // second bit: lengths are deltas to the previous block's
constexpr uint32_t kChannelBits = 2;               // multimedia only: channel count - 1
constexpr uint32_t kPreCodeLengthBits = 4;         // each of the 19 pre-code lengths
// Pre-code symbols 0..15 add themselves (mod 16) to the previous length at the same position.
constexpr uint32_t kPreCodeRepeatPrevious = 16;    // repeat the length at position i-1
constexpr uint32_t kPreCodeRepeatBits = 2;         //   extra bits; run = 3 + extra (3..6)
constexpr uint32_t kPreCodeRepeatBase = 3;
constexpr uint32_t kPreCodeZerosShort = 17;        // write length 0
constexpr uint32_t kPreCodeZerosShortBits = 3;     //   extra bits; run = 3 + extra (3..10)
constexpr uint32_t kPreCodeZerosShortBase = 3;
constexpr uint32_t kPreCodeZerosLong = 18;         // write length 0
constexpr uint32_t kPreCodeZerosLongBits = 7;      //   extra bits; run = 11 + extra (11..138)
constexpr uint32_t kPreCodeZerosLongBase = 11;

// ---- Match lengths ------------------------------------------------------------------------
constexpr uint32_t kLongMatchMinLength = 3;     // long match: lengthBase[slot] + 3 + extra, before bonuses
constexpr uint32_t kRecentMatchMinLength = 2;   // recent-distance match: lengthBase[slot] + 2 + extra, before bonuses
constexpr uint32_t kShortMatchLength = 2;       // short match: always 2, no bonus
constexpr uint32_t kMaxMatchLength = 260;       // 224 + 31 + 3 + 2 bonuses: the longest copy of one symbol
// Distance bonuses: far matches are one or two bytes longer than their slot says.
constexpr uint32_t kBonusDistanceFar = 0x40000;  // distance >= 256 KiB: +1 (long and recent matches)
constexpr uint32_t kBonusDistanceMid = 0x2000;   // distance >= 8 KiB: +1 (long and recent matches)
constexpr uint32_t kBonusDistanceNear = 0x101;   // distance >= 257: +1 (recent-distance matches only)
constexpr uint32_t kRecentDistanceCount = 4;     // ring of the four latest match distances

// ---- Length slots (28): base + extra bits; base[i+1] = base[i] + 2^bits[i] ---------------
constexpr uint32_t kLengthSlotCount = 28;
inline constexpr uint8_t kLengthBase[kLengthSlotCount] = {
    0,   1,   2,   3,   4,   5,   6,   7,    // slots 0-7: 0 extra bits
    8,   10,  12,  14,                       // slots 8-11: 1 extra bit
    16,  20,  24,  28,                       // slots 12-15: 2 extra bits
    32,  40,  48,  56,                       // slots 16-19: 3 extra bits
    64,  80,  96,  112,                      // slots 20-23: 4 extra bits
    128, 160, 192, 224,                      // slots 24-27: 5 extra bits
};
inline constexpr uint8_t kLengthBits[kLengthSlotCount] = {
    0, 0, 0, 0, 0, 0, 0, 0,                  // slots 0-7
    1, 1, 1, 1,                              // slots 8-11
    2, 2, 2, 2,                              // slots 12-15
    3, 3, 3, 3,                              // slots 16-19
    4, 4, 4, 4,                              // slots 20-23
    5, 5, 5, 5,                              // slots 24-27
};

// ---- Distance slots (48) of long matches; the distance is base + 1 + extra ----------------
constexpr uint32_t kDistanceSlotCount = 48;
inline constexpr uint32_t kDistanceBase[kDistanceSlotCount] = {
    0x0, 0x1, 0x2, 0x3,                      // slots 0-3: 0 extra bits
    0x4, 0x6,                                // slots 4-5: 1
    0x8, 0xC,                                // slots 6-7: 2
    0x10, 0x18,                              // slots 8-9: 3
    0x20, 0x30,                              // slots 10-11: 4
    0x40, 0x60,                              // slots 12-13: 5
    0x80, 0xC0,                              // slots 14-15: 6
    0x100, 0x180,                            // slots 16-17: 7
    0x200, 0x300,                            // slots 18-19: 8
    0x400, 0x600,                            // slots 20-21: 9
    0x800, 0xC00,                            // slots 22-23: 10
    0x1000, 0x1800,                          // slots 24-25: 11
    0x2000, 0x3000,                          // slots 26-27: 12
    0x4000, 0x6000,                          // slots 28-29: 13
    0x8000, 0xC000,                          // slots 30-31: 14
    0x10000, 0x18000,                        // slots 32-33: 15
    0x20000, 0x30000, 0x40000, 0x50000,      // slots 34-37: 16
    0x60000, 0x70000, 0x80000, 0x90000,      // slots 38-41: 16
    0xA0000, 0xB0000, 0xC0000, 0xD0000,      // slots 42-45: 16
    0xE0000, 0xF0000,                        // slots 46-47: 16
};
inline constexpr uint8_t kDistanceBits[kDistanceSlotCount] = {
    0, 0, 0, 0,                              // slots 0-3
    1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6,      // slots 4-15: n for slots 2n+2, 2n+3
    7, 7, 8, 8, 9, 9, 10, 10, 11, 11,        // slots 16-25
    12, 12, 13, 13, 14, 14, 15, 15,          // slots 26-33
    16, 16, 16, 16, 16, 16, 16,              // slots 34-40
    16, 16, 16, 16, 16, 16, 16,              // slots 41-47
};

// ---- Short-distance slots (8) of length-2 matches; the distance is base + 1 + extra -------
constexpr uint32_t kShortSlotCount = 8;
inline constexpr uint8_t kShortBase[kShortSlotCount] = {
    0, 4, 8, 16, 32, 64, 128, 192,           // distances 1..256
};
inline constexpr uint8_t kShortBits[kShortSlotCount] = {
    2, 2, 3, 4, 5, 6, 6, 6,
};

// The bases follow from the extra bits; a typo in a row above fails the build.
namespace rar20_detail {
template <typename B, typename E, uint32_t N>
constexpr bool BasesFollowBits(const B (&base)[N], const E (&bits)[N]) {
  for (uint32_t i = 0; i + 1 < N; ++i)
    if (uint32_t(base[i + 1]) != uint32_t(base[i]) + (1u << bits[i])) return false;
  return base[0] == 0;
}
}  // namespace rar20_detail
static_assert(rar20_detail::BasesFollowBits(kLengthBase, kLengthBits), "length slots");
static_assert(rar20_detail::BasesFollowBits(kDistanceBase, kDistanceBits), "distance slots");
static_assert(rar20_detail::BasesFollowBits(kShortBase, kShortBits), "short slots");
static_assert(kDistanceBase[47] + (1u << kDistanceBits[47]) == kWindowSize, "longest distance is the window");
static_assert(kLengthBase[27] + 31 + kLongMatchMinLength + 2 == kMaxMatchLength, "longest match");
static_assert(kSymbolLongFirst + kLengthSlotCount == kLiteralTableSize, "literal alphabet");
