// Long entries parsed in slices, on several threads (see rar20_encoder.h).
//
// An entry longer than enc.sliceSize is cut into slices of that size at fixed offsets. Each
// slice gets a parser of its own (a Rar20Encoder in slice mode) holding a copy of the bytes
// it may read: the window in front of it and the slice itself. The first slice continues
// the stream's state (the match finder, the prices and the match history in force); every
// later one starts a fresh match finder over the window in front of it and warms its prices
// and match history up by parsing the bytes just before it, whose symbols it throws away.
// A slice's matches end at the slice's end.
//
// The slices' blocks are then coded in order, as one entry, by the encoder itself. A
// slice's parser assumed a match history of its own, so the first symbols that refer to
// the history (a recent distance, the repeat of the latest match) may mean another match to
// the decoder: until the slice has made four matches, each match is taken back to its length
// and distance and coded afresh against the history the decoder really holds. After four
// matches both histories hold the same four distances, and the slice's symbols are right as
// they are.
//
// Nothing here depends on the number of threads: the slices, their starting states and the
// order of coding are the same with one thread (everything on the caller's) as with many.
#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>
// The host tool parses on threads; a Windows build of the library (whose C++ runtime may
// have no std::thread) parses the slices one after another, with the same result.
#if !defined(_WIN32)
#include <thread>
#define KORV_PACK_THREADS 1
#endif

#include "pack/lz_parse.h"

