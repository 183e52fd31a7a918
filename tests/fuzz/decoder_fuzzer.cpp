// Fuzz target: the fast decoder against the straightforward reference decoder. The input is
// split into up to four entries (solid or not, with sizes taken from the input), decoded
// from memory; both decoders must produce the same bytes and leave the same state, or the
// target aborts.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "support/decoder_harness.h"
#include "support/reference_decoder.h"

namespace {

bool SameTable(const HuffmanTable& a, const HuffmanTable& b) {
  return a.symbolCount == b.symbolCount && !std::memcmp(a.limit, b.limit, sizeof a.limit) &&
         !std::memcmp(a.firstIndex, b.firstIndex, sizeof a.firstIndex) &&
         !std::memcmp(a.symbols, b.symbols, sizeof a.symbols);
}

bool SameState(DecoderHarness& x, DecoderHarness& y) {
  const DecoderState& a = x.state();
  const DecoderState& b = y.state();
  bool same = a.windowPos == b.windowPos && a.flushedPos == b.flushedPos &&
              !std::memcmp(a.previousLengths, b.previousLengths, sizeof a.previousLengths) &&
              a.inputPos == b.inputPos && a.inputBitPos == b.inputBitPos &&
              a.inputEnd == b.inputEnd && a.lastDistance == b.lastDistance &&
              a.lastLength == b.lastLength &&
              !std::memcmp(a.recentDistances, b.recentDistances, sizeof a.recentDistances) &&
              a.recentDistanceCount == b.recentDistanceCount &&
              a.multimediaMode == b.multimediaMode && a.channelCount == b.channelCount &&
              a.currentChannel == b.currentChannel && SameTable(a.preCodeTable, b.preCodeTable) &&
              SameTable(a.literalTable, b.literalTable) &&
              SameTable(a.distanceTable, b.distanceTable) &&
              SameTable(a.repeatLengthTable, b.repeatLengthTable);
  for (int k = 0; k < 4; ++k) same = same && SameTable(a.channelTables[k], b.channelTables[k]);
  return same && x.unpackedBytesLeft() == y.unpackedBytesLeft() &&
         x.outputCalls() == y.outputCalls();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static DecoderHarness* fast = new DecoderHarness();
  static DecoderHarness* slow = new DecoderHarness(ReferenceUnpackEntry);
  size_t at = 0;
  for (int entry = 0; entry < 4 && at + 4 <= size; ++entry) {
    // Per entry: flags (bit 0 solid), 2 bytes of size (scaled), 1 byte share of the rest.
    const bool solid = entry > 0 && (data[at] & 1);
    const int32_t unpacked = int32_t((data[at + 1] | data[at + 2] << 8) * (1 + (data[at] >> 4)));
    const size_t share = data[at + 3];
    at += 4;
    const size_t length = entry == 3 || share == 255 ? size - at : (size - at) * share / 256;
    const std::vector<uint8_t> packed(data + at, data + at + length);
    at += length;
    const std::vector<uint8_t> a = fast->Run(packed, unpacked, solid);
    const std::vector<uint8_t> b = slow->Run(packed, unpacked, solid);
    if (a != b || !SameState(*fast, *slow)) std::abort();
  }
  if (std::memcmp(fast->window(), slow->window(), kWindowSize) != 0) std::abort();
  return 0;
}
