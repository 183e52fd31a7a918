// A hand encoder of RAR 2.0 streams for tests: table blocks from given code lengths, and
// symbols chosen by the test (literals, and each kind of match with its length and
// distance). It mirrors the decoder's match history, so a test states what it wants copied
// and the builder picks slots, extra bits and bonuses. Output bits are MSB first; Finish
// pads the last byte with zero bits.
#pragma once
#include <cstdint>
#include <vector>

namespace rartest {

using Bytes = std::vector<uint8_t>;

// Code lengths (at most 15) of a prefix code for the given symbol frequencies; symbols of
// frequency 0 get length 0. A single used symbol gets length 1.
std::vector<uint8_t> CodeLengthsFor(const std::vector<uint64_t>& frequencies);

// The 374 lengths of an LZ table block where every literal/length, distance and repeat
// length symbol is present (a complete code of 298 + 48 + 28 symbols).
std::vector<uint8_t> FlatLzLengths();

class StreamBuilder {
 public:
  // keepOutput: keep every byte a decoder would produce (output()); without it only the
  // count is kept, for entries too large to mirror in memory.
  explicit StreamBuilder(bool keepOutput = true);

  // A table block, without the 269 escape that precedes it inside an entry (see Escape).
  // lengths: 374 code lengths (literal/length, distance, repeat length). keep: encode them
  // as deltas to the previous block's lengths; runs of zeros and repeats use the pre-code's
  // run symbols.
  void TableBlock(const std::vector<uint8_t>& lengths, bool keep = false);
  // A multimedia table block of channels (1..4) channels with all-8 lengths.
  void MultimediaTableBlock(int channels);
  // Symbol 269: a table block follows.
  void Escape();

  void Literal(uint8_t byte);
  // A long match (symbols 270..297) copying length bytes from distance back; length is the
  // final length, distance bonuses included.
  void Long(uint32_t length, uint32_t distance);
  // The same with the length as coded (slot base + extra bits, 0..255), before the minimum
  // of 3 and the distance bonuses are added.
  void LongCoded(uint32_t coded, uint32_t distance);
  // A length-2 match at distance 1..256 (symbols 261..268).
  void Short(uint32_t distance);
  // A match at the k-th latest distance (1 = newest; symbols 257..260), final length.
  void Recent(uint32_t k, uint32_t length);
  // The same with the length as coded, before the minimum of 2 and the bonuses.
  void RecentCoded(uint32_t k, uint32_t coded);
  // Symbol 256: the latest match again.
  void Repeat();
  // Raw bits, for damaged streams.
  void Bits(uint32_t value, uint32_t count);

  // The bytes written so far, the last one padded; starts the next entry's bytes. The
  // match history and tables are kept (for the solid entries that follow).
  Bytes Finish();
  // Bytes a decoder produces for the symbols so far (all entries since the builder was
  // made, that is since the last non-solid start), for checking.
  uint64_t produced() const { return produced_; }
  const Bytes& output() const { return output_; }
  // The match history as the decoder keeps it.
  uint32_t recentDistance(uint32_t k) const { return recent_[(recentCount_ - k) % 4]; }

 private:
  void Symbol(const std::vector<uint8_t>& lengths, const std::vector<uint32_t>& codes,
              uint32_t symbol);
  void Record(uint32_t length, uint32_t distance);
  std::vector<uint8_t> preLengths_;
  std::vector<uint32_t> preCodes_;
  std::vector<uint8_t> lengths_[3];   // literal/length, distance, repeat length
  std::vector<uint32_t> codes_[3];
  std::vector<uint8_t> previous_;     // lengths of the latest block (374)
  Bytes bytes_;
  uint32_t bitCount_ = 0;             // bits used in the last byte of bytes_ (0 = none open)
  uint32_t recent_[4] = {};
  uint32_t recentCount_ = 0;
  uint32_t lastLength_ = 0, lastDistance_ = 0;
  bool keepOutput_;
  Bytes output_;
  uint64_t produced_ = 0;
};

}  // namespace rartest
