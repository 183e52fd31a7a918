// Writes seed corpora for the fuzz targets: make_fuzz_seeds ARCHIVE_DIR STREAM_DIR.
// Archives: stored, compressed and solid entries, directories, sub-blocks and other block
// types, an executable image in front, and damaged copies. Streams: packed entries in the
// decoder fuzzer's layout.
#include <cstdio>
#include <string>

#include "support/rar_writer.h"
#include "support/stream_builder.h"

namespace {

using rartest::Bytes;
using rartest::RarWriter;
using rartest::StreamBuilder;

// A compressed entry of text-like data with every kind of match, and its output.
Bytes SampleStream(StreamBuilder& b, int seed, int symbols) {
  for (int i = 0; i < symbols; ++i) {
    const int k = (i * 7 + seed) % 9;
    if (k < 4) b.Literal(uint8_t("the setup "[(i + seed) % 10]));
    else if (k == 4) b.Long(4 + i % 30, 1 + (i * 13) % 40);
    else if (k == 5) b.Short(1 + i % 200);
    else if (k == 6) b.Recent(1 + i % 4, 3 + i % 9);
    else if (k == 7) b.Repeat();
    else b.Long(300 > i ? 5 : 40, 0x2000 + i);
  }
  return b.Finish();
}

void Save(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_fuzz_seeds ARCHIVE_DIR STREAM_DIR\n");
    return 2;
  }
  const std::string archives = argv[1], streams = argv[2];
  int count = 0;
  auto archive = [&](const RarWriter& w) {
    w.WriteFile(archives + "/seed" + std::to_string(count++) + ".rar");
  };

  RarWriter stored;
  stored.AddArchiveStart();
  stored.AddDirectory("docs");
  stored.AddStored("docs\\a.txt", rartest::BytesOf("hello, setup"));
  stored.AddSubBlock(Bytes(20, 7));
  stored.AddBlock(0x7A, 0x8000, Bytes(5, 1));
  stored.AddStored("setup.inf", rartest::BytesOf("ID=x\r\nGroup=y\r\n"));
  stored.AddBlock(0x7B, 0);
  archive(stored);

  RarWriter solid;
  solid.AddPrefix(Bytes(64, 0x4D));
  solid.AddArchiveStart();
  StreamBuilder b;
  b.TableBlock(rartest::FlatLzLengths());
  for (int e = 0; e < 3; ++e) {
    const uint64_t before = b.produced();
    const Bytes packed = SampleStream(b, e, 200);
    const Bytes content(b.output().begin() + long(before), b.output().end());
    solid.AddCompressed("entry" + std::to_string(e), content, packed,
                        e ? rartest::kFlagSolid : 0);
  }
  archive(solid);

  RarWriter damaged = solid;
  damaged.DamageByte(damaged.bytes().size() / 2);
  archive(damaged);

  RarWriter cut = solid;
  cut.Truncate(cut.bytes().size() - 20);
  archive(cut);

  // Streams: [flags, size low, size high, share] then packed bytes.
  StreamBuilder s;
  s.TableBlock(rartest::FlatLzLengths());
  const Bytes first = SampleStream(s, 1, 300);
  const uint32_t firstSize = uint32_t(s.produced());
  const Bytes second = SampleStream(s, 2, 100);
  const uint32_t secondSize = uint32_t(s.produced()) - firstSize;
  Bytes stream = {0, uint8_t(firstSize), uint8_t(firstSize >> 8), 255};
  stream.insert(stream.end(), first.begin(), first.end());
  Save(streams + "/single.bin", stream);
  Bytes two = {0, uint8_t(firstSize), uint8_t(firstSize >> 8),
               uint8_t(first.size() * 256 / (first.size() + second.size() + 4))};
  two.insert(two.end(), first.begin(), first.end());
  const Bytes head = {1, uint8_t(secondSize), uint8_t(secondSize >> 8), 255};
  two.insert(two.end(), head.begin(), head.end());
  two.insert(two.end(), second.begin(), second.end());
  Save(streams + "/solid.bin", two);
  return 0;
}
