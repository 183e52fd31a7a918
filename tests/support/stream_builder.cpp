// The test encoder of RAR 2.0 streams (see stream_builder.h).
#include "support/stream_builder.h"

#include <algorithm>
#include <queue>
#include <stdexcept>

#include "unpack/rar20_tables.h"

namespace rartest {
namespace {

// Canonical codes for lengths: shorter codes first, then by symbol number.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& lengths) {
  uint32_t count[16] = {}, next[16] = {};
  for (uint8_t l : lengths) count[l & 15]++;
  count[0] = 0;
  uint32_t code = 0;
  for (int l = 1; l < 16; ++l) {
    code = (code + count[l - 1]) << 1;
    next[l] = code;
  }
  std::vector<uint32_t> codes(lengths.size());
  for (size_t i = 0; i < lengths.size(); ++i)
    if (lengths[i]) codes[i] = next[lengths[i]]++;
  return codes;
}

uint32_t SlotFor(const uint8_t* base, const uint8_t* bits, uint32_t n, uint32_t value) {
  for (uint32_t s = 0; s < n; ++s)
    if (value >= base[s] && value < uint32_t(base[s]) + (1u << bits[s])) return s;
  throw std::invalid_argument("value has no slot");
}

}  // namespace

std::vector<uint8_t> CodeLengthsFor(const std::vector<uint64_t>& frequencies) {
  std::vector<uint64_t> f = frequencies;
  for (;;) {
    // Huffman tree by repeated merging of the two lightest nodes.
    struct Node {
      uint64_t weight;
      int left, right;
    };
    std::vector<Node> nodes;
    std::vector<int> live;
    for (size_t i = 0; i < f.size(); ++i)
      if (f[i]) {
        nodes.push_back({f[i], -1, int(i)});
        live.push_back(int(nodes.size() - 1));
      }
    std::vector<uint8_t> lengths(f.size(), 0);
    if (live.empty()) return lengths;
    if (live.size() == 1) {
      lengths[size_t(nodes[0].right)] = 1;
      return lengths;
    }
    // Lightest first; ties by node number so the result does not depend on the library.
    auto heavier = [&](int a, int b) {
      return nodes[a].weight != nodes[b].weight ? nodes[a].weight > nodes[b].weight : a > b;
    };
    std::priority_queue<int, std::vector<int>, decltype(heavier)> queue(heavier, live);
    while (queue.size() > 1) {
      const int a = queue.top();
      queue.pop();
      const int b = queue.top();
      queue.pop();
      nodes.push_back({nodes[a].weight + nodes[b].weight, a, b});
      queue.push(int(nodes.size() - 1));
    }
    live.assign(1, queue.top());
    uint32_t deepest = 0;
    std::vector<std::pair<int, uint32_t>> stack = {{live[0], 0}};
    while (!stack.empty()) {
      auto [n, depth] = stack.back();
      stack.pop_back();
      if (nodes[n].left < 0) {
        lengths[size_t(nodes[n].right)] = uint8_t(depth);
        deepest = std::max(deepest, depth);
      } else {
        stack.push_back({nodes[n].left, depth + 1});
        stack.push_back({nodes[n].right, depth + 1});
      }
    }
    if (deepest <= kMaxCodeLength) return lengths;
    for (uint64_t& w : f)
      if (w) w = (w + 1) / 2;  // flatten and try again
  }
}

std::vector<uint8_t> FlatLzLengths() {
  std::vector<uint64_t> f(kLzLengthCount, 1);
  std::vector<uint8_t> lit = CodeLengthsFor(std::vector<uint64_t>(f.begin(), f.begin() + 298));
  std::vector<uint8_t> dist = CodeLengthsFor(std::vector<uint64_t>(48, 1));
  std::vector<uint8_t> rep = CodeLengthsFor(std::vector<uint64_t>(28, 1));
  lit.insert(lit.end(), dist.begin(), dist.end());
  lit.insert(lit.end(), rep.begin(), rep.end());
  return lit;
}

StreamBuilder::StreamBuilder(bool keepOutput) : previous_(kAllLengthsSize, 0), keepOutput_(keepOutput) {
  // A complete pre-code: symbols 0-12 in 4 bits, 13-18 in 5 bits.
  preLengths_.assign(kPreCodeSize, 4);
  for (uint32_t s = 13; s < kPreCodeSize; ++s) preLengths_[s] = 5;
  preCodes_ = CanonicalCodes(preLengths_);
}

void StreamBuilder::Bits(uint32_t value, uint32_t count) {
  for (uint32_t i = count; i-- > 0;) {
    if (bitCount_ == 0) bytes_.push_back(0);
    if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> bitCount_);
    bitCount_ = (bitCount_ + 1) & 7;
  }
}

void StreamBuilder::Symbol(const std::vector<uint8_t>& lengths,
                           const std::vector<uint32_t>& codes, uint32_t symbol) {
  if (symbol >= lengths.size() || lengths[symbol] == 0)
    throw std::invalid_argument("symbol has no code in the current table");
  Bits(codes[symbol], lengths[symbol]);
}

