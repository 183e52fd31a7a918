// The RAR 2.0 LZ decoder.
//
// The literal/length code yields one of: a literal byte (0-255); a repeat of the latest
// match (256); a match at one of the four latest distances with a coded length (257-260);
// a length-2 match at a short distance (261-268); a table block (269); or a long match with
// a length slot and a coded distance slot (270-297). Matches at far distances are one or two
// bytes longer than their slots say. Every match enters the ring of recent distances.
//
// Bytes are produced into the window and written out when fewer than 270 positions
// separate the write position from the first unwritten byte ahead of it (the longest
// match is 260 bytes), and at the end of the entry.
//
// Speed: the main loop keeps the window position, the bit position and the count of bytes
// left in locals, decodes most symbols with one quick-table lookup, and copies matches with
// block moves where the byte-at-a-time copy would give the same bytes. The bytes produced,
// the order of WriteOutput calls and the state left for the next entry are exactly those of
// the byte-at-a-time decoder.
//
// Damaged input: the decoder reports nothing, but it ends an entry early in two cases
// (the checksum test then rejects it): when it would decode bits that no packed byte
// supplied, and when a table block announces multimedia data, which it does not decode.
#include "unpack/lz_decoder.h"

#include <cstring>

#include "archive/extract.h"
#include "unpack/bit_input.h"
#include "unpack/huffman.h"