namespace rar20pack {
namespace {

uint32_t WarmUpBytes(const Rar20Encoder& enc) { return std::min(enc.sliceWarmUp, enc.sliceSize); }

struct SliceJob {
  uint32_t start = 0, end = 0;  // the slice's positions
  bool first = false;           // continues the stream's own state
  std::unique_ptr<Rar20Encoder> parser;
  ParsedSlice parsed;
  MatchHistory startMatches{};  // the parser's history when the slice began, and when it ended
  MatchHistory endMatches{};
  uint64_t matchedBytes = 0;
#if KORV_PACK_THREADS
  std::thread thread;
#endif
};

// Gives the slice's parser its bytes and, for the first slice, the stream's state. Runs on
// the caller's thread, which owns `enc`.
void PrepareSlice(Rar20Encoder& enc, SliceJob& job) {
  job.parser.reset(new Rar20Encoder());
  Rar20Encoder& p = *job.parser;
  p.level = enc.level;
  p.solid = enc.solid;
  p.sliceSize = enc.sliceSize;
  p.sliceWarmUp = enc.sliceWarmUp;
  p.streamStart = enc.streamStart;
  const uint32_t lead = (job.first ? 0 : WarmUpBytes(enc)) + kWindowSize;
  const uint32_t from = std::max({enc.historyStart, enc.streamStart, job.start > lead ? job.start - lead : 0});
  const uint8_t* bytes = enc.history.data() + (from - enc.historyStart);
  p.history.assign(bytes, bytes + (job.end - from));
  p.historyStart = from;
  p.entryEnd = p.loaded = job.end;  // everything it reads is there: it never reads the source
  p.mayGiveUp = false;
  if (job.first) {
    std::swap(p.finder, enc.finder);
    p.matches = enc.matches;
    std::memcpy(p.prices, enc.prices, sizeof p.prices);
    p.literalPrice = enc.literalPrice;
    DerivePrices(p);
  } else {
    std::memset(&p.matches, 0, sizeof p.matches);
    SetDefaultPrices(p);
  }
}

// Parses the slice. Runs on a worker thread, touching nothing but the job.
void ParseSlice(SliceJob* jobPointer) {
  SliceJob& job = *jobPointer;
  Rar20Encoder& p = *job.parser;
  p.slice = &job.parsed;
  BitWriter unused;
  if (!job.first) {
    const uint32_t warmStart = job.start - WarmUpBytes(p);
    InitMatchFinder(p.finder, p.level.tree ? p.level.chainDepth : 0, p.level.niceLength);
    for (uint32_t pos = p.historyStart; pos < warmStart; ++pos)
      InsertPosition(p.finder, p.history.data() + (pos - p.historyStart), pos, job.end - pos, p.streamStart);
    if (warmStart < job.start) ParseEntry(p, warmStart, job.start, unused, false);
    job.parsed = ParsedSlice();
  }
  job.startMatches = p.matches;
  p.entryMatchedBytes = 0;
  ParseEntry(p, job.start, job.end, unused, false);
  job.endMatches = p.matches;
  job.matchedBytes = p.entryMatchedBytes;
}

// The match a symbol stands for under the match history `h`; kind kLiteral for a literal.
Choice ChoiceOfToken(const PackToken& t, const MatchHistory& h) {
  Choice c;
  if (t.symbol < kLiteralCount) return c;
  if (t.symbol == kSymbolRepeatLast) return Choice{kRepeatLast, h.lastLength, h.lastDistance, 0, 0};
  if (t.symbol <= kSymbolRecentLast) {
    const uint32_t k = t.symbol - kSymbolRepeatLast;
    const uint32_t d = h.recentDistances[(h.recentCount - k) % kRecentDistanceCount];
    const uint32_t value = kLengthBase[t.second] + t.secondExtra;
    return Choice{kRecent, value + kRecentMatchMinLength + RecentBonus(d), d, k, 0};
  }
  if (t.symbol <= kSymbolShortLast) {
    const uint32_t d = kShortBase[t.symbol - kSymbolShortFirst] + t.extra + 1;
    return Choice{kShort, kShortMatchLength, d, 0, 0};
  }
  const uint32_t value = kLengthBase[t.symbol - kSymbolLongFirst] + t.extra;
  const uint32_t d = kDistanceBase[t.second] + t.secondExtra + 1;
  return Choice{kLong, value + kLongMatchMinLength + LongBonus(d), d, 0, 0};
}

// The same match coded against the history `h` the decoder holds: through the history when
// it still names the match, else as a short or a long match, one of which always fits a
// match that was codable at all.
Choice Recode(const Choice& c, const MatchHistory& h) {
  if (c.kind == kLong || c.kind == kShort) return c;
  if (c.kind == kRepeatLast && h.lastLength == c.length && h.lastDistance == c.distance) return c;
  const uint32_t minRecent = kRecentMatchMinLength + RecentBonus(c.distance);
  if (c.length >= minRecent && c.length - minRecent <= 255) {
    for (uint32_t k = 1; k <= kRecentDistanceCount; ++k)
      if (h.recentDistances[(h.recentCount - k) % kRecentDistanceCount] == c.distance)
        return Choice{kRecent, c.length, c.distance, k, 0};
  }
  if (c.length == kShortMatchLength) return Choice{kShort, c.length, c.distance, 0, 0};
  return Choice{kLong, c.length, c.distance, 0, 0};
}

// Codes the slice's blocks after the ones before it. Returns true when the entry stops
// here (given up, or a read or write failed).
bool CodeSlice(Rar20Encoder& enc, SliceJob& job, BitWriter& w, bool& firstBlock, bool lastSlice, uint32_t entryStart) {
  MatchHistory assumed = job.startMatches;
  uint32_t recoded = 0;  // matches taken back so far; from four on, both histories agree
  const uint64_t matchedBefore = enc.entryMatchedBytes;
  const ParsedSlice& parsed = job.parsed;
  size_t t = 0;
  for (size_t b = 0; b < parsed.blockEnds.size(); ++b) {
    for (; t < parsed.blockEnds[b]; ++t) {
      const PackToken& token = parsed.tokens[t];
      if (recoded < kRecentDistanceCount && token.symbol >= kLiteralCount) {
        const Choice c = ChoiceOfToken(token, assumed);
        PushMatch(assumed, c.length, c.distance);
        EmitMatch(enc, Recode(c, enc.matches));
        ++recoded;
      } else {
        AddToken(enc, token);
      }
    }
    if (recoded == kRecentDistanceCount) enc.matches = job.endMatches;
    enc.entryMatchedBytes = matchedBefore + job.matchedBytes;
    if (lastSlice && b + 1 == parsed.blockEnds.size()) {
      FinishBlock(enc, w, firstBlock, true);
      return false;
    }
    if (EndBlock(enc, w, firstBlock, job.end - entryStart)) return true;
  }
  return false;
}

void StartSlice(Rar20Encoder& enc, SliceJob& job) {
  // Reads the entry on to the slice's end, keeping the window (and warm-up) in front of it.
  LoadHistory(enc, job.start - std::min(job.start, kWindowSize + WarmUpBytes(enc)), job.end);
  PrepareSlice(enc, job);
#if KORV_PACK_THREADS
  if (enc.threads > 1) job.thread = std::thread(ParseSlice, &job);
#endif
}

// Waits for the slice's thread, or parses the slice here when it has none. `parse` false:
// the slice is not wanted any more.
void FinishSlice(SliceJob& job, bool parse) {
#if KORV_PACK_THREADS
  if (job.thread.joinable()) {
    job.thread.join();
    return;
  }
#endif
  if (parse) ParseSlice(&job);
}

}  // namespace

void ParseEntryInSlices(Rar20Encoder& enc, BitWriter& w, bool startOfStream) {
  const uint32_t start = enc.entryStart, end = enc.entryEnd;
  const uint32_t count = (end - start + enc.sliceSize - 1) / enc.sliceSize;
  const uint32_t inFlight = std::max<uint32_t>(1, std::min(enc.threads, kMaxPackThreads));
  std::deque<SliceJob> jobs;  // slices started and not yet coded, in order
  uint32_t started = 0;
  bool firstBlock = startOfStream;
  bool stopped = false;
  std::unique_ptr<Rar20Encoder> lastParser;  // its finder holds the entry's last window
  for (uint32_t coded = 0; coded < count; ++coded) {
    while (started < count && jobs.size() < inFlight) {
      jobs.emplace_back();
      SliceJob& job = jobs.back();
      job.start = start + started * enc.sliceSize;
      job.end = std::min(end, job.start + enc.sliceSize);
      job.first = started == 0;
      StartSlice(enc, job);
      ++started;
    }
    SliceJob& job = jobs.front();
    FinishSlice(job, true);
    if (!stopped) stopped = CodeSlice(enc, job, w, firstBlock, coded + 1 == count, start);
    lastParser = std::move(job.parser);
    jobs.pop_front();
    if (stopped) {
      for (SliceJob& rest : jobs) FinishSlice(rest, false);
      break;
    }
  }
  // The next entry matches against this one: the finder that saw its end goes on.
  std::swap(enc.finder, lastParser->finder);
}

}  // namespace rar20pack
