// The state of the RAR 2.0 decoder: the decode table of one prefix code, the functions
// through which the decoder reaches its caller, and the decoder's record. The record is one
// of its own: the extraction run keeps it as the last member of its ExtractContext (and
// allocates it zero-filled with the rest), a test may keep it anywhere. The decoder knows
// nothing of its caller beyond the two functions and their opaque value.
#pragma once
#include <cstdint>

#include "unpack/rar20_tables.h"

// Bytes of packed input held at once, and the refill thresholds of the callers: a refill
// keeps the last 32 bytes, so a symbol that straddles the refill point is still whole.
constexpr uint32_t kInputBufferSize = 8192;
constexpr uint32_t kInputKeep = 32;                         // tail moved to the front by a refill
constexpr uint32_t kRefillMainLoop = kInputBufferSize - 30;  // 8162: one symbol and its match bits
constexpr uint32_t kRefillTableStart = kInputBufferSize - 25;  // 8167: block header, 19 pre-code lengths
constexpr uint32_t kRefillTableSymbol = kInputBufferSize - 5;  // 8187: one pre-code symbol and its run
// Bytes after the input buffer that the decoder's 8-byte loads near the end may touch; no
// bit of them is consumed before the buffer is refilled.
constexpr uint32_t kInputPadding = 8;

// Codes of up to this many bits are decoded with one lookup in HuffmanTable::quick.
constexpr uint32_t kQuickBits = 10;

// Fields of a quick entry.
constexpr uint32_t kQuickTotalMask = 0x3F;   // bits 0-5: code length + extra bits (at most 10 + 16)
constexpr uint32_t kQuickLengthShift = 8;    // bits 8-11: code length, 1..kQuickBits
constexpr uint32_t kQuickSymbolShift = 16;   // bits 16-31: the symbol

// The decode table of one canonical prefix code. Codes are compared left-justified in 16
// bits: every code of length <= L lies below limit[L].
struct HuffmanTable {
  uint32_t symbolCount;                 // symbols the table was built for (its capacity)
  uint32_t limit[16];                   // limit[L]: sum over l <= L of count(l) * 2^(16-l), capped at 0xFFFF
  uint32_t firstIndex[16];              // index in symbols of the first symbol of code length L
  uint32_t symbols[kLiteralTableSize];  // symbols by code length, then by symbol number
  // Derived from the fields above whenever the table is built, for speed: for each value of
  // the next kQuickBits bits, an entry (kQuick* below) with the symbol, its code length and
  // the code length plus the count of extra bits that follow the symbol's code (the slot's
  // raw bits, for the tables that code slots), or 0 when the code is longer than kQuickBits
  // and the limits must be searched. One lookup so gives all the bits a slot consumes.
  uint32_t quick[1u << kQuickBits];
};

// Where the decoder's bytes come from and where they go, with the caller's own value handed
// back to both (the extraction run passes its context).
struct DecoderIo {
  // Up to count of the entry's packed bytes into dest; the count delivered, fewer near the
  // end of the packed data, 0 or below when nothing was read.
  int32_t (*readPacked)(void* value, uint8_t* dest, int32_t count);
  // count produced bytes, in order; the result (bytes accepted) is not looked at: what a
  // short write loses shows in the caller's checksum.
  int32_t (*writeOutput)(void* value, const uint8_t* bytes, int32_t count);
  void* value;
};

// The decoder's fields, in their fixed order.
struct DecoderState {
  uint8_t* window;             // the run's 1 MB sliding window, passed in by the driver
  uint32_t windowPos;          // next write position in the window
  uint32_t flushedPos;         // window bytes before this position have been written out
  uint8_t inputBuffer[kInputBufferSize + kInputPadding];  // packed bytes of the current entry
  uint8_t previousLengths[kAllLengthsSize];  // code lengths of the latest table block
  uint32_t inputPos;           // byte position in inputBuffer
  uint32_t inputBitPos;        // bit 0..7 within that byte; 0 is the most significant bit
  int32_t inputEnd;            // valid bytes in inputBuffer as the refills count them
  uint32_t lastDistance;       // distance of the latest match
  uint32_t lastLength;         // length of the latest match
  uint32_t recentDistances[kRecentDistanceCount];  // ring of the four latest match distances
  uint32_t recentDistanceCount;  // distances pushed so far; next slot = count mod 4
  HuffmanTable* channelTableRefs[kMaxChannels];  // set by PrepareDecoder to channelTables[k]
  int32_t multimediaMode;      // 0x8000 when the latest table block announced multimedia data
  int32_t channelCount;        // channels of the latest multimedia table block, 1..4
  int32_t currentChannel;      // channel whose table the trailing check uses
  HuffmanTable preCodeTable;        // 19 symbols: the code-length code of a table block
  HuffmanTable literalTable;        // 298 symbols: literals, matches, table-block escape
  HuffmanTable distanceTable;       // 48 distance slots of long matches
  HuffmanTable repeatLengthTable;   // 28 length slots of recent-distance matches
  HuffmanTable channelTables[kMaxChannels];  // 257 symbols each, multimedia channels
  // End of the packed bytes actually delivered, as a position in inputBuffer. Unlike
  // inputEnd it stays put when a refill finds the input exhausted, so the decoder can tell
  // when it has consumed bits that no packed byte supplied (it then ends the entry).
  uint32_t inputDataEnd;
  DecoderIo io;                // the caller's input and output, as handed to UnpackEntry
};
