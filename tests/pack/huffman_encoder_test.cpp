// Code lengths and canonical codes: limited to 15 bits, a complete prefix code, optimal
// when the limit does not bind, and every code decodes to its symbol with the decoder's
// own table construction and symbol decoding.
#include "pack/huffman_encoder.h"

#include <gtest/gtest.h>

#include <queue>
#include <random>
#include <string>
#include <vector>

#include "support/decoder_harness.h"
#include "unpack/huffman.h"

namespace {

// Kraft sum in units of 2^-15.
uint64_t Kraft(const std::vector<uint8_t>& lengths) {
  uint64_t sum = 0;
  for (uint8_t l : lengths)
    if (l) sum += uint64_t(1) << (15 - l);
  return sum;
}

uint64_t Cost(const std::vector<uint32_t>& freqs, const std::vector<uint8_t>& lengths) {
  uint64_t bits = 0;
  for (size_t i = 0; i < freqs.size(); ++i) bits += uint64_t(freqs[i]) * lengths[i];
  return bits;
}

struct FrequencyCase {
  const char* name;
  std::vector<uint32_t> freqs;
};

std::vector<FrequencyCase> Cases() {
  std::vector<FrequencyCase> cases;
  std::vector<uint32_t> fib(298, 0);
  uint32_t a = 1, b = 1;
  for (size_t i = 0; i < 30; ++i) fib[i * 7] = a, b = a + b, a = b - a;  // depth ~29 unlimited
  cases.push_back({"fibonacci", fib});
  std::vector<uint32_t> powers(48, 0);
  for (size_t i = 0; i < 24; ++i) powers[i] = 1u << i;
  cases.push_back({"powers of two", powers});
  cases.push_back({"uniform", std::vector<uint32_t>(298, 5)});
  std::vector<uint32_t> two(28, 0);
  two[3] = 1, two[20] = 1000000;
  cases.push_back({"two symbols", two});
  std::mt19937 rng(7);
  std::vector<uint32_t> random(298);
  for (auto& f : random) f = rng() % 3 == 0 ? 0 : rng() % 100000;
  cases.push_back({"random", random});
  std::vector<uint32_t> skewed(19);
  for (size_t i = 0; i < 19; ++i) skewed[i] = uint32_t(1) << (i % 31);
  cases.push_back({"pre-code sized, skewed", skewed});
  return cases;
}

TEST(HuffmanEncoder, LengthsFormACompleteCodeWithinFifteenBits) {
  for (const FrequencyCase& c : Cases()) {
    std::vector<uint8_t> lengths(c.freqs.size());
    BuildCodeLengths(c.freqs.data(), uint32_t(c.freqs.size()), 15, lengths.data());
    for (size_t i = 0; i < lengths.size(); ++i) {
      EXPECT_LE(lengths[i], 15) << c.name;
      EXPECT_EQ(lengths[i] != 0, c.freqs[i] != 0) << c.name << " symbol " << i;  // two or more used
    }
    EXPECT_EQ(Kraft(lengths), uint64_t(1) << 15) << c.name;
  }
}

// Cost of an optimal prefix code without a length limit: the sum of the weights of the
// inner nodes of a Huffman tree.
uint64_t OptimalCost(const std::vector<uint32_t>& freqs) {
  std::priority_queue<uint64_t, std::vector<uint64_t>, std::greater<uint64_t>> q;
  for (uint32_t f : freqs)
    if (f) q.push(f);
  if (q.size() == 1) return q.top();
  uint64_t cost = 0;
  while (q.size() > 1) {
    uint64_t a = q.top();
    q.pop();
    uint64_t b = q.top();
    q.pop();
    cost += a + b;
    q.push(a + b);
  }
  return cost;
}

TEST(HuffmanEncoder, CodesAreOptimalWhereTheLimitDoesNotBindAndCloseWhereItDoes) {
  std::vector<uint32_t> dyadic = {8, 4, 2, 1, 1};
  std::vector<uint8_t> lengths(5);
  BuildCodeLengths(dyadic.data(), 5, 15, lengths.data());
  EXPECT_EQ(lengths, (std::vector<uint8_t>{1, 2, 3, 4, 4}));
  for (const FrequencyCase& c : Cases()) {
    std::vector<uint8_t> l(c.freqs.size());
    BuildCodeLengths(c.freqs.data(), uint32_t(c.freqs.size()), 15, l.data());
    const uint64_t optimal = OptimalCost(c.freqs);
    const uint64_t cost = Cost(c.freqs, l);
    EXPECT_GE(cost, optimal) << c.name;
    const bool binds = std::string(c.name) == "fibonacci" || std::string(c.name) == "powers of two" ||
                       std::string(c.name) == "pre-code sized, skewed";
    if (binds) {
      EXPECT_LE(cost, optimal + optimal / 20) << c.name;
    } else {
      EXPECT_EQ(cost, optimal) << c.name;
    }
  }
}

TEST(HuffmanEncoder, SingleOrNoSymbol) {
  std::vector<uint32_t> one(48, 0);
  one[17] = 3;
  std::vector<uint8_t> lengths(48, 9);
  BuildCodeLengths(one.data(), 48, 15, lengths.data());
  // A one-bit code, made complete by a neighbour that is never sent.
  for (size_t i = 0; i < 48; ++i) EXPECT_EQ(lengths[i], i == 17 || i == 18 ? 1 : 0);
  one.assign(28, 0);
  one[27] = 1;
  BuildCodeLengths(one.data(), 28, 15, lengths.data());
  for (size_t i = 0; i < 28; ++i) EXPECT_EQ(lengths[i], i == 26 || i == 27 ? 1 : 0);
  std::vector<uint32_t> none(28, 0);
  BuildCodeLengths(none.data(), 28, 15, lengths.data());
  for (size_t i = 0; i < 28; ++i) EXPECT_EQ(lengths[i], 0);
}

// Each symbol's canonical code, placed at the head of the decoder's input, decodes to that
// symbol and consumes exactly its length.
TEST(HuffmanEncoder, CanonicalCodesDecodeWithTheDecodersTables) {
  DecoderHarness h;
  DecoderState* context = h.decoder();
  DecoderState& d = *context;
  for (const FrequencyCase& c : Cases()) {
    const uint32_t count = uint32_t(c.freqs.size());
    std::vector<uint8_t> lengths(count);
    BuildCodeLengths(c.freqs.data(), count, 15, lengths.data());
    std::vector<uint16_t> codes(count);
    AssignCanonicalCodes(lengths.data(), count, codes.data());
    HuffmanTable& table = d.literalTable;
    BuildHuffmanTable(lengths.data(), &table, count);
    for (uint32_t s = 0; s < count; ++s) {
      if (!lengths[s]) continue;
      for (uint32_t fill : {0u, 1u}) {  // whatever follows the code must not matter
        uint32_t bits = uint32_t(codes[s]) << (24 - lengths[s]);
        if (fill) bits |= (1u << (24 - lengths[s])) - 1;
        d.inputBuffer[0] = uint8_t(bits >> 16);
        d.inputBuffer[1] = uint8_t(bits >> 8);
        d.inputBuffer[2] = uint8_t(bits);
        d.inputBuffer[3] = fill ? 0xFF : 0;
        d.inputPos = 0;
        d.inputBitPos = 0;
        d.inputEnd = 4;
        EXPECT_EQ(DecodeSymbol(context, &table), s) << c.name;
        EXPECT_EQ(d.inputPos * 8 + d.inputBitPos, lengths[s]) << c.name << " symbol " << s;
      }
    }
  }
}

}  // namespace
