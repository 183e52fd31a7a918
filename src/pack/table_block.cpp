// Writing a table block (see table_block.h).
#include "pack/table_block.h"

#include <algorithm>
#include <cstring>

#include "pack/huffman_encoder.h"

namespace {

struct LengthSymbol {
  uint8_t symbol;  // pre-code symbol 0..18
  uint8_t extra;   // value of its extra bits (runs only)
};

struct TableCoding {
  LengthSymbol symbols[kLzLengthCount];
  uint32_t symbolCount = 0;
  uint8_t preCodeLengths[kPreCodeSize] = {0};
  uint32_t bits = 0;  // whole block: 2 flag bits, 76 bits of pre-code lengths, the symbols
};

const uint32_t kExtraBits[kPreCodeSize] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                           kPreCodeRepeatBits, kPreCodeZerosShortBits,
                                           kPreCodeZerosLongBits};

// Cheapest sequence of pre-code symbols for `lengths` against `base`, given a price in bits
// for each pre-code symbol (its code length plus extra bits). Walks from the end: cost[i] is
// the cheapest coding of lengths i..n-1, and each position tries its delta, a repeat of the
// previous length (3 to 6) and a run of zeros (3 to 10 short, 11 to 138 long); of equal
// costs the shortest step wins.
void ChooseSymbols(const uint8_t* lengths, const uint8_t* base, const uint32_t* price, TableCoding& out) {
  const uint32_t n = kLzLengthCount;
  uint32_t cost[kLzLengthCount + 1];
  LengthSymbol choice[kLzLengthCount];
  uint16_t step[kLzLengthCount];
  cost[n] = 0;
  // The long runs of zeros from i end at positions i+11 .. i+zeroRun, a window that slides
  // down with i. `window` holds its candidate ends from the nearest to the farthest, each
  // cheaper than every nearer one (a farther end that costs no less than a nearer one never
  // wins again), so the last is the cheapest, and the nearest of that cost.
  uint16_t window[kLzLengthCount + 1];
  uint32_t front = n, back = n;  // window[front .. back-1]
  uint32_t zeroRun = 0;          // zeros from i on, at most 138
  for (uint32_t i = n; i-- > 0;) {
    uint8_t delta = uint8_t((lengths[i] - base[i]) & 15);
    uint32_t best = price[delta] + cost[i + 1];
    LengthSymbol bestChoice = {delta, 0};
    uint32_t bestStep = 1;
    // Runs: how far the same value continues from i.
    uint8_t previous = i ? lengths[i - 1] : 0;
    uint32_t sameRun = 0;
    while (i + sameRun < n && sameRun < 6 && lengths[i + sameRun] == previous) ++sameRun;
    for (uint32_t k = 3; k <= sameRun; ++k) {
      uint32_t c = price[kPreCodeRepeatPrevious] + cost[i + k];
      if (c < best) best = c, bestChoice = {uint8_t(kPreCodeRepeatPrevious), uint8_t(k - 3)}, bestStep = k;
    }
    zeroRun = lengths[i] == 0 ? std::min<uint32_t>(zeroRun + 1, 138) : 0;
    for (uint32_t k = 3; k <= zeroRun && k <= 10; ++k) {
      uint32_t c = price[kPreCodeZerosShort] + cost[i + k];
      if (c < best) best = c, bestChoice = {uint8_t(kPreCodeZerosShort), uint8_t(k - 3)}, bestStep = k;
    }
    if (zeroRun >= 11) {
      const uint32_t nearest = i + 11;
      while (front < back && cost[window[front]] >= cost[nearest]) ++front;
      window[--front] = uint16_t(nearest);
      while (window[back - 1] > i + zeroRun) --back;  // beyond the 138 a run may cover
      const uint32_t end = window[back - 1];
      const uint32_t c = price[kPreCodeZerosLong] + cost[end];
      if (c < best) best = c, bestChoice = {uint8_t(kPreCodeZerosLong), uint8_t(end - nearest)}, bestStep = end - i;
    } else {
      front = back = n;
    }
    cost[i] = best;
    choice[i] = bestChoice;
    step[i] = uint16_t(bestStep);
  }
  out.symbolCount = 0;
  for (uint32_t i = 0; i < n; i += step[i]) out.symbols[out.symbolCount++] = choice[i];
}

