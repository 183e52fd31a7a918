// Runs the RAR 2.0 decoder on hand-made packed streams, entry by entry, outside an
// extraction run: the harness owns a zero-filled ExtractContext set up as the driver sets
// it up (CRC table, channel table references, window) and collects each entry's output.
#pragma once
#include <cstdint>
#include <vector>

#include "archive/extract_context.h"
#include "support/temp_dir.h"

class DecoderHarness {
 public:
  // decode: the decoder to run (UnpackEntry by default; a test may pass another with the
  // same signature, such as a straightforward reference decoder).
  using DecodeFunction = void (*)(ExtractContext*, uint8_t*, bool);
  explicit DecoderHarness(DecodeFunction decode = nullptr);
  ~DecoderHarness();
  DecoderHarness(const DecoderHarness&) = delete;
  DecoderHarness& operator=(const DecoderHarness&) = delete;

  // Decodes one entry whose packed data is packed and whose header gives unpackedSize;
  // returns every byte the decoder handed to WriteOutput.
  std::vector<uint8_t> Run(const std::vector<uint8_t>& packed, int32_t unpackedSize, bool solid);

  ExtractContext* context() { return context_; }
  const DecoderState& state() const { return context_->decoder; }
  uint8_t* window() { return window_; }
  // Successful Append calls (= WriteOutput calls) of the latest Run.
  int32_t outputCalls() const { return memory_.count; }

 private:
  DecodeFunction decode_;
  ExtractContext* context_;
  uint8_t* window_;
  MemoryBuffer memory_;
  TempDir dir_;
  int runs_ = 0;
};
