// The RAR 2.0 compressor: entries and streams (see rar20_encoder.h; the parts are listed
// in encoder_internals.h).
#include "pack/rar20_encoder.h"

#include <algorithm>
#include <cstring>

#include "pack/encoder_internals.h"

using namespace rar20pack;

namespace {

constexpr uint32_t kFirstPosition = 2 * kWindowSize;  // positions start here, so pos - window never wraps

// History is cut inside an entry once this many pieces (and at least kMinCut bytes) are no
// longer needed: the bytes kept are moved down each time, so it should be rare.
constexpr uint64_t kCutPieces = 3;
constexpr uint64_t kMinCut = 64 * 1024;

// The history as it was before the entry that is being taken back.
void RestoreHistory(Rar20Encoder& enc) {
  if (enc.windowSaved) {
    enc.history.swap(enc.savedWindow);
    enc.historyStart = enc.entryStart - uint32_t(enc.history.size());
    enc.savedWindow.clear();
    enc.windowSaved = false;
  } else {
    enc.history.resize(enc.entryStart - enc.historyStart);
  }
  enc.loaded = enc.entryStart;
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
  enc.loaded = enc.nextPos;
  std::memset(&enc.matches, 0, sizeof enc.matches);
  enc.haveCodes = false;
  enc.tableHistory = TableHistory();
  SetDefaultPrices(enc);
}

// Moves all positions down so that they stay far from the 32-bit limit in a long solid stream,
// between two runs of slices (the history ends at nextPos): the window before nextPos goes
// to the positions just above kFirstPosition.
void RebasePositions(Rar20Encoder& enc) {
  const uint32_t keep = enc.nextPos - kWindowSize;
  if (enc.historyStart < keep) {
    enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(keep - enc.historyStart));
    enc.historyStart = keep;
  }
  const uint32_t delta = keep - kFirstPosition;
  RebaseMatchFinder(enc.finder, delta);
  enc.historyStart -= delta;
  enc.nextPos -= delta;
  enc.loaded -= delta;
  enc.streamStart = enc.streamStart > delta + kFirstPosition ? enc.streamStart - delta : kFirstPosition;
}

}  // namespace

PackLevel PackLevelParameters(int level) {
  switch (level) {
    case 1: return PackLevel{4, 24, 0, 4096, false};
    case 2: return PackLevel{16, 48, 1, 4096, false};
    case 4: return PackLevel{16, 96, 0, 2048, true, 1, true};
    case 5: return PackLevel{48, 258, 0, 2048, true, 2, true, 4, 384 * 1024, 16 * 1024};
    default: return PackLevel{16, 48, 0, 2048, true, 1, false};
  }
}

void InitEncoder(Rar20Encoder& enc, int level, bool solid) {
  enc.plan.reset();
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

void CutHistory(Rar20Encoder& enc, uint32_t keepFrom) {
  if (keepFrom <= enc.historyStart || keepFrom - enc.historyStart < std::max(kCutPieces * enc.readPiece, kMinCut))
    return;
  const uint32_t windowStart = enc.entryStart - enc.windowBeforeEntry;
  if (!enc.windowSaved && keepFrom > windowStart) {
    const auto from = enc.history.begin() + ptrdiff_t(windowStart - enc.historyStart);
    enc.savedWindow.assign(from, from + ptrdiff_t(enc.windowBeforeEntry));
    enc.windowSaved = true;
  }
  enc.history.erase(enc.history.begin(), enc.history.begin() + ptrdiff_t(keepFrom - enc.historyStart));
  enc.historyStart = keepFrom;
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

// Takes back an entry that is stored: the decoder's window never sees it. The slices parsed
// after it are thrown away (EndPlannedEntry), and the next run of slices builds its match
// finder afresh over the window before it.
void TakeBack(Rar20Encoder& enc, const StreamState& s) {
  RestoreHistory(enc);
  enc.tokens.clear();
  enc.segmentSymbols = 0;
  std::memset(&enc.stats, 0, sizeof enc.stats);
  std::memset(&enc.blockStats, 0, sizeof enc.blockStats);
  enc.nextPos = enc.entryStart;
  enc.matches = s.matches;
  enc.codes = s.codes;
  enc.haveCodes = s.haveCodes;
  enc.tableHistory = s.tables;
  std::memcpy(enc.prices, s.prices, sizeof s.prices);
  enc.literalPrice = s.literalPrice;
  DerivePrices(enc);
  std::memcpy(enc.symbolUse, s.symbolUse, sizeof s.symbolUse);
}

// Positions of the entry (it begins where the stream has got to) and where its bytes go.
// The history already holds the window before it: the slices keep it.
void BeginEntry(Rar20Encoder& enc, PackSink output, size_t size) {
  enc.output = output;
  enc.entryStart = enc.nextPos;
  enc.entryEnd = enc.nextPos + uint32_t(size);
  enc.windowBeforeEntry = std::min(enc.entryStart - enc.historyStart, kWindowSize);
  enc.windowSaved = false;
  enc.savedWindow.clear();
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

int PackNextEntry(Rar20Encoder& enc, PackSink output, PackedEntry& out) {
  const StreamEntry& entry = NextPlannedEntry(enc);
  out.stored = false;
  out.packedSize = 0;
  // In a solid stream every entry after the first continues it; the first is always
  // compressed so that the decoder holds codes for the entries after it.
  const bool continues = enc.solid && enc.haveCodes;
  out.solid = continues;
  const bool allowStore = entry.allowStore && (continues || !enc.solid);
  const size_t size = entry.size;
  if (size == 0 && allowStore) {  // leaves no trace in the stream
    out.stored = true;
    EndPlannedEntry(enc, false);
    return kEncodeOk;
  }
  if (!continues) {
    ResetStream(enc);
    StartSlices(enc);
  } else if (!SlicesRunning(enc)) {
    if (enc.nextPos >= kPositionLimit) RebasePositions(enc);
    StartSlices(enc);
  }

  StreamState saved;
  SaveState(enc, saved);
  BeginEntry(enc, output, size);
  BitWriter w;
  enc.mayGiveUp = allowStore;
  enc.gaveUp = false;
  enc.entryMatchedBytes = 0;
  CodeEntryFromSlices(enc, w, !continues);
  FlushBits(w);
  PassPackedBytes(enc, w);
  if (enc.readFailed || enc.writeFailed) {
    EndPlannedEntry(enc, true);
    return enc.readFailed ? kEncodeReadFailed : kEncodeWriteFailed;
  }
  if (enc.gaveUp || (allowStore && enc.packedBytes >= size)) {
    out.stored = true;
    enc.gaveUp = false;
    TakeBack(enc, saved);
    EndPlannedEntry(enc, true);
    return kEncodeOk;
  }
  out.packedSize = enc.packedBytes;
  EndPlannedEntry(enc, false);
  return kEncodeOk;
}

int PackEntryFrom(Rar20Encoder& enc, PackSource source, size_t size, bool allowStore, PackSink output,
                  PackedEntry& out) {
  const StreamEntry entry{source, size, allowStore};
  PlanEntries(enc, &entry, 1);
  return PackNextEntry(enc, output, out);
}

void PackEntry(Rar20Encoder& enc, const uint8_t* data, size_t size, bool allowStore, PackedEntry& out) {
  out.packed.clear();
  MemoryEntry entry{data, &out.packed};
  PackEntryFrom(enc, PackSource{ReadMemory, &entry}, size, allowStore, PackSink{AppendPacked, &entry}, out);
  if (out.stored) out.packed.clear();
}