// Codes the lengths against `base`: two rounds of choosing symbols and fitting the
// pre-code to them, then the exact size.
void CodeTable(const uint8_t* lengths, const uint8_t* base, TableCoding& out) {
  // First guess of the prices: small deltas and runs are common.
  uint32_t price[kPreCodeSize];
  for (uint32_t s = 0; s < kPreCodeSize; ++s) price[s] = (s == 0 ? 2 : 5) + kExtraBits[s];
  for (int round = 0; round < 2; ++round) {
    ChooseSymbols(lengths, base, price, out);
    uint32_t freqs[kPreCodeSize] = {0};
    for (uint32_t k = 0; k < out.symbolCount; ++k) freqs[out.symbols[k].symbol]++;
    BuildCodeLengths(freqs, kPreCodeSize, kMaxCodeLength, out.preCodeLengths);
    for (uint32_t s = 0; s < kPreCodeSize; ++s)
      price[s] = (out.preCodeLengths[s] ? out.preCodeLengths[s] : 12) + kExtraBits[s];
  }
  // The second round's symbols may not match the pre-code fitted to them only if a symbol
  // it never used before appears; refit once more so every symbol used has a code.
  uint32_t freqs[kPreCodeSize] = {0};
  for (uint32_t k = 0; k < out.symbolCount; ++k) freqs[out.symbols[k].symbol]++;
  BuildCodeLengths(freqs, kPreCodeSize, kMaxCodeLength, out.preCodeLengths);
  out.bits = 2 + kPreCodeSize * kPreCodeLengthBits;
  for (uint32_t k = 0; k < out.symbolCount; ++k)
    out.bits += out.preCodeLengths[out.symbols[k].symbol] + kExtraBits[out.symbols[k].symbol];
}

// Codes the block both ways (keep flag 1 against the history, 0 against zeros) and
// returns the flag of the cheaper.
bool CodeCheapest(const uint8_t* lengths, const TableHistory& history, TableCoding& keep, TableCoding& fresh) {
  static const uint8_t kZeros[kLzLengthCount] = {0};
  CodeTable(lengths, history.lengths, keep);
  CodeTable(lengths, kZeros, fresh);
  return keep.bits < fresh.bits;
}

}  // namespace

uint32_t TableBlockBits(const uint8_t* lengths, const TableHistory& history) {
  TableCoding keep, fresh;
  return CodeCheapest(lengths, history, keep, fresh) ? keep.bits : fresh.bits;
}

void WriteTableBlock(BitWriter& w, const uint8_t* lengths, TableHistory& history) {
  TableCoding keep, fresh;
  bool useKeep = CodeCheapest(lengths, history, keep, fresh);
  const TableCoding& c = useKeep ? keep : fresh;
  PutBits(w, 0, 1);  // LZ data, not multimedia
  PutBits(w, useKeep ? 1 : 0, 1);
  for (uint32_t s = 0; s < kPreCodeSize; ++s) PutBits(w, c.preCodeLengths[s], kPreCodeLengthBits);
  uint16_t codes[kPreCodeSize];
  AssignCanonicalCodes(c.preCodeLengths, kPreCodeSize, codes);
  for (uint32_t k = 0; k < c.symbolCount; ++k) {
    uint8_t s = c.symbols[k].symbol;
    PutBits(w, codes[s], c.preCodeLengths[s]);
    PutBits(w, c.symbols[k].extra, kExtraBits[s]);
  }
  std::memset(history.lengths, 0, sizeof history.lengths);
  std::memcpy(history.lengths, lengths, kLzLengthCount);
}