namespace {

constexpr uint32_t kFlushMargin = 270;  // > kMaxMatchLength: no unwritten byte is overwritten

int32_t ClampLeft(int64_t left) {
  return left < INT32_MIN ? INT32_MIN : left > INT32_MAX ? INT32_MAX : int32_t(left);
}

// Copies length bytes from distance back, oldest first, as the byte-at-a-time copy would:
// an overlapping match re-reads the bytes it has just written. Returns the new position.
inline uint32_t CopyWithinWindow(uint8_t* window, uint32_t pos, uint32_t length,
                                 uint32_t distance) {
  const uint32_t src = (pos - distance) & kWindowMask;
  if (pos + length <= kWindowSize && src + length <= kWindowSize) {
    uint8_t* out = window + pos;
    const uint8_t* in = window + src;
    if (src == pos) {
      // distance 0 or 2^20: every byte is copied onto itself.
    } else if (src > pos || distance >= length) {
      // Source ahead of the target, or no overlap: a forward byte copy equals a move.
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

// The bit reader of the main loop: the same bits at the same input positions as
// PeekBits16/SkipBits, held in a 64-bit register so that a symbol costs a shift, one table
// lookup and a shift. bits holds the upcoming input bits, most significant first, of which
// count are counted (Fill keeps at least 56: more than the 51 bits of the longest symbol
// with its extra bits); next is the first input byte not yet counted. The input position of
// the state is next * 8 - count bits.
struct Cursor {
  const uint8_t* input;
  uint32_t next;
  uint64_t bits;
  uint32_t count;
  uint32_t lastPeek;    // kept here and stored into the state at the sync points
  uint32_t lastSymbol;

  void Start(uint32_t inputPos, uint32_t bitPos) {
    next = inputPos;
    bits = 0;
    count = 0;
    Fill();
    Skip(bitPos);
  }
  // Adds whole bytes behind the counted bits. The bits beyond count already hold the same
  // input bits from the previous fill (or zeros), so OR-ing them in again changes nothing.
  void Fill() {
    const uint8_t* p = input + next;
    const uint64_t word = uint64_t(p[0]) << 56 | uint64_t(p[1]) << 48 | uint64_t(p[2]) << 40 |
                          uint64_t(p[3]) << 32 | uint64_t(p[4]) << 24 | uint64_t(p[5]) << 16 |
                          uint64_t(p[6]) << 8 | uint64_t(p[7]);
    bits |= word >> count;
    next += (63 - count) >> 3;
    count |= 56;
  }
  uint32_t Consumed() const { return next * 8 - count; }
  uint32_t InputPos() const { return Consumed() >> 3; }
  uint32_t BitPos() const { return Consumed() & 7; }
  uint32_t Peek() const { return uint32_t(bits >> 48); }
  void Skip(uint32_t n) {
    bits <<= n;
    count -= n;
  }
  uint32_t Read(uint32_t n) {
    if (n == 0) return 0;
    const uint32_t value = uint32_t(bits >> (64 - n));
    Skip(n);
    return value;
  }
  uint32_t Decode(const HuffmanTable& table) {
    const uint32_t peek = Peek();
    lastPeek = peek;
    const uint32_t quick = table.quick[peek >> (16 - kQuickBits)];
    uint32_t length, symbol;
    if (quick) {
      length = quick >> 12;
      symbol = quick & 0xFFF;
    } else {
      symbol = SearchSymbol(&table, peek, &length);
    }
    Skip(length);
    lastSymbol = symbol;
    return symbol;
  }
};

}  // namespace

void InitDecoder(ExtractContext* context, bool solid) {
  DecoderState& d = context->decoder;
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

void CopyMatch(ExtractContext* context) {
  DecoderState& d = context->decoder;
  RecordMatch(d, d.matchLength, d.matchDistance);
  context->unpackedBytesLeft = ClampLeft(int64_t(context->unpackedBytesLeft) - d.matchLength);
  d.windowPos = CopyWithinWindow(d.window, d.windowPos, d.matchLength, d.matchDistance);
}

void FlushWindow(ExtractContext* context) {
  DecoderState& d = context->decoder;
  if (d.windowPos < d.flushedPos) {
    WriteOutput(context, d.window + d.flushedPos, int32_t(kWindowSize - d.flushedPos));
    WriteOutput(context, d.window, int32_t(d.windowPos));
  } else {
    WriteOutput(context, d.window + d.flushedPos, int32_t(d.windowPos - d.flushedPos));
  }
  d.flushedPos = d.windowPos;
}

void ReadTrailingTables(ExtractContext* context) {
  DecoderState& d = context->decoder;
  if (int64_t(d.inputEnd) < int64_t(d.inputPos) + 5) return;
  if (d.multimediaMode) {
    if (DecodeSymbol(context, d.channelTableRefs[d.currentChannel]) == 256) ReadTableBlock(context);
  } else {
    if (DecodeSymbol(context, &d.literalTable) == kSymbolTableBlock) ReadTableBlock(context);
  }
}

void UnpackEntry(ExtractContext* context, uint8_t* window, bool solid) {
  DecoderState& d = context->decoder;
  d.window = window;
  InitDecoder(context, solid);
  RefillInput(context, true);
  if (!solid) ReadTableBlock(context);

  // The decoder's hot fields live in locals between the calls that need the state itself
  // (refill, flush, table block); window writes could otherwise alias every one of them.
  Cursor in{d.inputBuffer, 0, 0, 0, d.lastPeek, d.lastSymbol};
  in.Start(d.inputPos, d.inputBitPos);
  uint32_t pos = d.windowPos;
  uint32_t flushed = d.flushedPos;
  uint32_t dataEnd = d.inputDataEnd;
  int32_t multimedia = d.multimediaMode;
  int64_t left = int64_t(context->unpackedBytesLeft) - 1;  // run until the size is reached
  bool endedEarly = false;
  auto save = [&] {
    d.inputPos = in.InputPos();
    d.inputBitPos = in.BitPos();
    d.lastPeek = in.lastPeek;
    d.lastSymbol = in.lastSymbol;
    d.windowPos = pos;
    context->unpackedBytesLeft = ClampLeft(left);
  };
  auto load = [&] {
    in.Start(d.inputPos, d.inputBitPos);
    in.lastPeek = d.lastPeek;
    in.lastSymbol = d.lastSymbol;
    pos = d.windowPos;
    flushed = d.flushedPos;
    dataEnd = d.inputDataEnd;
    multimedia = d.multimediaMode;
  };
  const HuffmanTable& literals = d.literalTable;
  const HuffmanTable& distances = d.distanceTable;
  const HuffmanTable& repeatLengths = d.repeatLengthTable;

  while (left >= 0) {
    pos &= kWindowMask;
    if (in.InputPos() > kRefillMainLoop) {
      save();
      RefillInput(context, false);
      load();
    }
    // The one guard against damaged input: stop before decoding bits that no packed byte
    // supplied (the stale buffer could otherwise yield table blocks forever), and before
    // decoding multimedia data as LZ symbols (it would only produce garbage).
    if (in.InputPos() >= dataEnd || multimedia != 0) {
      endedEarly = true;
      break;
    }
    if (flushed != pos && ((flushed - pos) & kWindowMask) < kFlushMargin) {
      save();
      FlushWindow(context);
      load();
    }

    in.Fill();  // enough bits for the symbol and all its extra bits
    const uint32_t s = in.Decode(literals);
    if (s < kLiteralCount) {
      window[pos++] = uint8_t(s);
      --left;
      continue;
    }
    uint32_t length, distance;
    if (s >= kSymbolLongFirst) {
      const uint32_t slot = s - kSymbolLongFirst;
      length = kLengthBase[slot] + kLongMatchMinLength + in.Read(kLengthBits[slot]);
      const uint32_t t = in.Decode(distances);
      distance = kDistanceBase[t] + 1 + in.Read(kDistanceBits[t]);
      if (distance >= kBonusDistanceFar) ++length;
      if (distance >= kBonusDistanceMid) ++length;
    } else if (s == kSymbolTableBlock) {
      save();
      ReadTableBlock(context);
      load();
      continue;
    } else if (s == kSymbolRepeatLast) {
      length = d.lastLength;
      distance = d.lastDistance;
    } else if (s <= kSymbolRecentLast) {
      distance = d.recentDistances[(d.recentDistanceCount - (s - kSymbolRepeatLast)) % kRecentDistanceCount];
      const uint32_t r = in.Decode(repeatLengths);
      length = kLengthBase[r] + kRecentMatchMinLength + in.Read(kLengthBits[r]);
      if (distance >= kBonusDistanceFar) ++length;
      if (distance >= kBonusDistanceMid) ++length;
      if (distance >= kBonusDistanceNear) ++length;
    } else {
      const uint32_t slot = s - kSymbolShortFirst;
      distance = kShortBase[slot] + 1 + in.Read(kShortBits[slot]);
      length = kShortMatchLength;
    }
    d.matchLength = length;
    d.matchDistance = distance;
    RecordMatch(d, length, distance);
    left -= length;
    pos = CopyWithinWindow(window, pos, length, distance);
  }
  save();
  if (!endedEarly) ReadTrailingTables(context);  // after an early end there is nothing sound to read
  FlushWindow(context);
}
