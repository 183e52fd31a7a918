// Runs the RAR 2.0 decoder on hand-made packed streams, entry by entry, from memory: the
// harness owns a zero-filled DecoderState readied as an extraction run readies its own, a
// window, a reader over the packed bytes of the current entry and a writer that collects
// what the decoder hands out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "unpack/decoder_state.h"

class DecoderHarness {
 public:
  // decode: the decoder to run (UnpackEntry by default; a test may pass another with the
  // same signature, such as a straightforward reference decoder).
  using DecodeFunction = void (*)(DecoderState*, uint8_t* window, bool solid,
                                  int32_t* unpackedBytesLeft, const DecoderIo* io);
  explicit DecoderHarness(DecodeFunction decode = nullptr);
  ~DecoderHarness();
  DecoderHarness(const DecoderHarness&) = delete;
  DecoderHarness& operator=(const DecoderHarness&) = delete;

  // Decodes one entry whose packed data is packed and whose header gives unpackedSize;
  // returns every byte the decoder handed to its output.
  std::vector<uint8_t> Run(const std::vector<uint8_t>& packed, int32_t unpackedSize, bool solid);

  // Makes packed the entry's data that the next refills read, without decoding (for tests
  // of the decoder's pieces); the state's io is set to the harness's reader and writer.
  void SetInput(const std::vector<uint8_t>& packed);

  DecoderState* decoder() { return state_; }
  const DecoderState& state() const { return *state_; }
  uint8_t* window() { return window_; }
  // The decoder's count of the latest Run: unpacked size - 1 - bytes produced.
  int32_t unpackedBytesLeft() const { return unpackedBytesLeft_; }
  // Packed bytes of the current input not yet read.
  int32_t packedBytesLeft() const { return int32_t(packed_.size() - readPos_); }
  // Output calls of the latest Run, those with a count of 0 included.
  int32_t outputCalls() const { return outputCalls_; }

 private:
  static int32_t Read(void* harness, uint8_t* dest, int32_t count);
  static int32_t Write(void* harness, const uint8_t* bytes, int32_t count);
  DecoderIo Io() { return DecoderIo{Read, Write, this}; }

  DecodeFunction decode_;
  DecoderState* state_;
  uint8_t* window_;
  std::vector<uint8_t> packed_;
  size_t readPos_ = 0;
  std::vector<uint8_t> output_;
  int32_t outputCalls_ = 0;
  int32_t unpackedBytesLeft_ = 0;
};
