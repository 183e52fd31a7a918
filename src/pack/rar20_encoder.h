// The RAR 2.0 compressor: LZ77 over the 1 MB window with Huffman-coded symbols, the
// mirror of the decoder in unpack/.
//
// One `Rar20Encoder` writes one stream: every entry of a solid archive in turn (the window,
// the match history, the distance ring and the code tables run on from entry to entry), or
// one entry after another, each from a clean state, for a non-solid archive. For every
// entry it produces that entry's packed bytes; the caller puts them into the archive.
//
// How an entry's stream is built:
//   - The data is parsed into symbols: literals, long matches (length and distance slots
//     with extra bits, the distance bonuses included), short length-2 matches, matches at
//     one of the four recent distances, and the repeat of the latest match. Levels 1 and 2
//     parse greedily or lazily: at each position the candidate that saves the most bits
//     against coding literals, deferred by a byte when a better one starts there. Levels 3
//     (the default) to 5 find the cheapest path through stretches of the entry (optimal
//     parsing). Levels 1 to 3 take candidates from hash chains; levels 4 and 5 from binary
//     trees, which meet the longest matches in fewer steps than deep chains, at more cost
//     per position than shallow ones. Prices come from the statistics of the previous
//     block; level 5 then parses each block again, priced by its own first parse, and
//     keeps the cheaper parse.
//   - Symbols are grouped in blocks; neighbouring blocks share one set of codes while that
//     is cheaper than a new table. A segment of blocks either continues with the codes in
//     force or switches to codes fitted to it (symbol 269 and a table block), whichever is
//     smaller. Every code includes symbol 269, so a switch is always possible.
//   - A non-solid entry begins with its table block. A solid entry begins with the codes
//     the previous entry left; when it wants new ones, its first symbol is 269.
//   - The stream ends right after the entry's last symbol, padded to a byte: the decoder
//     peeks for a further table block only when five or more bytes remain, so nothing
//     is read past the entry.
//   - A match never reaches beyond the entry's end.
// The entries of a stream are handed to the encoder up front (PlanEntries) and packed in
// order (PackNextEntry), so that the parse can run ahead of the entry being coded. The
// stream - every entry, the positions running on from one to the next - is cut into
// slices of at most kParseSliceSize bytes, whatever the entries' sizes
// (slice_parse.cpp): a slice's parser sees the window in front of it, warms its prices up
// on the bytes just before it, parses each entry's part of the slice as the end of that
// entry requires, and keeps its blocks of symbols; the blocks are then coded in order,
// entry by entry, on the caller's thread. Neither the slices nor the bytes depend on how
// many threads parse them. The encoder reads the entries a few slices ahead of the one
// being coded, and passes an entry's packed bytes to its output as its blocks are coded,
// so it holds a few slices and their windows, whatever the entries' sizes.
// An entry that does not get smaller is stored instead (method 0x30); in a solid stream the
// encoder then rolls its state back, because the decoder's window does not see stored
// entries, and everything parsed after it is void: the slices start again at the next
// entry, the first of them from the encoder's restored state. The first entry of a solid
// stream is always compressed, so that every later entry finds code tables to continue
// with. A non-solid stream starts the slices afresh at every entry.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "pack/bit_writer.h"
#include "pack/match_finder.h"
#include "pack/pack_io.h"
#include "pack/table_block.h"
#include "unpack/rar20_tables.h"

constexpr int kMinPackLevel = 1;
constexpr int kMaxPackLevel = 5;
constexpr int kDefaultPackLevel = 3;

// The stream is parsed in slices of at most this many bytes (a run's slices share it evenly),
// on as many threads as the encoder is given. The size is fixed (not derived from the thread count) so that the archive is the
// same on every machine.
constexpr uint32_t kParseSliceSize = 1u << 21;
// Bytes before a slice that its parser parses first (and throws away) to warm its prices and
// its match history up.
constexpr uint32_t kSliceWarmUp = 16 * 1024;
constexpr uint32_t kMaxPackThreads = 64;  // each thread holds a slice, its window and a match finder

