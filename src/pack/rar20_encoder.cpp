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

// History is cut inside an entry once this many pieces (and at least kMinCut bytes) are no
// longer needed: the bytes kept are moved down each time, so it should be rare.
constexpr uint64_t kCutPieces = 3;
constexpr uint64_t kMinCut = 64 * 1024;

// Keeps at most one window of history before the next entry, dropping older bytes in
// large steps so the copying stays rare. The history may already have been cut further
// inside the entry before.
void TrimHistory(Rar20Encoder& enc) {
  if (enc.nextPos - enc.trimPoint >= 4 * kWindowSize) enc.trimPoint = enc.nextPos - kWindowSize;
  if (enc.historyStart >= enc.trimPoint) return;
  enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(enc.trimPoint - enc.historyStart));
  enc.historyStart = enc.trimPoint;
}

// Drops the history before `keepFrom` inside an entry, first keeping aside the window
// before the entry, which taking a stored entry back needs.
void CutHistory(Rar20Encoder& enc, uint32_t keepFrom) {
  const uint32_t windowStart = enc.entryStart - enc.windowBeforeEntry;
  if (!enc.windowSaved && keepFrom > windowStart) {
    const auto from = enc.history.begin() + ptrdiff_t(windowStart - enc.historyStart);
    enc.savedWindow.assign(from, from + ptrdiff_t(enc.windowBeforeEntry));
    enc.windowSaved = true;
  }
  enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(keepFrom - enc.historyStart));
  enc.historyStart = keepFrom;
}

// The history as it was before the entry that is being taken back.
void RestoreHistory(Rar20Encoder& enc, size_t historySize) {
  if (enc.windowSaved) {
    enc.history.swap(enc.savedWindow);
    enc.historyStart = enc.entryStart - uint32_t(enc.history.size());
    enc.savedWindow.clear();
    enc.windowSaved = false;
  } else {
    enc.history.resize(historySize);
  }
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
  enc.trimPoint = enc.nextPos;
  std::memset(&enc.matches, 0, sizeof enc.matches);
  enc.haveCodes = false;
  enc.tableHistory = TableHistory();
  SetDefaultPrices(enc);
}

// Moves all positions down so that they stay far from the 32-bit limit in a long solid stream.
void RebasePositions(Rar20Encoder& enc) {
  const uint32_t delta = enc.trimPoint - kFirstPosition;
  RebaseMatchFinder(enc.finder, delta);
  enc.historyStart -= delta;
  enc.trimPoint -= delta;
  enc.nextPos -= delta;
  enc.streamStart = enc.streamStart > delta + kFirstPosition ? enc.streamStart - delta : kFirstPosition;
}

}  // namespace

PackLevel PackLevelParameters(int level) {
  switch (level) {
    case 1: return PackLevel{4, 24, 0, 4096, false};
    case 2: return PackLevel{16, 48, 1, 4096, false};
    case 4: return PackLevel{16, 96, 0, 2048, true, 1, true};
    case 5: return PackLevel{48, 258, 0, 2048, true, 2, true};
    default: return PackLevel{16, 48, 0, 2048, true, 1, false};
  }
}

void InitEncoder(Rar20Encoder& enc, int level, bool solid) {
  enc.level = PackLevelParameters(level);
  enc.solid = solid;
  InitMatchFinder(enc.finder, enc.level.tree ? enc.level.chainDepth : 0, enc.level.niceLength);
  enc.nextPos = 0;
  ResetStream(enc);
  enc.tokens.clear();
  enc.segmentSymbols = 0;
  std::memset(&enc.stats, 0, sizeof enc.stats);
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  std::memset(enc.symbolUse, 0, sizeof enc.symbolUse);
}

namespace rar20pack {

void LoadHistory(Rar20Encoder& enc, uint32_t keepFrom, uint32_t upTo) {
  upTo = std::min(upTo, enc.entryEnd);
  if (enc.loaded >= upTo) return;
  if (keepFrom > enc.historyStart && keepFrom - enc.historyStart >= std::max(kCutPieces * enc.readPiece, kMinCut))
    CutHistory(enc, keepFrom);
  const size_t count = std::min(std::max(enc.readPiece, upTo - enc.loaded), enc.entryEnd - enc.loaded);
  const size_t at = enc.history.size();
  enc.history.resize(at + count);
  if (!enc.readFailed &&
      enc.source.read(enc.source.user, enc.loaded - enc.entryStart, enc.history.data() + at, count) != 0)
    enc.readFailed = true;
  if (enc.readFailed) std::memset(enc.history.data() + at, 0, count);  // parsed on only to the block's end
  enc.loaded += uint32_t(count);
}

void PassPackedBytes(Rar20Encoder& enc, BitWriter& w) {
  if (w.bytes.empty()) return;
  if (!enc.writeFailed && enc.output.write(enc.output.user, w.bytes.data(), w.bytes.size()) != 0)
    enc.writeFailed = true;
  enc.packedBytes += w.bytes.size();
  w.bytes.clear();
}

}  // namespace rar20pack

