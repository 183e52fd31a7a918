// Internals of the compressor shared by its parts: the symbol alphabet seen from the
// encoding side (slots, bonuses, prices), the parse choices, the pending symbols and the
// blocks they are coded in. Not for use outside pack/.
//
//   lz_symbols.cpp   prices of symbols and the symbols a parse choice becomes
//   block_coder.cpp  blocks, segments, code tables: from pending symbols to bits
//   lz_parse.cpp     the parse of an entry: its blocks, and the lazy parse (lz_parse.h)
//   optimal_parse.cpp  the optimal parse: the stretches of a block and the passes over it
//   optimal_lattice.cpp  the cheapest coding of a stretch (optimal_lattice.h)
//   slice_parse.cpp  the stream parsed in slices, on several threads
//   rar20_encoder.cpp  entries and streams
#pragma once
#include <cstdint>
#include <vector>

#include "pack/rar20_encoder.h"

// Where one entry's part of a slice ends in the slice's symbols.
struct SlicePiece {
  size_t blockEnd;        // index in `blockEnds` after the piece's last block
  MatchHistory matches;   // the parser's match history after the piece
  uint64_t matchedBytes;  // bytes of the piece covered by matches
};

// The symbols of one slice, block by block, as its own parser made them.
struct ParsedSlice {
  std::vector<PackToken> tokens;
  std::vector<size_t> blockEnds;  // index in `tokens` after each block
  std::vector<SlicePiece> pieces; // one per entry the slice holds a part of, in order
};