// Search effort of a compression level.
struct PackLevel {
  uint32_t chainDepth;   // hash-chain links (or tree nodes) visited per position
  uint32_t niceLength;   // a match this long is taken at once
  uint32_t lazySteps;    // 0: greedy; 1: look one byte ahead; 2: two bytes
  uint32_t blockSymbols; // symbols per block before the codes are reconsidered
  bool optimal;          // cheapest path over the symbol prices instead of the lazy parse
  uint32_t passes = 1;   // optimal parse: passes over each block, each priced by the one before
  bool tree = false;     // match finder: binary trees (chainDepth nodes per search) instead of chains
  // A later slice's parser builds its trees over the window in front of it; positions more
  // than warmUpNear bytes before the slice's warm-up are walked only warmUpDepth nodes deep
  // (0: chainDepth, like every other). Their trees keep the latest of those positions, which
  // serve the slice's first matches at long distances, at a fraction of the cost.
  uint32_t warmUpDepth = 0;
  uint32_t warmUpNear = 0;
  uint32_t warmUpParse = kSliceWarmUp;  // bytes parsed to warm prices up (at most the encoder's sliceWarmUp)
};
PackLevel PackLevelParameters(int level);

// The codes in force, as the decoder holds them.
struct EncoderCodes {
  uint8_t lengths[kLzLengthCount];  // literal (298), distance (48), repeat length (28)
  uint16_t codes[kLzLengthCount];
};

// One coded symbol with its extra fields, kept until its block's codes are chosen.
struct PackToken {
  uint16_t symbol;      // literal-code symbol 0..297
  uint8_t extraBits;    // bits of `extra` that follow it
  uint8_t second;       // distance slot (long match) or length slot (recent match); 0xFF none
  uint8_t secondBits;   // bits of `secondExtra`
  uint8_t secondTable;  // 1: distance code, 2: repeat-length code
  uint32_t extra;
  uint32_t secondExtra;
};

// Symbol counts of a block.
struct BlockStats {
  uint32_t counts[kLzLengthCount];  // literal code, then distance slots, then length slots
};

// The decoder's match history, mirrored.
struct MatchHistory {
  uint32_t recentDistances[kRecentDistanceCount];
  uint32_t recentCount;
  uint32_t lastLength;
  uint32_t lastDistance;
};

struct ParsedSlice;
struct SlicePlan;