namespace {

// Everything an entry that ends up stored must leave as it was.
struct StreamState {
  MatchHistory matches;
  EncoderCodes codes;
  bool haveCodes;
  TableHistory tables;
  uint32_t prices[kLzLengthCount];
  uint32_t literalPrice;
  uint64_t symbolUse[kLiteralTableSize];
};

void SaveState(const Rar20Encoder& enc, StreamState& s) {
  s.matches = enc.matches;
  s.codes = enc.codes;
  s.haveCodes = enc.haveCodes;
  s.tables = enc.tableHistory;
  std::memcpy(s.prices, enc.prices, sizeof s.prices);
  s.literalPrice = enc.literalPrice;
  std::memcpy(s.symbolUse, enc.symbolUse, sizeof s.symbolUse);
}

// Takes back an entry that is stored: the decoder's window never sees it. The links it left
// in the finder are harmless (every candidate is checked) but hide the window before it;
// after a large entry the tables are rebuilt over that window.
void TakeBack(Rar20Encoder& enc, const StreamState& s, size_t historySize, size_t size) {
  const uint32_t start = enc.entryStart;
  RestoreHistory(enc, historySize);
  if (enc.solid && size >= kRestoreSize) {
    const uint32_t kept = uint32_t(std::min<size_t>(historySize, kWindowSize));
    const uint32_t first = std::max(start - kept, enc.streamStart);
    RestoreMatchFinder(enc.finder, enc.history.data() + (first - enc.historyStart), first, start);
  }
  enc.tokens.clear();
  enc.segmentSymbols = 0;
  std::memset(&enc.stats, 0, sizeof enc.stats);
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  enc.nextPos = start;
  enc.matches = s.matches;
  enc.codes = s.codes;
  enc.haveCodes = s.haveCodes;
  enc.tableHistory = s.tables;
  std::memcpy(enc.prices, s.prices, sizeof s.prices);
  enc.literalPrice = s.literalPrice;
  DerivePrices(enc);
  std::memcpy(enc.symbolUse, s.symbolUse, sizeof s.symbolUse);
}

// Positions of the entry and where it comes from and goes to.
void BeginEntry(Rar20Encoder& enc, PackSource source, PackSink output, size_t size) {
  enc.source = source;
  enc.output = output;
  enc.entryStart = enc.loaded = enc.nextPos;
  enc.entryEnd = enc.nextPos + uint32_t(size);
  enc.windowBeforeEntry = uint32_t(std::min<size_t>(enc.history.size(), kWindowSize));
  enc.windowSaved = false;
  enc.packedBytes = 0;
  enc.readFailed = enc.writeFailed = false;
  enc.nextPos = enc.entryEnd;
}

struct MemoryEntry {
  const uint8_t* data;
  std::vector<uint8_t>* packed;
};

int ReadMemory(void* user, uint64_t offset, uint8_t* bytes, size_t count) {
  if (count) std::memcpy(bytes, static_cast<MemoryEntry*>(user)->data + offset, count);
  return 0;
}

int AppendPacked(void* user, const uint8_t* bytes, size_t count) {
  std::vector<uint8_t>& packed = *static_cast<MemoryEntry*>(user)->packed;
  packed.insert(packed.end(), bytes, bytes + count);
  return 0;
}

}  // namespace

int PackEntryFrom(Rar20Encoder& enc, PackSource source, size_t size, bool allowStore, PackSink output,
                  PackedEntry& out) {
  out.stored = false;
  out.packedSize = 0;
  // In a solid stream every entry after the first continues it; the first is always
  // compressed so that the decoder holds codes for the entries after it.
  const bool continues = enc.solid && enc.haveCodes;
  out.solid = continues;
  if (!continues) allowStore = allowStore && !enc.solid;
  if (size == 0 && allowStore) {
    out.stored = true;
    return kEncodeOk;
  }
  if (!continues) ResetStream(enc);
  if (enc.nextPos >= kPositionLimit) RebasePositions(enc);

  StreamState saved;
  SaveState(enc, saved);
  TrimHistory(enc);
  const size_t historySize = enc.history.size();
  BeginEntry(enc, source, output, size);

  BitWriter w;
  enc.mayGiveUp = allowStore;
  enc.gaveUp = false;
  enc.entryMatchedBytes = 0;
  if (size > enc.sliceSize)
    ParseEntryInSlices(enc, w, !continues);
  else
    ParseEntry(enc, enc.entryStart, enc.entryEnd, w, !continues);
  FlushBits(w);
  PassPackedBytes(enc, w);
  if (enc.readFailed) return kEncodeReadFailed;
  if (enc.writeFailed) return kEncodeWriteFailed;

  if (enc.gaveUp || (allowStore && enc.packedBytes >= size)) {
    out.stored = true;
    enc.gaveUp = false;
    TakeBack(enc, saved, historySize, size);
    return kEncodeOk;
  }
  out.packedSize = enc.packedBytes;
  return kEncodeOk;
}

void PackEntry(Rar20Encoder& enc, const uint8_t* data, size_t size, bool allowStore, PackedEntry& out) {
  out.packed.clear();
  MemoryEntry entry{data, &out.packed};
  PackEntryFrom(enc, PackSource{ReadMemory, &entry}, size, allowStore, PackSink{AppendPacked, &entry}, out);
  if (out.stored) out.packed.clear();
}
