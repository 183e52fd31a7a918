// The decoder harness (see decoder_harness.h).
#include "support/decoder_harness.h"

#include <cstdlib>
#include <fstream>
#include <string>

#include "archive/crc32.h"
#include "archive/memory_buffer.h"
#include "unpack/lz_decoder.h"

DecoderHarness::DecoderHarness(DecodeFunction decode)
    : decode_(decode ? decode : UnpackEntry), memory_{} {
  context_ = static_cast<ExtractContext*>(std::calloc(1, sizeof(ExtractContext)));
  window_ = static_cast<uint8_t*>(std::calloc(kWindowSize, 1));
  for (uint32_t k = 0; k < kMaxChannels; ++k)
    context_->decoder.channelTableRefs[k] = &context_->decoder.channelTables[k];
  BuildCrcTable(context_);
  context_->window = window_;
}

DecoderHarness::~DecoderHarness() {
  Release(&memory_);
  std::free(window_);
  std::free(context_);
}

std::vector<uint8_t> DecoderHarness::Run(const std::vector<uint8_t>& packed,
                                         int32_t unpackedSize, bool solid) {
  const std::string path = dir_.File("packed" + std::to_string(runs_++));
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(packed.data()), std::streamsize(packed.size()));
  }
  const std::u16string wide = Wide(path);
  context_->archiveFile = OpenReadStream(wide.c_str());
  Clear(&memory_);
  context_->currentMemoryBuffer = &memory_;
  context_->outputFile = nullptr;
  context_->discardFlag = 0;
  context_->dataCrc = 0xFFFFFFFFu;
  context_->packedBytesLeft = int32_t(packed.size());
  context_->unpackedBytesLeft = unpackedSize;
  decode_(context_, window_, solid);
  CloseStream(context_->archiveFile);
  context_->archiveFile = nullptr;
  context_->currentMemoryBuffer = nullptr;
  if (!memory_.data) return {};
  return std::vector<uint8_t>(memory_.data, memory_.data + memory_.used);
}