struct Rar20Encoder {
  PackLevel level;
  uint32_t threads = 1;           // slices parsed at once (1: on the caller's thread)
  uint32_t sliceSize = kParseSliceSize;  // tests use small slices
  uint32_t sliceWarmUp = kSliceWarmUp;   // and short warm-ups
  // The match history a later slice's parser begins its warm-up with: none (tests give one
  // that the decoder's history is sure to differ from).
  MatchHistory sliceStartMatches{};
  // Set while this encoder parses one slice for another: each block's symbols are kept
  // there (with the prices updated) instead of being coded.
  ParsedSlice* slice = nullptr;
  // The entries handed over by PlanEntries and the slices being parsed (slice_parse.cpp).
  std::shared_ptr<SlicePlan> plan;
  bool solid = true;
  MatchFinder finder;
  // History: bytes of positions historyStart .. historyStart + history.size() - 1: at least
  // the window before the position being parsed, and what has been read ahead of it.
  std::vector<uint8_t> history;
  uint32_t historyStart = 0;
  uint32_t nextPos = 0;
  uint32_t streamStart = 0;       // lowest position the decoder holds in this stream
  // The entry being packed: its positions entryStart .. entryEnd-1, and its packed bytes
  // passed to `output` so far. Positions below `loaded` are read (the stream is read ahead,
  // across entries, for the slices being parsed).
  PackSink output{};
  uint32_t entryStart = 0;
  uint32_t entryEnd = 0;
  uint32_t loaded = 0;
  uint32_t readPiece = 1u << 20;   // bytes read from an entry's source at a time (at least);
                                   // the history is cut in steps of three pieces
  uint64_t packedBytes = 0;
  bool readFailed = false;
  bool writeFailed = false;
  // The window before the entry, kept aside once the history is cut inside the entry: an
  // entry that ends up stored is taken back, and the match finder rebuilt over that window.
  uint32_t windowBeforeEntry = 0;  // its size: the history before the entry, at most a window
  bool windowSaved = false;
  std::vector<uint8_t> savedWindow;
  MatchHistory matches;
  EncoderCodes codes;
  bool haveCodes = false;         // the decoder holds codes (a compressed entry came before)
  TableHistory tableHistory;
  uint32_t prices[kLzLengthCount];  // estimated cost of each symbol, 1/16 bit
  uint32_t literalPrice;            // average literal cost, 1/16 bit
  // Derived from `prices`: cost of a length value (0..255, after the minimum and bonuses)
  // of a long match and of a recent-distance match, and of each distance slot, extra bits
  // included.
  uint32_t longLengthPrice[256];
  uint32_t recentLengthPrice[256];
  uint32_t distanceSlotPrice[kDistanceSlotCount];
  std::vector<PackToken> tokens;    // symbols parsed but not yet written
  size_t segmentSymbols = 0;        // the first ones form the segment; the rest, the current block
  BlockStats stats;                 // counts of the segment
  BlockStats blockStats;            // counts of the current block
  // Symbol kinds used so far (counts per literal-code symbol), for tests and statistics.
  uint64_t symbolUse[kLiteralTableSize];
  // An entry may be given up (and stored) early when it shows no sign of compressing.
  bool mayGiveUp = false;
  bool gaveUp = false;
  uint64_t entryMatchedBytes = 0;  // bytes of the current entry covered by matches so far
  // Called now and then while an entry is parsed, with the bytes of it done so far.
  void (*progress)(void* user, uint64_t entryBytesDone) = nullptr;
  void* progressUser = nullptr;
};

// Prepares an encoder for a new stream.
void InitEncoder(Rar20Encoder& enc, int level, bool solid);

// Result of packing one entry.
struct PackedEntry {
  bool stored = false;            // method 0x30: the data is written as it is
  bool solid = false;             // the entry continues the previous entry's stream (flag 0x10)
  std::vector<uint8_t> packed;    // the compressed stream (empty when stored; PackEntry only)
  uint64_t packedSize = 0;        // bytes of the compressed stream (0 when stored)
};

// Results of PackNextEntry and PackEntryFrom.
constexpr int kEncodeOk = 0;
constexpr int kEncodeReadFailed = 1;   // the source could not give all `size` bytes
constexpr int kEncodeWriteFailed = 2;  // the output refused bytes

// An entry handed to the encoder ahead of its turn: `size` bytes (below 2 GiB) read from
// `source`, each piece at most once in a row and in order from the start (an entry after a
// stored one may be read again from its start). `allowStore` false forces compression even
// when the data does not get smaller.
struct StreamEntry {
  PackSource source{};
  size_t size = 0;
  bool allowStore = true;
};

// Hands the encoder the next `count` entries of the stream, which it packs in order; the
// array must stay in place until the last of them is packed (or AbandonEntries).
void PlanEntries(Rar20Encoder& enc, const StreamEntry* entries, size_t count);
// Packs the next planned entry, its packed bytes passed to `output` as they are made. When
// the entry ends up stored, the bytes already passed are void (the caller writes the data
// instead); `out` says which. After a failure the stream cannot go on.
int PackNextEntry(Rar20Encoder& enc, PackSink output, PackedEntry& out);
// Forgets the planned entries not yet packed, waiting for the threads parsing them.
void AbandonEntries(Rar20Encoder& enc);

// Packs the next entry of the stream, held in memory, as the only one planned.
void PackEntry(Rar20Encoder& enc, const uint8_t* data, size_t size, bool allowStore, PackedEntry& out);
// Packs the next entry of the stream from `source`, as the only one planned.
int PackEntryFrom(Rar20Encoder& enc, PackSource source, size_t size, bool allowStore, PackSink output,
                  PackedEntry& out);