void StreamBuilder::TableBlock(const std::vector<uint8_t>& lengths, bool keep) {
  if (lengths.size() != kLzLengthCount) throw std::invalid_argument("374 lengths expected");
  Bits(keep ? 1 : 0, 2);  // LZ block; keep flag
  if (!keep) std::fill(previous_.begin(), previous_.end(), 0);
  for (uint32_t s = 0; s < kPreCodeSize; ++s) Bits(preLengths_[s], 4);
  for (size_t i = 0; i < lengths.size();) {
    size_t zeros = 0;
    while (i + zeros < lengths.size() && lengths[i + zeros] == 0 && zeros < 138) ++zeros;
    size_t same = 0;
    while (i > 0 && i + same < lengths.size() && lengths[i + same] == lengths[i - 1] && same < 6)
      ++same;
    if (zeros >= 11) {
      Symbol(preLengths_, preCodes_, 18);
      Bits(uint32_t(zeros - 11), 7);
      i += zeros;
    } else if (zeros >= 3) {
      Symbol(preLengths_, preCodes_, 17);
      Bits(uint32_t(zeros - 3), 3);
      i += zeros;
    } else if (same >= 3) {
      Symbol(preLengths_, preCodes_, 16);
      Bits(uint32_t(same - 3), 2);
      i += same;
    } else {
      Symbol(preLengths_, preCodes_, uint32_t((lengths[i] - previous_[i]) & 15));
      ++i;
    }
  }
  std::fill(previous_.begin(), previous_.end(), 0);
  std::copy(lengths.begin(), lengths.end(), previous_.begin());
  lengths_[0].assign(lengths.begin(), lengths.begin() + 298);
  lengths_[1].assign(lengths.begin() + 298, lengths.begin() + 346);
  lengths_[2].assign(lengths.begin() + 346, lengths.end());
  for (int t = 0; t < 3; ++t) codes_[t] = CanonicalCodes(lengths_[t]);
}

void StreamBuilder::MultimediaTableBlock(int channels) {
  Bits(2, 2);  // multimedia, keep flag 0
  Bits(uint32_t(channels - 1), 2);
  for (uint32_t s = 0; s < kPreCodeSize; ++s) Bits(preLengths_[s], 4);
  for (int i = 0; i < 257 * channels; ++i) Symbol(preLengths_, preCodes_, 8);
  std::fill(previous_.begin(), previous_.end(), 0);
  std::fill(previous_.begin(), previous_.begin() + 257 * channels, 8);
}

void StreamBuilder::Escape() { Symbol(lengths_[0], codes_[0], kSymbolTableBlock); }

void StreamBuilder::Literal(uint8_t byte) {
  Symbol(lengths_[0], codes_[0], byte);
  produced_ += 1;
  if (keepOutput_) output_.push_back(byte);
}

void StreamBuilder::Record(uint32_t length, uint32_t distance) {
  recent_[recentCount_ % 4] = distance;
  recentCount_++;
  lastDistance_ = distance;
  lastLength_ = length;
  // What the window holds distance bytes back: an earlier output byte, or the zero the
  // window was cleared to. Distance 0 reads the byte about to be overwritten, written a
  // whole window (2^20 bytes) earlier.
  produced_ += length;
  if (!keepOutput_) return;
  const size_t back = distance == 0 ? kWindowSize : distance;
  for (uint32_t i = 0; i < length; ++i) {
    const size_t at = output_.size();
    output_.push_back(at >= back ? output_[at - back] : 0);
  }
}

void StreamBuilder::Long(uint32_t length, uint32_t distance) {
  LongCoded(length - kLongMatchMinLength - (distance >= kBonusDistanceFar) -
                (distance >= kBonusDistanceMid),
            distance);
}

void StreamBuilder::LongCoded(uint32_t coded, uint32_t distance) {
  const uint32_t slot = SlotFor(kLengthBase, kLengthBits, kLengthSlotCount, coded);
  Symbol(lengths_[0], codes_[0], kSymbolLongFirst + slot);
  Bits(coded - kLengthBase[slot], kLengthBits[slot]);
  uint32_t dslot = 0;
  while (dslot + 1 < kDistanceSlotCount && kDistanceBase[dslot + 1] <= distance - 1) ++dslot;
  Symbol(lengths_[1], codes_[1], dslot);
  Bits(distance - 1 - kDistanceBase[dslot], kDistanceBits[dslot]);
  Record(coded + kLongMatchMinLength + (distance >= kBonusDistanceFar) +
             (distance >= kBonusDistanceMid),
         distance);
}

void StreamBuilder::Short(uint32_t distance) {
  const uint32_t slot = SlotFor(kShortBase, kShortBits, kShortSlotCount, distance - 1);
  Symbol(lengths_[0], codes_[0], kSymbolShortFirst + slot);
  Bits(distance - 1 - kShortBase[slot], kShortBits[slot]);
  Record(kShortMatchLength, distance);
}

void StreamBuilder::Recent(uint32_t k, uint32_t length) {
  const uint32_t distance = recentDistance(k);
  RecentCoded(k, length - kRecentMatchMinLength - (distance >= kBonusDistanceFar) -
                     (distance >= kBonusDistanceMid) - (distance >= kBonusDistanceNear));
}

void StreamBuilder::RecentCoded(uint32_t k, uint32_t coded) {
  const uint32_t distance = recentDistance(k);
  const uint32_t slot = SlotFor(kLengthBase, kLengthBits, kLengthSlotCount, coded);
  Symbol(lengths_[0], codes_[0], kSymbolRepeatLast + k);
  Symbol(lengths_[2], codes_[2], slot);
  Bits(coded - kLengthBase[slot], kLengthBits[slot]);
  Record(coded + kRecentMatchMinLength + (distance >= kBonusDistanceFar) +
             (distance >= kBonusDistanceMid) + (distance >= kBonusDistanceNear),
         distance);
}

void StreamBuilder::Repeat() {
  Symbol(lengths_[0], codes_[0], kSymbolRepeatLast);
  Record(lastLength_, lastDistance_);
}

Bytes StreamBuilder::Finish() {
  Bytes out;
  out.swap(bytes_);
  bitCount_ = 0;
  return out;
}

}  // namespace rartest
