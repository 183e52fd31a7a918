// Fuzz target: ExtractArchive on arbitrary input files. Each input is written to a file and
// extracted once; entries go, in turn, to memory, to one scratch output file, or nowhere,
// so every output path of the driver is exercised. Every run must end with one of the
// run's result codes; crashes, hangs and out-of-bounds accesses are the fuzzer's findings.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "archive/extract.h"

namespace {

struct Run {
  uint32_t turn;       // chooses the next entry's treatment
  const char16_t* outputPath;
  uint64_t memoryBytes;
};

int Callback(char16_t* name, const uint8_t* data, uint32_t size, void* value) {
  Run* run = static_cast<Run*>(value);
  if (data) {  // second call of a memory entry: the bytes must be readable, 0-terminated
    if (data[size] != 0) std::abort();
    run->memoryBytes += size;
    return 0;
  }
  switch (run->turn++ % 3) {
    case 0: name[0] = 1; name[1] = 0; break;   // memory entry
    case 1: name[0] = 0; break;                // decode and drop
    default: {                                 // file entry, always the same scratch file
      int i = 0;
      for (; run->outputPath[i] && i < 259; ++i) name[i] = run->outputPath[i];
      name[i] = 0;
    }
  }
  return 0;
}

std::u16string Widen(const std::string& text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string pid = std::to_string(getpid());
  static const std::string inputPath = "fuzz-input-" + pid + ".bin";
  static const std::u16string input = Widen(inputPath);
  static const std::string outputPath = "fuzz-output-" + pid + ".bin";
  static const std::u16string output = Widen(outputPath);
  // An earlier input may have left the output file read-only; each input starts afresh.
  std::remove(outputPath.c_str());
  FILE* f = std::fopen(inputPath.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  Run run = {size ? data[size - 1] : 0u, output.c_str(), 0};
  const int result = ExtractArchive(input.c_str(), Callback, &run);
  switch (result) {
    case kExtractOk: case kExtractNoContext: case kExtractNoArchive: case kExtractBadChecksum:
    case kExtractNoWindow: case kExtractNoCopyBuffer: case kExtractCannotCreate:
      break;
    default:
      std::abort();  // not a result code of a run
  }
  return 0;
}
