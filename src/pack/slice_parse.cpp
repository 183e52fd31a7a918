// The stream parsed in slices, on several threads (see rar20_encoder.h).
//
// The entries handed over by PlanEntries form one stream of positions, each entry running
// on from the end of the one before. From the entry where a run of slices starts, the
// stream is cut into slices: the first ends with that entry (at most enc.sliceSize bytes),
// the others share the rest of the run evenly, none longer than enc.sliceSize, whatever
// the entries' sizes. Each slice gets a parser of its own (a Rar20Encoder in slice mode) holding
// a copy of the bytes it may read: the window in front of it and the slice itself. The
// first slice of a run continues the encoder's state (its match finder, prices and match
// history); every later one starts a fresh match finder over the window in front of it and
// warms its prices and match history up by parsing the bytes just before it, whose symbols
// it throws away. Inside a slice, each entry's part is parsed as the entry's end requires:
// no match reaches beyond the end of the entry or of the slice, and the entry's last block
// ends there. The encoder reads the stream ahead, entry after entry, as far as the slices
// being parsed need.
//
// The slices' blocks are then coded in order, entry by entry, by the encoder itself. A
// slice's parser assumed a match history of its own, so the first symbols that refer to
// the history (a recent distance, the repeat of the latest match) may mean another match to
// the decoder: until the slice has made four matches, each match is taken back to its length
// and distance and coded afresh against the history the decoder really holds. After four
// matches both histories hold the same four distances, and the slice's symbols are right as
// they are.
//
// An entry that ends up stored (or a failure) voids everything parsed after it: the slices
// in flight are dropped, and a new run starts at the next entry from the encoder's restored
// state, its first parser building its match finder over the window before it. A run also
// ends where positions must be moved down (kPositionLimit), and after each entry of a
// non-solid stream.
//
// Nothing here depends on the number of threads: the runs, the slices, their starting states
// and the order of coding are the same with one thread (everything on the caller's) as with
// many.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <memory>
// The host tool parses on threads; a Windows build of the library (whose C++ runtime may
// have no std::thread) parses the slices one after another, with the same result.
#if !defined(_WIN32)
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#define KORV_PACK_THREADS 1
#endif

#include "pack/lz_parse.h"

namespace rar20pack {
namespace {

uint32_t WarmUpBytes(const Rar20Encoder& enc) {
  return std::min({enc.sliceWarmUp, enc.level.warmUpParse, enc.sliceSize});
}

#if KORV_PACK_THREADS
// A slice's thread tells the caller's that it is done, so that the next slice takes its
// place at once, whichever slice the caller is waiting for.
struct SliceSignal {
  std::mutex mutex;
  std::condition_variable done;
  uint64_t finished = 0;  // slices whose threads have finished, in all
};
#endif

struct SliceJob {
  uint32_t start = 0, end = 0;      // the slice's positions
  bool first = false;               // continues the encoder's own state
  bool freshFinder = false;         // builds its match finder over the window in front
  bool endsRun = false;             // its parser's finder goes on to the next run
  std::vector<uint32_t> pieceEnds;  // where each entry's part of the slice ends
  std::unique_ptr<Rar20Encoder> parser;
  ParsedSlice parsed;
  MatchHistory startMatches{};      // the parser's history when the slice began
  bool parsedDone = false;          // `parsed` is complete (the caller's thread knows it)
  std::atomic<bool> cancel{false};  // not wanted any more: the parser stops at the next piece
  // Coding, on the caller's thread: the next piece, block and symbol, and the parser's
  // history as the symbols coded so far left it.
  size_t nextPiece = 0, nextBlock = 0, nextToken = 0;
  MatchHistory assumed{};
  uint32_t recoded = 0;             // matches taken back so far; from four on, both histories agree
#if KORV_PACK_THREADS
  std::thread thread;
  std::exception_ptr failure;  // what the parse on the thread threw (out of memory), for the caller
  SliceSignal* signal = nullptr;
  std::atomic<bool> threadDone{false};  // the thread has nothing left to do (set under the signal's mutex)
  ~SliceJob() {
    if (thread.joinable()) thread.join();
  }
#endif
};

}  // namespace
}  // namespace rar20pack

