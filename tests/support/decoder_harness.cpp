// The decoder harness (see decoder_harness.h).
#include "support/decoder_harness.h"

#include <cstdlib>
#include <cstring>

#include "unpack/lz_decoder.h"

DecoderHarness::DecoderHarness(DecodeFunction decode) : decode_(decode ? decode : UnpackEntry) {
  state_ = static_cast<DecoderState*>(std::calloc(1, sizeof(DecoderState)));
  window_ = static_cast<uint8_t*>(std::calloc(kWindowSize, 1));
  PrepareDecoder(state_);
  state_->window = window_;
  state_->io = Io();
}

DecoderHarness::~DecoderHarness() {
  std::free(window_);
  std::free(state_);
}

int32_t DecoderHarness::Read(void* harness, uint8_t* dest, int32_t count) {
  DecoderHarness* h = static_cast<DecoderHarness*>(harness);
  if (count <= 0) return 0;
  size_t n = h->packed_.size() - h->readPos_;
  if (n > size_t(count)) n = size_t(count);
  if (n > 0) std::memcpy(dest, h->packed_.data() + h->readPos_, n);
  h->readPos_ += n;
  return int32_t(n);
}

int32_t DecoderHarness::Write(void* harness, const uint8_t* bytes, int32_t count) {
  DecoderHarness* h = static_cast<DecoderHarness*>(harness);
  h->outputCalls_ += 1;
  if (count <= 0) return 0;
  h->output_.insert(h->output_.end(), bytes, bytes + count);
  return count;
}

void DecoderHarness::SetInput(const std::vector<uint8_t>& packed) {
  packed_ = packed;
  readPos_ = 0;
  state_->io = Io();
}

std::vector<uint8_t> DecoderHarness::Run(const std::vector<uint8_t>& packed,
                                         int32_t unpackedSize, bool solid) {
  SetInput(packed);
  output_.clear();
  outputCalls_ = 0;
  unpackedBytesLeft_ = unpackedSize;
  const DecoderIo io = Io();
  decode_(state_, window_, solid, &unpackedBytesLeft_, &io);
  return output_;
}