namespace rar20pack {

// ---- Constants ----------------------------------------------------------------------------

constexpr uint32_t kMaxDistance = kWindowSize - 1;
constexpr uint32_t kDistanceOffset = kLiteralTableSize;                      // distance slots in the lengths array
constexpr uint32_t kRepeatOffset = kLiteralTableSize + kDistanceTableSize;  // repeat-length slots
constexpr uint32_t kPriceUnit = 16;                                          // prices are 1/16 bit
constexpr uint32_t kNoSecond = 0xFF;
constexpr uint32_t kPositionLimit = 0x70000000u;  // positions are moved down beyond this (an entry may add 2 GiB)

// ---- Slot lookup ----------------------------------------------------------------------------

// The slot of each value 0..255 among `count` slots whose smallest values are `base`.
struct LengthSlotTable {
  uint8_t slot[256];
};
template <typename Base>
constexpr LengthSlotTable MakeSlots(const Base& base, uint32_t count) {
  LengthSlotTable t{};
  uint32_t s = 0;
  for (uint32_t v = 0; v < 256; ++v) {
    while (s + 1 < count && base[s + 1] <= v) ++s;
    t.slot[v] = uint8_t(s);
  }
  return t;
}
// Length slot of each length value 0..255 (after the minimum length and bonuses are taken off).
inline constexpr LengthSlotTable kLengthSlots = MakeSlots(kLengthBase, kLengthSlotCount);

// Distance slot of a distance value (distance - 1), 0 .. 0xFFFFF.
inline uint32_t DistanceSlot(uint32_t value) {
  if (value < 4) return value;
  if (value >= 0x20000) return 34 + ((value - 0x20000) >> 16);
  uint32_t log = 31 - uint32_t(__builtin_clz(value));
  return 2 * log + ((value >> (log - 1)) & 1);
}

// Short-distance slot of each distance value 0..255 (distance - 1): looked up at nearly every
// position the optimal parse visits.
inline constexpr LengthSlotTable kShortSlots = MakeSlots(kShortBase, kShortSlotCount);

// Short-distance slot of distance - 1 (0..255).
inline uint32_t ShortSlot(uint32_t value) { return kShortSlots.slot[value]; }

// Length added by the decoder for the distance of a long match / a recent-distance match.
inline uint32_t LongBonus(uint32_t distance) {
  return (distance >= kBonusDistanceFar) + (distance >= kBonusDistanceMid);
}
inline uint32_t RecentBonus(uint32_t distance) {
  return LongBonus(distance) + (distance >= kBonusDistanceNear);
}

// ---- Parse choices --------------------------------------------------------------------------

enum ChoiceKind : uint8_t { kLiteral, kLong, kRecent, kRepeatLast, kShort };

struct Choice {
  ChoiceKind kind = kLiteral;
  uint32_t length = 1;
  uint32_t distance = 0;
  uint32_t recentIndex = 0;  // k = 1..4 for recent-distance matches
  int32_t gain = 0;          // bits saved against literals, 1/16 bit
};

// ---- Prices (lz_symbols.cpp) ----------------------------------------------------------------

// Recomputes the derived price tables from `prices`.
void DerivePrices(Rar20Encoder& enc);
// Prices before any statistics exist.
void SetDefaultPrices(Rar20Encoder& enc);
// Prices for the next block from the counts of the block just parsed.
void UpdatePrices(Rar20Encoder& enc, const BlockStats& stats);

inline uint32_t LongPrice(const Rar20Encoder& enc, uint32_t length, uint32_t distance) {
  return enc.longLengthPrice[length - kLongMatchMinLength - LongBonus(distance)] +
         enc.distanceSlotPrice[DistanceSlot(distance - 1)];
}

inline uint32_t RecentPrice(const Rar20Encoder& enc, uint32_t k, uint32_t length, uint32_t distance) {
  return enc.prices[kSymbolRepeatLast + k] + enc.recentLengthPrice[length - kRecentMatchMinLength - RecentBonus(distance)];
}

inline uint32_t ShortPrice(const Rar20Encoder& enc, uint32_t distance) {
  uint32_t slot = ShortSlot(distance - 1);
  return enc.prices[kSymbolShortFirst + slot] + kShortBits[slot] * kPriceUnit;
}

// ---- Symbols (lz_symbols.cpp) ---------------------------------------------------------------

// Adds a symbol to the current block and counts it.
void AddToken(Rar20Encoder& enc, const PackToken& t);
void EmitLiteral(Rar20Encoder& enc, uint8_t byte);
// Records a match in the mirrored history exactly as the decoder's CopyMatch does. Inline:
// the optimal parse calls it at every position it follows a path to.
inline void PushMatch(MatchHistory& h, uint32_t length, uint32_t distance) {
  h.recentDistances[h.recentCount % kRecentDistanceCount] = distance;
  h.recentCount++;
  h.lastDistance = distance;
  h.lastLength = length;
}
// Adds the symbol of a match choice and records the match.
void EmitMatch(Rar20Encoder& enc, const Choice& c);

// ---- Blocks (block_coder.cpp) ---------------------------------------------------------------

// Ends the block being parsed; see block_coder.cpp. `startOfStream` is cleared once the
// stream's opening table block is written; `entryEnd` writes every pending symbol.
void FinishBlock(Rar20Encoder& enc, BitWriter& w, bool& startOfStream, bool entryEnd);

// Bits of the symbols counted in `stats` under codes fitted to them (extra bits and the
// table block not included).
uint64_t FittedSymbolBits(const BlockStats& stats);

// ---- History and output of an entry (rar20_encoder.cpp) ----------------------------------

// Drops the history before `keepFrom` once enough of it is no longer needed (the bytes kept
// are moved down each time, so it should be rare), first keeping aside the window before
// the entry being coded, which taking it back needs (history.data() moves).
void CutHistory(Rar20Encoder& enc, uint32_t keepFrom);
// Passes the finished bytes of w to the entry's output and clears them.
void PassPackedBytes(Rar20Encoder& enc, BitWriter& w);

// ---- Parsing (lz_parse.cpp) -----------------------------------------------------------------

// Parses the entry occupying positions start..end-1, read into the history as the parse
// goes, and codes it into w, passing its bytes on block by block. Sets enc.gaveUp and stops
// early when enc.mayGiveUp and the entry looks incompressible; stops early after a read or
// write failure.
void ParseEntry(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream);

// ---- Slices (slice_parse.cpp) ---------------------------------------------------------------

// The next planned entry.
const StreamEntry& NextPlannedEntry(const Rar20Encoder& enc);
// Whether the slices run on into the next planned entry; when not, StartSlices must begin
// them there.
bool SlicesRunning(const Rar20Encoder& enc);
// Cuts the stream into slices from the next planned entry on, at position enc.nextPos: up to
// the first entry that begins at or beyond kPositionLimit (a non-solid stream: that entry
// alone). The first slice continues the encoder's state.
void StartSlices(Rar20Encoder& enc);
// Codes the next planned entry (positions enc.entryStart .. enc.entryEnd-1) from its slices'
// blocks into w, passing its bytes on block by block. Sets enc.gaveUp and stops early when
// enc.mayGiveUp and the entry looks incompressible; stops early after a read or write
// failure (enc.readFailed tells whether the entry could be read).
void CodeEntryFromSlices(Rar20Encoder& enc, BitWriter& w, bool startOfStream);
// The next planned entry is done. `takenBack`: it was stored or failed, its state taken back, so
// everything parsed after it is thrown away and the slices start again at the next entry.
void EndPlannedEntry(Rar20Encoder& enc, bool takenBack);

}  // namespace rar20pack
