// The straightforward reference decoder (see reference_decoder.h).
#include "support/reference_decoder.h"

#include <cstring>

#include "unpack/decoder_state.h"
#include "unpack/rar20_tables.h"

namespace {

void Refill(DecoderState& d, bool first) {
  if (first) {
    const int32_t got = d.io.readPacked(d.io.value, d.inputBuffer, 8192);
    d.inputEnd = got;
    d.inputDataEnd = got > 0 ? uint32_t(got) : 0;
    d.inputPos = 0;
    return;
  }
  for (int i = 0; i < 32; ++i) d.inputBuffer[i] = d.inputBuffer[8160 + i];
  d.inputPos = d.inputPos % 32;
  const int32_t got = d.io.readPacked(d.io.value, d.inputBuffer + 32, 8160);
  if (got > 0) {
    d.inputEnd = got + 32;
    d.inputDataEnd = uint32_t(got) + 32;
  } else {
    d.inputEnd = int32_t(d.inputPos);
    d.inputDataEnd = d.inputDataEnd > 8160 ? d.inputDataEnd - 8160 : 0;
  }
}

uint32_t Peek(const DecoderState& d) {
  const uint32_t b0 = d.inputBuffer[d.inputPos], b1 = d.inputBuffer[d.inputPos + 1],
                 b2 = d.inputBuffer[d.inputPos + 2];
  return ((b0 * 65536 + b1 * 256 + b2) >> (8 - d.inputBitPos)) & 0xFFFF;
}

void Skip(DecoderState& d, uint32_t n) {
  const uint32_t t = d.inputBitPos + n;
  d.inputPos += t / 8;
  d.inputBitPos = t % 8;
}

uint32_t Field(DecoderState& d, uint32_t n) {
  if (n == 0) return 0;
  const uint32_t v = Peek(d) >> (16 - n);
  Skip(d, n);
  return v;
}

void Build(const uint8_t* lengths, HuffmanTable* t, uint32_t count) {
  uint32_t lengthCount[16] = {};
  for (uint32_t i = 0; i < count; ++i) lengthCount[lengths[i] % 16] += 1;
  lengthCount[0] = 0;
  uint32_t nextIndex[16] = {};
  t->limit[0] = 0;
  t->firstIndex[0] = 0;
  uint32_t n = 0;
  for (uint32_t l = 1; l <= 15; ++l) {
    n = 2 * (n + lengthCount[l]);
    uint32_t m = n << (15 - l);
    if (m > 0xFFFF) m = 0xFFFF;
    t->limit[l] = m;
    t->firstIndex[l] = t->firstIndex[l - 1] + lengthCount[l - 1];
    nextIndex[l] = t->firstIndex[l];
  }
  for (uint32_t i = 0; i < count; ++i)
    if (lengths[i] != 0) t->symbols[nextIndex[lengths[i] % 16]++] = i;
  t->symbolCount = count;
}

// The fixed bisection: limit[8]; then [4] or [12]; then [2], [6], [10] or [14]; then the odd.
uint32_t Decode(DecoderState& d, const HuffmanTable* t) {
  const uint32_t p = Peek(d);
  const uint32_t q = p & 0xFFFE;
  uint32_t l;
  if (q < t->limit[8]) {
    if (q < t->limit[4]) {
      if (q < t->limit[2]) l = q < t->limit[1] ? 1 : 2;
      else l = q < t->limit[3] ? 3 : 4;
    } else {
      if (q < t->limit[6]) l = q < t->limit[5] ? 5 : 6;
      else l = q < t->limit[7] ? 7 : 8;
    }
  } else {
    if (q < t->limit[12]) {
      if (q < t->limit[10]) l = q < t->limit[9] ? 9 : 10;
      else l = q < t->limit[11] ? 11 : 12;
    } else {
      if (q < t->limit[14]) l = q < t->limit[13] ? 13 : 14;
      else l = 15;
    }
  }
  Skip(d, l);
  uint32_t index = t->firstIndex[l] + ((q - t->limit[l - 1]) >> (16 - l));
  if (index >= t->symbolCount) index = 0;
  return t->symbols[index];
}

void TableBlock(DecoderState& d) {
  if (d.inputPos > 8167) Refill(d, false);
  const uint32_t p = Peek(d);
  d.multimediaMode = int32_t(p & 0x8000);
  if (!(p & 0x4000)) std::memset(d.previousLengths, 0, 1028);
  Skip(d, 2);
  uint32_t count = 374;
  if (d.multimediaMode) {
    d.channelCount = int32_t((p >> 12) & 3) + 1;
    if (d.currentChannel >= d.channelCount) d.currentChannel = 0;
    Skip(d, 2);
    count = 257 * uint32_t(d.channelCount);
  }
  uint8_t pre[19];
  for (int i = 0; i < 19; ++i) pre[i] = uint8_t(Field(d, 4));
  Build(pre, &d.preCodeTable, 19);
  uint8_t lengths[1028] = {};
  uint32_t i = 0;
  while (i < count) {
    if (d.inputPos > 8187) Refill(d, false);
    const uint32_t s = Decode(d, &d.preCodeTable);
    if (s <= 15) {
      lengths[i] = uint8_t((s + d.previousLengths[i]) % 16);
      i++;
    } else if (s == 16) {
      uint32_t run = 3 + Field(d, 2);
      const uint8_t v = i > 0 ? lengths[i - 1] : 0;
      while (run-- > 0 && i < count) lengths[i++] = v;
    } else if (s == 17) {
      uint32_t run = 3 + Field(d, 3);
      while (run-- > 0 && i < count) lengths[i++] = 0;
    } else {
      uint32_t run = 11 + Field(d, 7);
      while (run-- > 0 && i < count) lengths[i++] = 0;
    }
  }
  if (d.multimediaMode) {
    for (int k = 0; k < d.channelCount; ++k) Build(lengths + 257 * k, d.channelTableRefs[k], 257);
  } else {
    Build(lengths, &d.literalTable, 298);
    Build(lengths + 298, &d.distanceTable, 48);
    Build(lengths + 346, &d.repeatLengthTable, 28);
  }
  std::memcpy(d.previousLengths, lengths, 1028);
}

int32_t Lower(int32_t left, uint32_t by) {
  const int64_t v = int64_t(left) - by;
  return v < INT32_MIN ? INT32_MIN : int32_t(v);
}

void Copy(DecoderState& d, uint32_t length, uint32_t distance, int32_t* left) {
  d.recentDistances[d.recentDistanceCount % 4] = distance;
  d.lastDistance = distance;
  d.recentDistanceCount += 1;
  d.lastLength = length;
  *left = Lower(*left, length);
  for (uint32_t i = 0; i < length; ++i) {
    d.window[d.windowPos] = d.window[(d.windowPos - distance) % 0x100000];
    d.windowPos = (d.windowPos + 1) % 0x100000;
  }
}

void Flush(DecoderState& d) {
  if (d.windowPos < d.flushedPos) {
    d.io.writeOutput(d.io.value, d.window + d.flushedPos, int32_t(0x100000 - d.flushedPos));
    d.io.writeOutput(d.io.value, d.window, int32_t(d.windowPos));
  } else {
    d.io.writeOutput(d.io.value, d.window + d.flushedPos, int32_t(d.windowPos - d.flushedPos));
  }
  d.flushedPos = d.windowPos;
}

void Start(DecoderState& d, bool solid) {
  d.inputBitPos = 0;
  d.inputPos = 0;
  if (solid) return;
  d.currentChannel = 0;
  for (int i = 0; i < 4; ++i) d.recentDistances[i] = 0;
  d.recentDistanceCount = 0;
  d.lastLength = 0;
  d.lastDistance = 0;
  std::memset(d.window, 0, 0x100000);
  std::memset(d.previousLengths, 0, 1028);
  d.flushedPos = 0;
  d.windowPos = 0;
}

// One symbol of the main loop and what it stands for; false at the entry's early end.
bool Step(DecoderState& d, int32_t* left) {
  d.windowPos = d.windowPos % 0x100000;
  if (d.inputPos > 8162) Refill(d, false);
  if (d.inputPos >= d.inputDataEnd || d.multimediaMode != 0) return false;
  if (d.flushedPos != d.windowPos && (d.flushedPos - d.windowPos) % 0x100000 < 270) Flush(d);
  const uint32_t s = Decode(d, &d.literalTable);
  uint32_t length, distance;
  if (s <= 255) {
    d.window[d.windowPos] = uint8_t(s);
    d.windowPos += 1;
    *left = Lower(*left, 1);
    return true;
  } else if (s >= 270) {
    const uint32_t slot = s - 270;
    length = kLengthBase[slot] + 3 + Field(d, kLengthBits[slot]);
    const uint32_t t = Decode(d, &d.distanceTable);
    distance = kDistanceBase[t] + 1 + Field(d, kDistanceBits[t]);
    if (distance >= 0x40000) length += 1;
    if (distance >= 0x2000) length += 1;
  } else if (s == 269) {
    TableBlock(d);
    return true;
  } else if (s == 256) {
    length = d.lastLength;
    distance = d.lastDistance;
  } else if (s <= 260) {
    distance = d.recentDistances[(d.recentDistanceCount - (s - 256)) % 4];
    const uint32_t r = Decode(d, &d.repeatLengthTable);
    length = kLengthBase[r] + 2 + Field(d, kLengthBits[r]);
    if (distance >= 0x40000) length += 1;
    if (distance >= 0x2000) length += 1;
    if (distance >= 0x101) length += 1;
  } else {
    const uint32_t j = s - 261;
    distance = kShortBase[j] + 1 + Field(d, kShortBits[j]);
    length = 2;
  }
  Copy(d, length, distance, left);
  return true;
}

}  // namespace

void ReferenceUnpackEntry(DecoderState* state, uint8_t* window, bool solid,
                          int32_t* unpackedBytesLeft, const DecoderIo* io) {
  DecoderState& d = *state;
  d.window = window;
  d.io = *io;
  Start(d, solid);
  Refill(d, true);
  if (!solid) TableBlock(d);
  *unpackedBytesLeft = Lower(*unpackedBytesLeft, 1);
  bool endedEarly = false;
  while (*unpackedBytesLeft >= 0) {
    if (!Step(d, unpackedBytesLeft)) {
      endedEarly = true;
      break;
    }
  }
  if (!endedEarly && d.inputEnd >= int32_t(d.inputPos) + 5) {
    if (d.multimediaMode) {
      if (Decode(d, d.channelTableRefs[d.currentChannel]) == 256) TableBlock(d);
    } else {
      if (Decode(d, &d.literalTable) == 269) TableBlock(d);
    }
  }
  Flush(d);
}