// The planned entries, the run of slices and the reading of the stream.
struct SlicePlan {
  const StreamEntry* entries = nullptr;
  size_t count = 0;
  size_t next = 0;                   // the entry to be coded next
  std::vector<uint8_t> readFailed;   // per entry: its source failed (its bytes read as zeros)
  // The run: entries next .. runEnd-1 at positions up to runEndPos, cut into slices from
  // the position it started at; `nextSlice` is where the next slice to start begins.
  bool running = false;
  size_t runEnd = 0;
  uint32_t runStart = 0, runEndPos = 0, nextSlice = 0;
  size_t cutEntry = 0;               // the entry whose end the slices have reached
  uint32_t cutEntryEnd = 0;
  bool freshFinder = false;          // the encoder's own finder is void: the next run builds one
  size_t loadEntry = 0;              // reading: this entry, at this offset, is position enc.loaded
  uint64_t loadOffset = 0;
#if KORV_PACK_THREADS
  rar20pack::SliceSignal signal;     // before `jobs`: their threads use it until they are joined
#endif
  std::deque<rar20pack::SliceJob> jobs;  // slices started and not yet coded, in order
  std::unique_ptr<Rar20Encoder> lastParser;  // its finder holds the last slice coded
};

namespace rar20pack {
namespace {

// Reads the stream on, entry after entry, until positions below `upTo` are in the history;
// history before `keepFrom` is no longer needed. A source that fails marks its entry and
// gives zeros (the entry fails when it is coded).
void LoadStream(Rar20Encoder& enc, uint32_t keepFrom, uint32_t upTo) {
  SlicePlan& plan = *enc.plan;
  CutHistory(enc, keepFrom);
  while (enc.loaded < upTo) {
    const StreamEntry& e = plan.entries[plan.loadEntry];
    if (plan.loadOffset == e.size) {
      ++plan.loadEntry;
      plan.loadOffset = 0;
      continue;
    }
    if (plan.loadOffset == 0) plan.readFailed[plan.loadEntry] = 0;
    const size_t count = size_t(std::min<uint64_t>(e.size - plan.loadOffset, std::max(enc.readPiece, upTo - enc.loaded)));
    const size_t at = enc.history.size();
    enc.history.resize(at + count);
    if (!plan.readFailed[plan.loadEntry] &&
        e.source.read(e.source.user, plan.loadOffset, enc.history.data() + at, count) != 0)
      plan.readFailed[plan.loadEntry] = 1;
    if (plan.readFailed[plan.loadEntry]) std::memset(enc.history.data() + at, 0, count);
    enc.loaded += uint32_t(count);
    plan.loadOffset += count;
  }
}

// Gives the slice's parser its bytes and, for the first slice of a run, the encoder's state.
// Runs on the caller's thread, which owns `enc`.
void PrepareSlice(Rar20Encoder& enc, SliceJob& job) {
  job.parser.reset(new Rar20Encoder());
  Rar20Encoder& p = *job.parser;
  p.level = enc.level;
  p.solid = enc.solid;
  p.sliceSize = enc.sliceSize;
  p.sliceWarmUp = enc.sliceWarmUp;
  p.sliceStartMatches = enc.sliceStartMatches;
  p.streamStart = enc.streamStart;
  const uint32_t lead = (job.first ? 0 : WarmUpBytes(enc)) + kWindowSize;
  const uint32_t from = std::max({enc.historyStart, enc.streamStart, job.start > lead ? job.start - lead : 0});
  const uint8_t* bytes = enc.history.data() + (from - enc.historyStart);
  p.history.assign(bytes, bytes + (job.end - from));
  p.historyStart = from;
  p.entryEnd = p.loaded = job.end;  // everything it reads is there: it never reads a source
  p.mayGiveUp = false;
  if (job.first) {
    if (!job.freshFinder) std::swap(p.finder, enc.finder);
    p.matches = enc.matches;
    std::memcpy(p.prices, enc.prices, sizeof p.prices);
    p.literalPrice = enc.literalPrice;
    DerivePrices(p);
  } else {
    p.matches = enc.sliceStartMatches;
    SetDefaultPrices(p);
  }
}

// Records positions p.historyStart .. upTo-1 in a new match finder, those more than
// level.warmUpNear bytes before upTo only level.warmUpDepth tree nodes deep where the level
// says so.
void BuildFinder(Rar20Encoder& p, uint32_t upTo, uint32_t end) {
  InitMatchFinder(p.finder, p.level.tree ? p.level.chainDepth : 0, p.level.niceLength);
  uint32_t from = p.historyStart;
  if (from >= upTo) return;
  if (p.level.tree && p.level.warmUpDepth && upTo - from > p.level.warmUpNear) {
    const uint32_t farEnd = upTo - p.level.warmUpNear;
    p.finder.treeDepth = p.level.warmUpDepth;
    InsertPositions(p.finder, p.history.data(), from, farEnd, end, p.streamStart);
    p.finder.treeDepth = p.level.chainDepth;
    from = farEnd;
  }
  InsertPositions(p.finder, p.history.data() + (from - p.historyStart), from, upTo, end, p.streamStart);
}

// Parses the slice, each entry's part in turn. Runs on a worker thread, touching nothing but
// the job.
void ParseSlice(SliceJob* jobPointer) {
  SliceJob& job = *jobPointer;
  Rar20Encoder& p = *job.parser;
  p.slice = &job.parsed;
  BitWriter unused;
  if (!job.first) {
    const uint32_t warmStart = std::max(job.start - WarmUpBytes(p), p.historyStart);
    BuildFinder(p, warmStart, job.end);
    if (warmStart < job.start) ParseEntry(p, warmStart, job.start, unused, false);
    job.parsed = ParsedSlice();
  } else if (job.freshFinder) {
    BuildFinder(p, job.start, job.end);
  }
  job.startMatches = p.matches;
  uint32_t from = job.start;
  for (const uint32_t pieceEnd : job.pieceEnds) {
    if (job.cancel.load(std::memory_order_relaxed)) return;
    p.entryMatchedBytes = 0;
    ParseEntry(p, from, pieceEnd, unused, false);
    job.parsed.pieces.push_back(SlicePiece{job.parsed.blockEnds.size(), p.matches, p.entryMatchedBytes});
    from = pieceEnd;
  }
  // Coding the slice needs only its symbols; of its parser, only the finder of the run's
  // last slice goes on (to the next run). The rest is released now: slices parsed ahead of
  // the one being coded would otherwise hold a window and a finder each.
  std::vector<uint8_t>().swap(p.history);
  if (!job.endsRun) p.finder = MatchFinder();
}

#if KORV_PACK_THREADS
// ParseSlice on a worker thread: an exception (out of memory) must not end the process from
// there; it is kept for the caller's thread, which meets it when it waits for the slice.
void ParseSliceOnThread(SliceJob* job) {
  try {
    ParseSlice(job);
  } catch (...) {
    job->failure = std::current_exception();
  }
  SliceSignal& signal = *job->signal;
  {
    std::lock_guard<std::mutex> lock(signal.mutex);
    job->threadDone = true;
    ++signal.finished;
  }
  signal.done.notify_one();
}
#endif

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

// Codes the next piece of the slice (a part of the entry being coded) after the blocks
// before it. Returns true when the entry stops here (given up, or a read or write failed).
bool CodePiece(Rar20Encoder& enc, SliceJob& job, BitWriter& w, bool& firstBlock) {
  const uint32_t pieceEnd = job.pieceEnds[job.nextPiece];
  const SlicePiece& piece = job.parsed.pieces[job.nextPiece++];
  const bool lastPiece = pieceEnd == enc.entryEnd;
  const uint64_t matchedBefore = enc.entryMatchedBytes;
  const ParsedSlice& parsed = job.parsed;
  while (job.nextBlock < piece.blockEnd) {
    const size_t b = job.nextBlock++;
    for (; job.nextToken < parsed.blockEnds[b]; ++job.nextToken) {
      const PackToken& token = parsed.tokens[job.nextToken];
      if (job.recoded < kRecentDistanceCount && token.symbol >= kLiteralCount) {
        const Choice c = ChoiceOfToken(token, job.assumed);
        PushMatch(job.assumed, c.length, c.distance);
        EmitMatch(enc, Recode(c, enc.matches));
        ++job.recoded;
      } else {
        AddToken(enc, token);
      }
    }
    if (job.recoded == kRecentDistanceCount) enc.matches = piece.matches;
    enc.entryMatchedBytes = matchedBefore + piece.matchedBytes;
    if (lastPiece && job.nextBlock == piece.blockEnd) {
      FinishBlock(enc, w, firstBlock, true);
      return false;
    }
    if (EndBlock(enc, w, firstBlock, pieceEnd - enc.entryStart)) return true;
  }
  return false;
}

// Starts the next slice of the run: reads the stream on to its end (keeping the window and
// warm-up in front of the oldest slice in flight), finds where entries end in it, and hands
// it to its parser (on a thread of its own when there are several).
void StartSlice(Rar20Encoder& enc) {
  SlicePlan& plan = *enc.plan;
  const uint32_t start = plan.nextSlice;
  const uint32_t oldest = plan.jobs.empty() ? start : plan.jobs.front().start;
  const uint32_t lead = kWindowSize + WarmUpBytes(enc);
  plan.jobs.emplace_back();
  SliceJob& job = plan.jobs.back();
  job.start = start;
  job.first = start == plan.runStart;
  // The first slice ends with the run's first entry: after a stored entry, the run starts
  // again from the next, and a whole slice parsed ahead would mostly be thrown away.
  // The later slices share the rest of the run evenly, none longer than enc.sliceSize: a
  // short last slice would leave threads idle at the end while one parses it alone.
  if (job.first) {
    uint32_t end = plan.cutEntryEnd;
    for (size_t k = plan.cutEntry; end == start;) end += uint32_t(plan.entries[++k].size);
    job.end = std::min(end, start + enc.sliceSize);
  } else {
    const uint32_t left = plan.runEndPos - start;
    const uint32_t count = left / enc.sliceSize + (left % enc.sliceSize != 0);
    job.end = start + (left / count + (left % count != 0));
  }
  job.freshFinder = job.first && plan.freshFinder;
  job.endsRun = job.end == plan.runEndPos;
  plan.nextSlice = job.end;
  while (plan.cutEntryEnd < job.end) {
    if (plan.cutEntryEnd > job.start && (job.pieceEnds.empty() || job.pieceEnds.back() != plan.cutEntryEnd))
      job.pieceEnds.push_back(plan.cutEntryEnd);
    plan.cutEntryEnd += uint32_t(plan.entries[++plan.cutEntry].size);
  }
  job.pieceEnds.push_back(job.end);
  LoadStream(enc, oldest > lead ? oldest - lead : 0, job.end);
  PrepareSlice(enc, job);
#if KORV_PACK_THREADS
  // A thread that cannot be started (no memory for its stack) leaves the slice to the
  // caller's thread, with the same result.
  if (enc.threads > 1) {
    job.signal = &plan.signal;
    try {
      job.thread = std::thread(ParseSliceOnThread, &job);
    } catch (const std::system_error&) {
    }
  }
#endif
}

// Starts slices until `inFlight` of them are being parsed (or the run is all started). Slices
// parsed ahead of the one being coded wait with their symbols, at most `inFlight` of them.
void StartParsers(Rar20Encoder& enc, uint32_t inFlight) {
  SlicePlan& plan = *enc.plan;
  while (plan.nextSlice < plan.runEndPos && plan.jobs.size() <= 2 * size_t(inFlight)) {
    uint32_t parsing = 0;
    for (const SliceJob& job : plan.jobs) {
#if KORV_PACK_THREADS
      if (job.thread.joinable()) {
        parsing += !job.threadDone.load(std::memory_order_relaxed);
        continue;
      }
#endif
      parsing += !job.parsedDone;
    }
    if (parsing >= inFlight) return;
    StartSlice(enc);
  }
}

// Waits for the slice's thread, or parses the slice here when it has none. While it waits,
// each other slice that finishes gives its place to the next.
void FinishSlice(Rar20Encoder& enc, SliceJob& job, uint32_t inFlight) {
  if (job.parsedDone) return;
#if !KORV_PACK_THREADS
  (void)enc;
  (void)inFlight;
#endif
#if KORV_PACK_THREADS
  if (job.thread.joinable()) {
    SliceSignal& signal = enc.plan->signal;
    std::unique_lock<std::mutex> lock(signal.mutex);
    while (!job.threadDone) {
      const uint64_t seen = signal.finished;
      signal.done.wait(lock, [&] { return signal.finished != seen; });
      lock.unlock();
      StartParsers(enc, inFlight);
      lock.lock();
    }
    lock.unlock();
    job.thread.join();
    if (job.failure) std::rethrow_exception(job.failure);
  } else
#endif
    ParseSlice(&job);
  job.assumed = job.startMatches;
  job.parsedDone = true;
}

}  // namespace

namespace {

// Throws the slices in flight away, telling their parsers to stop at their next piece.
void DropSlices(SlicePlan& plan) {
  for (SliceJob& job : plan.jobs) job.cancel = true;
  plan.jobs.clear();
}

}  // namespace

const StreamEntry& NextPlannedEntry(const Rar20Encoder& enc) { return enc.plan->entries[enc.plan->next]; }

bool SlicesRunning(const Rar20Encoder& enc) { return enc.plan->running; }

void StartSlices(Rar20Encoder& enc) {
  SlicePlan& plan = *enc.plan;
  plan.jobs.clear();
  plan.lastParser.reset();
  uint64_t end = enc.nextPos;
  size_t k = plan.next;
  do {
    end += plan.entries[k++].size;
  } while (k < plan.count && enc.solid && end < kPositionLimit);
  plan.running = true;
  plan.runEnd = k;
  plan.runStart = plan.nextSlice = enc.nextPos;
  plan.runEndPos = uint32_t(end);
  plan.cutEntry = plan.next;
  plan.cutEntryEnd = enc.nextPos + uint32_t(plan.entries[plan.next].size);
  plan.loadEntry = plan.next;
  plan.loadOffset = 0;
  enc.loaded = enc.nextPos;
}

void CodeEntryFromSlices(Rar20Encoder& enc, BitWriter& w, bool startOfStream) {
  SlicePlan& plan = *enc.plan;
  bool firstBlock = startOfStream;
  if (enc.entryStart == enc.entryEnd) {
    FinishBlock(enc, w, firstBlock, true);
    return;
  }
  const uint32_t inFlight = std::max<uint32_t>(1, std::min(enc.threads, kMaxPackThreads));
  for (;;) {
    StartParsers(enc, inFlight);
    SliceJob& job = plan.jobs.front();
    FinishSlice(enc, job, inFlight);
    // The slice is parsed: the next one starts before this one is coded, so that the
    // coding here overlaps the parsing on every thread.
    StartParsers(enc, inFlight);
    enc.readFailed = plan.readFailed[plan.next] != 0;
    const uint32_t pieceEnd = job.pieceEnds[job.nextPiece];
    const bool stopped = CodePiece(enc, job, w, firstBlock);
    if (pieceEnd == job.end) {
      plan.lastParser = std::move(job.parser);
      plan.jobs.pop_front();
    }
    if (stopped || pieceEnd == enc.entryEnd) return;
  }
}

void EndPlannedEntry(Rar20Encoder& enc, bool takenBack) {
  SlicePlan& plan = *enc.plan;
  ++plan.next;
  if (!plan.running) return;
  if (takenBack) {
    DropSlices(plan);
    plan.lastParser.reset();
    plan.running = false;
    plan.freshFinder = true;
  } else if (plan.next == plan.runEnd) {
    // The next entry matches against this one: the finder that saw its end goes on.
    if (plan.lastParser) std::swap(enc.finder, plan.lastParser->finder);
    plan.lastParser.reset();
    plan.running = false;
    plan.freshFinder = false;
  }
}

}  // namespace rar20pack

void PlanEntries(Rar20Encoder& enc, const StreamEntry* entries, size_t count) {
  AbandonEntries(enc);
  if (!enc.plan) enc.plan = std::make_shared<SlicePlan>();
  SlicePlan& plan = *enc.plan;
  plan.entries = entries;
  plan.count = count;
  plan.next = 0;
  plan.readFailed.assign(count, 0);
}

void AbandonEntries(Rar20Encoder& enc) {
  if (!enc.plan) return;
  SlicePlan& plan = *enc.plan;
  if (plan.running) {
    rar20pack::DropSlices(plan);
    plan.lastParser.reset();
    plan.running = false;
    plan.freshFinder = true;  // the encoder's own finder may be with a parser
  }
  plan.entries = nullptr;
  plan.count = plan.next = 0;
}
