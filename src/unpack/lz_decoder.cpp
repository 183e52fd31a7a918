// The RAR 2.0 LZ decoder.
//
// The literal/length code yields one of: a literal byte (0-255); a repeat of the latest
// match (256); a match at one of the four latest distances with a coded length (257-260);
// a length-2 match at a short distance (261-268); a table block (269); or a long match with
// a length slot and a coded distance slot (270-297). Matches at far distances are one or two
// bytes longer than their slots say. Every match enters the ring of recent distances.
//
// Bytes are produced into the window and handed to the caller's output function when fewer
// than 270 positions separate the write position from the first unwritten byte ahead of it
// (the longest match is 260 bytes), and at the end of the entry.
//
// Speed: the main loop keeps the window position, the bit position and the count of bytes
// left in locals, decodes most symbols with one quick-table lookup that also counts the raw
// bits of the symbol's slot, looks each symbol up in the bits it holds before refilling
// them, and copies matches with block moves where the byte-at-a-time copy would give the
// same bytes. The bytes produced,
// the order of output calls and the state left for the next entry are exactly those of
// the byte-at-a-time decoder.
//
// Damaged input: the decoder reports nothing, but it ends an entry early in two cases
// (the checksum test then rejects it): when it would decode bits that no packed byte
// supplied, and when a table block announces multimedia data, which it does not decode.
#include "unpack/lz_decoder.h"

#include <cstring>
#include <limits>
#if defined(__x86_64__)
#include <emmintrin.h>
#endif
#if defined(__i386__)
#include <emmintrin.h>

#include <atomic>

#include "system/processor.h"
#endif

#include "unpack/bit_input.h"
#include "unpack/huffman.h"

namespace {

// The setup programs are built for size, and at that setting the compiler keeps the bit
// reader's small methods as calls, several per symbol: a fifth of the decoding time, measured
// with the same setting on Linux. The ones the main loop runs for every symbol are inlined by
// force, for a few hundred bytes of code.
#define KORV_PER_SYMBOL inline __attribute__((always_inline))

constexpr uint32_t kFlushMargin = 270;  // > kMaxMatchLength: no unwritten byte is overwritten

int32_t ClampLeft(int64_t left) {
  return left < INT32_MIN ? INT32_MIN : left > INT32_MAX ? INT32_MAX : int32_t(left);
}

constexpr uint32_t kCopyChunk = 16;
// Bytes past a match's end that its copy may write over (and put back). On x86-64 the first
// two chunks are copied whatever the length: most matches are shorter than 32 bytes, and a
// loop that ends after one chunk or after two ends where the processor often mispredicts it.
#if defined(__x86_64__)
constexpr uint32_t kCopyReach = 2 * kCopyChunk;
#else
constexpr uint32_t kCopyReach = kCopyChunk;
#endif

// Copies length bytes from in to out, 16 at a time, where in lies 16 or more bytes before
// out, or before it by length or more, or anywhere ahead of it: each chunk reads bytes
// already final and not yet overwritten, so the result equals the byte-at-a-time copy.
// The chunks may run up to kCopyReach - 1 bytes past the match; those window bytes (still
// history a far match may read) are saved before and put back after.
#if defined(__i386__)
// On i386 the compiler copies a 16-byte chunk through four 32-bit registers, which the main
// loop does not have to spare. Where the processor has SSE2 a chunk goes through one SSE2
// register, in a function of its own: the 32-bit programs also run on processors without
// it, so nothing else is built for SSE2, and the processor is asked once.
std::atomic<int> gSse2{0};

bool HaveSse2() { return ProcessorHas(gSse2, {0, bit_SSE2, 0, 0, false}); }

__attribute__((target("sse2"), noinline)) void CopyByChunksSse2(uint8_t* out, const uint8_t* in,
                                                                uint32_t length) {
  const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out + length));
  for (uint32_t i = 0; i < length; i += kCopyChunk)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(out + length), tail);
}
#endif

