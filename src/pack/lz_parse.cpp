// The parse of an entry into symbols (see encoder_internals.h): the end of each block, which
// both kinds of parse share, and the greedy and lazy parse of levels 1 and 2. The optimal
// parse of levels 3 to 5 is optimal_parse.cpp's.
#include "pack/lz_parse.h"

#include <algorithm>

namespace rar20pack {
namespace {

// An entry that after its first megabyte still has matches for less than one byte in 20
// and literals near eight bits is data that does not compress (packed media, random
// bytes): it will be stored, so the rest need not be parsed.
bool ShouldGiveUp(const Rar20Encoder& enc, uint32_t parsed) {
  return enc.mayGiveUp && parsed >= (1u << 20) && enc.entryMatchedBytes * 20 < parsed &&
         enc.literalPrice >= 125;  // 7.8 bits
}

constexpr size_t kPassBytes = 1 << 16;  // packed bytes are passed on in pieces of this size

}  // namespace

bool EndBlock(Rar20Encoder& enc, BitWriter& w, bool& firstBlock, uint32_t parsed) {
  FinishBlock(enc, w, firstBlock, false);
  if (w.bytes.size() >= kPassBytes) PassPackedBytes(enc, w);
  if (enc.progress) enc.progress(enc.progressUser, parsed);
  enc.gaveUp = ShouldGiveUp(enc, parsed);
  return enc.gaveUp || enc.readFailed || enc.writeFailed;
}

namespace {

bool AtBlockEnd(Rar20Encoder& enc, BitWriter& w, bool& firstBlock, uint32_t parsed) {
  if (enc.tokens.size() - enc.segmentSymbols < enc.level.blockSymbols) return false;
  return EndBlock(enc, w, firstBlock, parsed);
}

// The lazy parse's choice at pos: the match that saves most against literals, or a literal.
// Asked at nearly every position, so it is to be inlined into the parse.
inline Choice BestChoice(const Parser& p, uint32_t pos) {
  const Rar20Encoder& enc = p.enc;
  Choice best;
  const uint32_t maxLength = std::min<uint32_t>(p.end - pos, kMaxMatchLength);
  if (maxLength < 2) return best;
  const uint8_t* cur = p.At(pos);
  const int32_t lit = int32_t(enc.literalPrice);
  auto offer = [&](ChoiceKind kind, uint32_t length, uint32_t distance, uint32_t k, uint32_t price) {
    int32_t gain = int32_t(length) * lit - int32_t(price);
    if (gain > best.gain) best = Choice{kind, length, distance, k, gain};
  };
  const MatchHistory& h = enc.matches;
  // Repeat of the latest match: exactly its length at its distance.
  if (h.lastLength >= 2 && h.lastLength <= maxLength && p.Reaches(pos, h.lastDistance) &&
      MatchLength(cur - h.lastDistance, cur, h.lastLength) == h.lastLength)
    offer(kRepeatLast, h.lastLength, h.lastDistance, 0, enc.prices[kSymbolRepeatLast]);
  // The four recent distances.
  for (uint32_t k = 1; k <= kRecentDistanceCount; ++k) {
    uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    if (!p.Reaches(pos, d)) continue;
    uint32_t minLength = kRecentMatchMinLength + RecentBonus(d);
    uint32_t limit = std::min(maxLength, minLength + 255);
    uint32_t length = MatchLength(cur - d, cur, limit);
    if (length >= minLength) offer(kRecent, length, d, k, RecentPrice(enc, k, length, d));
  }
  // Matches from the finder.
  MatchCandidate found[kMaxCandidates];
  uint32_t lowestSource = std::max(p.lowest, pos - kMaxDistance);
  uint32_t n = FindMatches(enc.finder, p.base, enc.historyStart, pos, lowestSource, maxLength,
                           enc.level.chainDepth, enc.level.niceLength, found);
  for (uint32_t i = 0; i < n; ++i) {
    uint32_t d = found[i].distance;
    uint32_t length = found[i].length;
    uint32_t minLength = kLongMatchMinLength + LongBonus(d);
    if (length >= minLength) {
      length = std::min(length, minLength + 255);
      offer(kLong, length, d, 0, LongPrice(enc, length, d));
    } else if (d <= 256) {
      offer(kShort, 2, d, 0, ShortPrice(enc, d));
    }
  }
  return best;
}

}  // namespace

void FinishEntry(Parser& p, BitWriter& w, bool& firstBlock) {
  p.InsertUpTo(p.end);
  FinishBlock(p.enc, w, firstBlock, true);
}

void ParseEntry(Rar20Encoder& enc, uint32_t start, uint32_t end, BitWriter& w, bool startOfStream) {
  if (enc.level.optimal) {
    OptimalParse(enc, start, end, w, startOfStream);
    return;
  }
  Parser p{enc, enc.history.data(), end, enc.streamStart, start, start};
  const uint32_t lazy = enc.level.lazySteps;
  Choice ahead[3];
  uint32_t aheadPos[3] = {0, 0, 0};
  bool aheadValid[3] = {false, false, false};
  auto bestAt = [&](uint32_t pos, int slot) -> const Choice& {
    if (!aheadValid[slot] || aheadPos[slot] != pos) {
      p.InsertUpTo(pos);
      if (end - pos > 8) PrefetchPosition(enc.finder, p.At(pos + 1));
      ahead[slot] = BestChoice(p, pos);
      aheadPos[slot] = pos;
      aheadValid[slot] = true;
    }
    return ahead[slot];
  };
  uint32_t pos = start;
  bool firstBlock = startOfStream;
  while (pos < end) {
    // Candidates live in slots by position mod 3 so that a literal keeps the look-ahead.
    Choice c = bestAt(pos, pos % 3);
    bool takeLiteral = c.kind == kLiteral;
    if (!takeLiteral && lazy && c.length < enc.level.niceLength) {
      for (uint32_t step = 1; step <= lazy && pos + step < end; ++step) {
        const Choice& later = bestAt(pos + step, (pos + step) % 3);
        if (later.gain > c.gain) {
          takeLiteral = true;
          break;
        }
      }
    }
    if (takeLiteral) {
      EmitLiteral(enc, *p.At(pos));
      pos += 1;
    } else {
      EmitMatch(enc, c);
      pos += c.length;
      aheadValid[0] = aheadValid[1] = aheadValid[2] = false;  // the distance ring changed
    }
    if (AtBlockEnd(enc, w, firstBlock, pos - start)) return;
  }
  FinishEntry(p, w, firstBlock);
}

}  // namespace rar20pack
