// Fuzz target: the certificate table check (image/certificate_table.h) on arbitrary bytes,
// given as they are and wrapped in a well-formed WIN_CERTIFICATE header, so that the DER
// check is reached at once. Besides reading nothing out of bounds: a sound table ends exactly
// where its last padded entry does, so one cut by a byte, or followed by eight zero bytes,
// is never sound.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/certificate_table.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool Sound(const Bytes& table) {
  std::string problem;
  const bool sound = CheckCertificateTable(table.data(), table.size(), 0x1000, &problem);
  if (sound != problem.empty()) std::abort();  // a reason exactly when it is not sound
  return sound;
}

void Check(const Bytes& table) {
  if (!Sound(table)) return;
  if (Sound(Bytes(table.begin(), table.end() - 1))) std::abort();
  Bytes longer = table;
  longer.resize(table.size() + 8, 0);
  if (Sound(longer)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Check(Bytes(data, data + size));
  const uint32_t length = uint32_t(8 + size);
  Bytes entry = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24), 0x00, 0x02, 2, 0};
  entry.insert(entry.end(), data, data + size);
  entry.resize((entry.size() + 7) & ~size_t(7), 0);
  Check(entry);
  return 0;
}