#if defined(__x86_64__)
// Every x86-64 processor has SSE2: the chunks and the saved bytes go through its registers,
// where the compiler would otherwise keep the saved bytes on the stack.
inline __m128i Load16(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
inline void Store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

inline void CopyByChunks(uint8_t* out, const uint8_t* in, uint32_t length) {
  const __m128i tail = Load16(out + length), tailHigh = Load16(out + length + kCopyChunk);
  Store16(out, Load16(in));
  Store16(out + kCopyChunk, Load16(in + kCopyChunk));
  for (uint32_t i = 2 * kCopyChunk; i < length; i += kCopyChunk) Store16(out + i, Load16(in + i));
  Store16(out + length, tail);
  Store16(out + length + kCopyChunk, tailHigh);
}
#else
inline void CopyChunk(uint8_t* out, const uint8_t* in) {
  uint64_t low, high;  // both halves are read before either is written
  std::memcpy(&low, in, 8);
  std::memcpy(&high, in + 8, 8);
  std::memcpy(out, &low, 8);
  std::memcpy(out + 8, &high, 8);
}

inline void CopyByChunks(uint8_t* out, const uint8_t* in, uint32_t length) {
#if defined(__i386__)
  if (gSse2.load(std::memory_order_relaxed) == 1) return CopyByChunksSse2(out, in, length);
#endif
  uint8_t tail[kCopyReach];
  std::memcpy(tail, out + length, kCopyReach);
  for (uint32_t i = 0; i < length; i += kCopyChunk) CopyChunk(out + i, in + i);
  std::memcpy(out + length, tail, kCopyReach);
}
#endif

// Copies length bytes from distance back, oldest first, as the byte-at-a-time copy would:
// an overlapping match re-reads the bytes it has just written. Returns the new position.
inline uint32_t CopyWithinWindow(uint8_t* window, uint32_t pos, uint32_t length,
                                 uint32_t distance) {
  const uint32_t src = (pos - distance) & kWindowMask;
  if (pos + length <= kWindowSize && src + length <= kWindowSize) {
    uint8_t* out = window + pos;
    const uint8_t* in = window + src;
    if (src < pos && distance >= kCopyChunk && pos + length + kCopyReach <= kWindowSize) {
      CopyByChunks(out, in, length);
    } else if (src == pos) {
      // distance 0 or 2^20: every byte is copied onto itself.
    } else if (src > pos || (distance >= length && length > kCopyChunk)) {
      // Source ahead of the target, or no overlap: a forward byte copy equals a move. Short
      // matches take the loops below, cheaper than a call to the C library.
      std::memmove(out, in, length);
    } else if (distance == 1) {
      std::memset(out, in[0], length);
    } else if (distance >= 8) {
      uint32_t i = 0;
      for (; i + 8 <= length; i += 8) std::memcpy(out + i, in + i, 8);  // 8 apart: no overlap within a step
      for (; i < length; ++i) out[i] = in[i];
    } else {
      for (uint32_t i = 0; i < length; ++i) out[i] = in[i];
    }
    return (pos + length) & kWindowMask;
  }
  for (uint32_t i = 0; i < length; ++i) {
    window[pos] = window[(pos - distance) & kWindowMask];
    pos = (pos + 1) & kWindowMask;
  }
  return pos;
}

// Pushes a match onto the history: ring of recent distances, latest distance and length.
inline void RecordMatch(DecoderState& d, uint32_t length, uint32_t distance) {
  d.recentDistances[d.recentDistanceCount % kRecentDistanceCount] = distance;
  d.lastDistance = distance;
  d.recentDistanceCount += 1;
  d.lastLength = length;
}

// A symbol and the value of the raw bits behind its code (0 when it has none).
struct Slot {
  uint32_t symbol;
  uint32_t extra;
};

// The bit reader of the main loop: the same bits at the same input positions as
// PeekBits16/SkipBits, held in a register so that a symbol costs a shift, one table lookup
// and a shift. bits holds the upcoming input bits, most significant first, of which count are
// counted; next marks the first input byte not yet counted. The input position of the state
// is (next - input) * 8 - count bits.
//
// On x86-64 the register has 64 bits (Fill keeps at least 56: more than the 51 bits of the
// longest symbol with its extra bits). On i386 a 64-bit register takes two, and every shift
// of it a double shift and a conditional move; with the window position, the counts and the
// bounds of the loop it no longer fits in the registers and spills at every symbol. There
// the register has 32 bits (Fill keeps at least 24: a literal/length code with its length bits,
// or the next code's 16 bits), the main loop fills before each code, and the rare distance
// whose code and extra bits exceed what is counted is taken in two steps.
//
// next is a pointer rather than an index into input: it saves the fill an addition and,
// on i386, a register.
struct Cursor {
  const uint8_t* input;
  const uint8_t* next;
#if UINTPTR_MAX > 0xFFFFFFFFu
  uint64_t bits;
  uint32_t count;

  // Adds whole bytes behind the counted bits. The bits beyond count already hold the same
  // input bits from the previous fill (or zeros), so OR-ing them in again changes nothing.
  KORV_PER_SYMBOL void Fill() {
    const uint8_t* p = next;
    const uint64_t word = uint64_t(p[0]) << 56 | uint64_t(p[1]) << 48 | uint64_t(p[2]) << 40 |
                          uint64_t(p[3]) << 32 | uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 |
                          uint64_t(p[6]) << 8 | uint64_t(p[7]);
    bits |= word >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  KORV_PER_SYMBOL uint32_t Peek() const { return uint32_t(bits >> 48); }
  KORV_PER_SYMBOL void Skip(uint32_t n) {
    bits <<= n;
    count -= n;
  }
  // n = 0..16. Shifting by 1 and then by 63 - n gives 0 for n = 0 without a branch: the
  // count of extra bits varies from symbol to symbol, and a test of it would often be
  // mispredicted.
  KORV_PER_SYMBOL uint32_t Read(uint32_t n) {
    const uint32_t value = uint32_t((bits >> 1) >> (63 - n));
    Skip(n);
    return value;
  }
  KORV_PER_SYMBOL Slot Take(uint32_t entry) {
    const uint32_t length = (entry >> kQuickLengthShift) & 15;
    const uint32_t total = entry & kQuickTotalMask;
    Slot slot;
    slot.symbol = entry >> kQuickSymbolShift;
    slot.extra = uint32_t(((bits << length) >> 1) >> (63 - (total - length)));
    Skip(total);
    return slot;
  }
  // Decodes one symbol with table, built with slots, and reads the raw bits behind its code.
  // The quick entry gives both counts at once, so the bits are consumed with one shift and
  // the next lookup does not wait for a second table.
  KORV_PER_SYMBOL Slot Decode(const HuffmanTable& table, const SlotBits& slots) {
    return Take(Look(table, slots));
  }
  // The literal/length symbol at the top of the main loop, where 16 or more bits are
  // counted: it is looked up in the bits at hand, so the lookup need not wait for the fill,
  // which then gives enough bits for the symbol and all that a match reads behind it.
  KORV_PER_SYMBOL Slot DecodeFirst(const HuffmanTable& table, const SlotBits& slots) {
    const uint32_t entry = Look(table, slots);
    Fill();
    return Take(entry);
  }
  KORV_PER_SYMBOL void BeforeMatch() {}
  KORV_PER_SYMBOL void AfterMatch() {
    if (count < 16) Fill();  // a literal leaves 41 or more
  }
#else
  uint32_t bits;
  uint32_t count;

  // As the 64-bit fill: whole bytes behind the counted bits, at least 24 counted after it.
  KORV_PER_SYMBOL void Fill() {
    const uint8_t* p = next;
    const uint32_t word = uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
    bits |= word >> count;
    next += (31 - count) >> 3;
    count |= 24;
  }
  KORV_PER_SYMBOL uint32_t Peek() const { return bits >> 16; }
  KORV_PER_SYMBOL void Skip(uint32_t n) {
    bits <<= n;
    count -= n;
  }
  // n = 0..16, without a branch on n as in the 64-bit reader.
  KORV_PER_SYMBOL uint32_t Read(uint32_t n) {
    const uint32_t value = (bits >> 1) >> (31 - n);
    Skip(n);
    return value;
  }
  KORV_PER_SYMBOL Slot Take(uint32_t entry) {
    const uint32_t length = (entry >> kQuickLengthShift) & 15;
    const uint32_t total = entry & kQuickTotalMask;
    Slot slot;
    slot.symbol = entry >> kQuickSymbolShift;
    slot.extra = ((bits << length) >> 1) >> (31 - (total - length));
    Skip(total);
    return slot;
  }
  // Needs 16 bits counted. A code with more extra bits than are counted behind it (a far
  // distance) is consumed first, then its extra bits after a fill.
  KORV_PER_SYMBOL Slot Decode(const HuffmanTable& table, const SlotBits& slots) {
    const uint32_t entry = Look(table, slots);
    if ((entry & kQuickTotalMask) <= count) return Take(entry);
    const uint32_t length = (entry >> kQuickLengthShift) & 15;
    Slot slot;
    slot.symbol = entry >> kQuickSymbolShift;
    Skip(length);
    Fill();
    slot.extra = Read((entry & kQuickTotalMask) - length);
    return slot;
  }
  // The literal/length symbol at the top of the main loop: the fill gives its code and
  // length bits; a match fills again before the bits behind them.
  KORV_PER_SYMBOL Slot DecodeFirst(const HuffmanTable& table, const SlotBits& slots) {
    Fill();
    return Take(Look(table, slots));
  }
  KORV_PER_SYMBOL void BeforeMatch() { Fill(); }
  KORV_PER_SYMBOL void AfterMatch() {}
#endif

  void Start(uint32_t inputPos, uint32_t bitPos) {
    next = input + inputPos;
    bits = 0;
    count = 0;
    Fill();
    Skip(bitPos);
  }
  KORV_PER_SYMBOL uint32_t Consumed() const { return uint32_t(next - input) * 8 - count; }
  uint32_t InputPos() const { return Consumed() >> 3; }
  uint32_t BitPos() const { return Consumed() & 7; }
  // Looks the next symbol up in table, built with slots, and consumes nothing: the entry
  // gives the code length and the count of extra bits behind it.
  KORV_PER_SYMBOL uint32_t Look(const HuffmanTable& table, const SlotBits& slots) const {
    const uint32_t peek = Peek();
    const uint32_t entry = table.quick[peek >> (16 - kQuickBits)];
    if (entry) return entry;
    uint32_t length;
    const uint32_t symbol = SearchSymbol(&table, peek, &length);
    return QuickEntry(symbol, length, slots);
  }
};

// The match history of the main loop, held in locals for the length of the loop: window
// writes could otherwise alias every field, and each match reads and writes several.
struct History {
  uint32_t recent[kRecentDistanceCount];
  uint32_t count;
  uint32_t lastDistance;
  uint32_t lastLength;

  void Load(const DecoderState& d) {
    for (uint32_t k = 0; k < kRecentDistanceCount; ++k) recent[k] = d.recentDistances[k];
    count = d.recentDistanceCount;
    lastDistance = d.lastDistance;
    lastLength = d.lastLength;
  }
  void Store(DecoderState& d) const {
    for (uint32_t k = 0; k < kRecentDistanceCount; ++k) d.recentDistances[k] = recent[k];
    d.recentDistanceCount = count;
    d.lastDistance = lastDistance;
    d.lastLength = lastLength;
  }
  KORV_PER_SYMBOL void Record(uint32_t length, uint32_t distance) {
    recent[count % kRecentDistanceCount] = distance;
    lastDistance = distance;
    count += 1;
    lastLength = length;
  }
};

// The main loop's hot fields: the bit reader, the window position, the bytes left to
// produce and the bounds that stand for the tests the loop makes before each symbol, held in
// locals between the steps that need the record itself (refill, flush, table block), which
// Store before and Load after. Window writes could otherwise alias every one of them.
//
// guardBits: the loop must look at the record before decoding at or past this input bit: a
// refill is due beyond byte kRefillMainLoop, no packed byte lies at or past inputDataEnd, and
// multimedia data (guard 0) ends the entry. One comparison covers the three. The loop first
// compares the fill position, guardBits / 8: no bit at or past the guard is counted before
// the fill reaches it, which happens a few symbols before the guard.
// left: bytes still to produce, less one; below 0 the entry is done.
// flushAt: a flush is due once left falls below it. It stands for the room left before the
// unwritten bytes ahead of the write position come closer than kFlushMargin: that room goes
// down by the bytes produced, as left does, so the two keep their difference between Loads.
// A flush leaves the whole window free (flushedPos = windowPos counts as nothing unwritten).
// No symbol produces more than kMaxMatchLength bytes, so the distance the room stands for
// never wraps past 0 while left >= flushAt.
// stopAt: the larger of flushAt and 0, so that one comparison covers both.
//
// The three counts are 64-bit on x86-64. On i386 that takes six registers and a compare of
// two halves; there they are 32-bit: the loop starts only with left in 0..INT32_MAX - 1, no
// symbol takes it below -kMaxMatchLength, and Load caps flushAt (see there).
#if UINTPTR_MAX > 0xFFFFFFFFu
using LoopCount = int64_t;
#else
using LoopCount = int32_t;
#endif
constexpr int64_t kLoopCountMax = std::numeric_limits<LoopCount>::max();

struct LoopRegisters {
  Cursor in;
  uint32_t pos;
  uint32_t guardBits;
  const uint8_t* guardNext;
  LoopCount left;
  LoopCount flushAt;
  LoopCount stopAt;

  void Load(DecoderState& d) {
    in.input = d.inputBuffer;
    in.Start(d.inputPos, d.inputBitPos);
    pos = d.windowPos;
    const uint32_t end = d.inputDataEnd < kRefillMainLoop + 1 ? d.inputDataEnd : kRefillMainLoop + 1;
    guardBits = d.multimediaMode != 0 ? 0 : end * 8;
    guardNext = in.input + guardBits / 8;
    const int32_t room = int32_t((d.flushedPos - pos - 1) & kWindowMask) - int32_t(kFlushMargin - 1);
    // Beyond the type's range only while the room is below 0, when a flush is due: the cap
    // says so as well, and the flush brings the room back.
    const int64_t at = int64_t(left) - room;
    flushAt = at > kLoopCountMax ? LoopCount(kLoopCountMax) : LoopCount(at);
    stopAt = flushAt > 0 ? flushAt : 0;
  }
  void Store(DecoderState& d) const {
    d.inputPos = in.InputPos();
    d.inputBitPos = in.BitPos();
    d.windowPos = pos;
  }
};

struct Match {
  uint32_t length;
  uint32_t distance;
};

// The bonus of a far match by its distance in units of 8 KiB: one byte from
// kBonusDistanceMid on, two from kBonusDistanceFar on. Every distance a match can have, or
// the history hold, lies in 0..2^20 (the longest slot reaches the window's size exactly).
// On x86-64 one lookup takes the place of two comparisons (1.5% fewer instructions on the
// DLLs); on i386 the table's address would take one more of the few registers, and the
// comparisons stay.
#if UINTPTR_MAX > 0xFFFFFFFFu
constexpr uint32_t kBonusUnitShift = 13;
static_assert(kBonusDistanceMid == 1u << kBonusUnitShift && kBonusDistanceFar % kBonusDistanceMid == 0,
              "the bonus distances are whole units");
struct FarBonus {
  uint8_t bytes[(kWindowSize >> kBonusUnitShift) + 1];
  constexpr FarBonus() : bytes() {
    for (uint32_t u = 0; u <= (kWindowSize >> kBonusUnitShift); ++u)
      bytes[u] = uint8_t((u << kBonusUnitShift >= kBonusDistanceMid) + (u << kBonusUnitShift >= kBonusDistanceFar));
  }
};
constexpr FarBonus kFarBonus;

KORV_PER_SYMBOL uint32_t FarBonusOf(uint32_t distance) { return kFarBonus.bytes[distance >> kBonusUnitShift]; }
#else
KORV_PER_SYMBOL uint32_t FarBonusOf(uint32_t distance) {
  return uint32_t(distance >= kBonusDistanceFar) + uint32_t(distance >= kBonusDistanceMid);
}
#endif

// The length and distance that a match symbol (256-268, 270-297) and the bits behind it
// code; a long match's length bits come with its symbol. Matches at far distances are one
// or two bytes longer than their slots say; a recent-distance match beyond 256 one more.
KORV_PER_SYMBOL Match DecodeMatch(Cursor& in, const DecoderState& d, const History& h, Slot s) {
  Match m;
  if (s.symbol >= kSymbolLongFirst) {
    m.length = kLengthBase[s.symbol - kSymbolLongFirst] + kLongMatchMinLength + s.extra;
    const Slot t = in.Decode(d.distanceTable, kDistanceSlotBits);
    m.distance = kDistanceBase[t.symbol] + 1 + t.extra;
    m.length += FarBonusOf(m.distance);
  } else if (s.symbol == kSymbolRepeatLast) {
    m.length = h.lastLength;
    m.distance = h.lastDistance;
  } else if (s.symbol <= kSymbolRecentLast) {
    m.distance = h.recent[(h.count - (s.symbol - kSymbolRepeatLast)) % kRecentDistanceCount];
    const Slot r = in.Decode(d.repeatLengthTable, kRepeatLengthSlotBits);
    m.length = kLengthBase[r.symbol] + kRecentMatchMinLength + r.extra;
    m.length += FarBonusOf(m.distance) + uint32_t(m.distance >= kBonusDistanceNear);
  } else {
    const uint32_t slot = s.symbol - kSymbolShortFirst;
    m.distance = kShortBase[slot] + 1 + in.Read(kShortBits[slot]);
    m.length = kShortMatchLength;
  }
  return m;
}

// The main loop: one symbol per iteration while *left is 0 or more, counting the bytes
// produced off *left. False when it ended the entry early: before decoding bits that no
// packed byte supplied (the stale buffer could otherwise yield table blocks forever), or
// multimedia data as LZ symbols (it would only produce garbage). This is the one guard
// against damaged input.
bool DecodeSymbols(DecoderState* state, int64_t* left) {
  // Nothing to produce: the loop would end before its first symbol. Only a 32-bit count
  // needs the test, as *left may then lie below its range.
  if (sizeof(LoopCount) < sizeof(*left) && *left < 0) return true;
  DecoderState& d = *state;
  uint8_t* const window = d.window;
  History h;
  h.Load(d);
  LoopRegisters r;
  r.left = LoopCount(*left);
  r.Load(d);
  bool whole = true;
  for (;;) {
    r.pos &= kWindowMask;
    // One test for the three checks before a symbol: the entry's end, the input guard and
    // a due flush, in that order.
    if (r.left < r.stopAt || r.in.next >= r.guardNext) {
      if (r.left < 0) break;
      if (r.in.Consumed() >= r.guardBits) {
        if (r.in.InputPos() > kRefillMainLoop) {
          r.Store(d);
          RefillInput(state, false);
          r.Load(d);
        }
        if (r.in.InputPos() >= d.inputDataEnd || d.multimediaMode != 0) {
          whole = false;
          break;
        }
      }
      if (r.left < r.flushAt) {
        r.Store(d);
        FlushWindow(state);
        r.Load(d);
      }
    }
    const Slot s = r.in.DecodeFirst(d.literalTable, kLongMatchSlotBits);
    if (s.symbol < kLiteralCount) {
      window[r.pos++] = uint8_t(s.symbol);
      --r.left;
      continue;
    }
    if (s.symbol == kSymbolTableBlock) {
      r.Store(d);
      ReadTableBlock(state);
      r.Load(d);
      continue;
    }
    r.in.BeforeMatch();
    const Match m = DecodeMatch(r.in, d, h, s);
    h.Record(m.length, m.distance);
    r.left -= m.length;
    // Most matches are copied here by chunks, without the call and the tests of the general
    // copy: those away from the window's end whose source lies 16 or more bytes behind the
    // write position, or ahead of it, or behind it by no less than the match is long.
    const uint32_t src = (r.pos - m.distance) & kWindowMask;
    const uint32_t behind = r.pos - src;  // wraps above 16 when the source lies ahead
    if ((behind >= kCopyChunk || m.length <= behind) && r.pos + m.length + kCopyReach <= kWindowSize &&
        src + m.length + kCopyReach <= kWindowSize) {
      CopyByChunks(window + r.pos, window + src, m.length);
      r.pos += m.length;
    } else {
      r.pos = CopyWithinWindow(window, r.pos, m.length, m.distance);
    }
    r.in.AfterMatch();
  }
  r.Store(d);
  h.Store(d);
  *left = r.left;
  return whole;
}

}  // namespace

void PrepareDecoder(DecoderState* state) {
  for (uint32_t k = 0; k < kMaxChannels; ++k) state->channelTableRefs[k] = &state->channelTables[k];
}

void InitDecoder(DecoderState* state, bool solid) {
  DecoderState& d = *state;
  d.inputBitPos = 0;
  d.inputPos = 0;
  if (solid) return;
  d.currentChannel = 0;
  for (uint32_t& r : d.recentDistances) r = 0;
  d.recentDistanceCount = 0;
  d.lastLength = 0;
  d.lastDistance = 0;
  std::memset(d.window, 0, kWindowSize);
  std::memset(d.previousLengths, 0, kAllLengthsSize);
  d.flushedPos = 0;
  d.windowPos = 0;
}

void CopyMatch(DecoderState* state, uint32_t length, uint32_t distance, int32_t* unpackedBytesLeft) {
  RecordMatch(*state, length, distance);
  *unpackedBytesLeft = ClampLeft(int64_t(*unpackedBytesLeft) - length);
  state->windowPos = CopyWithinWindow(state->window, state->windowPos, length, distance);
}

void FlushWindow(DecoderState* state) {
  DecoderState& d = *state;
  const DecoderIo& io = d.io;
  if (d.windowPos < d.flushedPos) {
    io.writeOutput(io.value, d.window + d.flushedPos, int32_t(kWindowSize - d.flushedPos));
    io.writeOutput(io.value, d.window, int32_t(d.windowPos));
  } else {
    io.writeOutput(io.value, d.window + d.flushedPos, int32_t(d.windowPos - d.flushedPos));
  }
  d.flushedPos = d.windowPos;
}

void ReadTrailingTables(DecoderState* state) {
  DecoderState& d = *state;
  if (int64_t(d.inputEnd) < int64_t(d.inputPos) + 5) return;
  if (d.multimediaMode) {
    if (DecodeSymbol(state, d.channelTableRefs[d.currentChannel]) == 256) ReadTableBlock(state);
  } else {
    if (DecodeSymbol(state, &d.literalTable) == kSymbolTableBlock) ReadTableBlock(state);
  }
}

void UnpackEntry(DecoderState* state, uint8_t* window, bool solid, int32_t* unpackedBytesLeft,
                 const DecoderIo* io) {
  state->window = window;
  state->io = *io;
#if defined(__i386__)
  HaveSse2();  // asked before the copies look at the answer
#endif
  InitDecoder(state, solid);
  RefillInput(state, true);
  if (!solid) ReadTableBlock(state);
  int64_t left = int64_t(*unpackedBytesLeft) - 1;  // run until the size is reached
  const bool whole = DecodeSymbols(state, &left);
  *unpackedBytesLeft = ClampLeft(left);
  if (whole) ReadTrailingTables(state);  // after an early end there is nothing sound to read
  FlushWindow(state);
}
