// The RAR 2.0 compressor: entries and streams (see rar20_encoder.h; the parts are listed
// in encoder_internals.h).
#include "pack/rar20_encoder.h"

#include <algorithm>
#include <cstring>

#include "pack/encoder_internals.h"

using namespace rar20pack;

namespace {

constexpr uint32_t kFirstPosition = 2 * kWindowSize;  // positions start here, so pos - window never wraps
constexpr size_t kRestoreSize = 64 * 1024;  // stored entries at least this large: the finder is rebuilt
constexpr uint32_t kPositionLimit = 0x70000000u;       // positions are moved down beyond this (an entry may add 2 GiB)

// Keeps at most one window of history before the next entry, dropping older bytes in
// large steps so the copying stays rare.
void TrimHistory(Rar20Encoder& enc) {
  const size_t keep = kWindowSize;
  if (enc.history.size() < 4 * size_t(kWindowSize)) return;
  size_t drop = enc.history.size() - keep;
  enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(drop));
  enc.historyStart += uint32_t(drop);
}

// Starts a fresh stream: nothing before `nextPos` can be referred to.
void ResetStream(Rar20Encoder& enc) {
  if (enc.nextPos >= kPositionLimit || enc.nextPos < kFirstPosition) {
    ClearMatchFinder(enc.finder);
    enc.nextPos = kFirstPosition;
  } else {
    enc.nextPos += 2 * kWindowSize;  // every old position is now out of reach
  }
  enc.history.clear();
  enc.historyStart = enc.nextPos;
  enc.streamStart = enc.nextPos;
  std::memset(&enc.matches, 0, sizeof enc.matches);
  enc.haveCodes = false;
  enc.tableHistory = TableHistory();
  SetDefaultPrices(enc);
}

// Moves all positions down so that they stay far from the 32-bit limit in a long solid stream.
void RebasePositions(Rar20Encoder& enc) {
  const uint32_t delta = enc.historyStart - kFirstPosition;
  RebaseMatchFinder(enc.finder, delta);
  enc.historyStart -= delta;
  enc.nextPos -= delta;
  enc.streamStart = enc.streamStart > delta + kFirstPosition ? enc.streamStart - delta : kFirstPosition;
}

}  // namespace

PackLevel PackLevelParameters(int level) {
  switch (level) {
    case 1: return PackLevel{4, 24, 0, 4096, false};
    case 2: return PackLevel{16, 48, 1, 4096, false};
    case 4: return PackLevel{24, 96, 0, 2048, true};
    case 5: return PackLevel{96, 192, 0, 2048, true};
    default: return PackLevel{8, 48, 0, 4096, true};
  }
}

void InitEncoder(Rar20Encoder& enc, int level, bool solid) {
  enc.level = PackLevelParameters(level);
  enc.solid = solid;
  InitMatchFinder(enc.finder);
  enc.nextPos = 0;
  ResetStream(enc);
  enc.tokens.clear();
  enc.segmentSymbols = 0;
  std::memset(&enc.stats, 0, sizeof enc.stats);
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  std::memset(enc.symbolUse, 0, sizeof enc.symbolUse);
}

void PackEntry(Rar20Encoder& enc, const uint8_t* data, size_t size, bool allowStore, PackedEntry& out) {
  out.packed.clear();
  out.stored = false;
  // In a solid stream every entry after the first continues it; the first is always
  // compressed so that the decoder holds codes for the entries after it.
  const bool continues = enc.solid && enc.haveCodes;
  out.solid = continues;
  if (!continues) allowStore = allowStore && !enc.solid;
  if (size == 0 && allowStore) {
    out.stored = true;
    return;
  }
  if (!continues) ResetStream(enc);
  if (enc.nextPos >= kPositionLimit) RebasePositions(enc);

  // Everything an entry that ends up stored must leave as it was.
  const MatchHistory savedMatches = enc.matches;
  const EncoderCodes savedCodes = enc.codes;
  const bool savedHaveCodes = enc.haveCodes;
  const TableHistory savedTables = enc.tableHistory;
  uint32_t savedPrices[kLzLengthCount];
  std::memcpy(savedPrices, enc.prices, sizeof savedPrices);
  const uint32_t savedLiteralPrice = enc.literalPrice;
  uint64_t savedUse[kLiteralTableSize];
  std::memcpy(savedUse, enc.symbolUse, sizeof savedUse);

  TrimHistory(enc);
  const size_t historySize = enc.history.size();
  const uint32_t start = enc.nextPos;
  enc.history.insert(enc.history.end(), data, data + size);
  enc.nextPos += uint32_t(size);

  BitWriter w;
  enc.mayGiveUp = allowStore;
  enc.gaveUp = false;
  enc.entryMatchedBytes = 0;
  ParseEntry(enc, start, enc.nextPos, w, !continues);
  FlushBits(w);

  if (enc.gaveUp || (allowStore && w.bytes.size() >= size)) {
    out.stored = true;
    enc.gaveUp = false;
    // The decoder's window never sees a stored entry: its positions are taken back. The
    // links it left in the finder are harmless (every candidate is checked) but hide the
    // window before it; after a large entry the tables are rebuilt over that window.
    if (enc.solid && size >= kRestoreSize) {
      const uint32_t kept = uint32_t(std::min<size_t>(historySize, kWindowSize));
      const uint32_t first = std::max(start - kept, enc.streamStart);
      RestoreMatchFinder(enc.finder, enc.history.data() + (first - enc.historyStart), first, start);
    }
    enc.tokens.clear();
    enc.segmentSymbols = 0;
    std::memset(&enc.stats, 0, sizeof enc.stats);
    std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
    enc.history.resize(historySize);
    enc.nextPos = start;
    enc.matches = savedMatches;
    enc.codes = savedCodes;
    enc.haveCodes = savedHaveCodes;
    enc.tableHistory = savedTables;
    std::memcpy(enc.prices, savedPrices, sizeof savedPrices);
    enc.literalPrice = savedLiteralPrice;
    DerivePrices(enc);
    std::memcpy(enc.symbolUse, savedUse, sizeof savedUse);
    return;
  }
  out.packed = std::move(w.bytes);
}
