// The certificate table check on its own bytes: the DER length forms at their limits, and the
// file offset each reason names. (What setuptool test says of whole signed setups is pinned in
// tests/tools/signature_report_test.cpp.)
#include "image/certificate_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A WIN_CERTIFICATE entry of PKCS#7 signed data around `der`, padded to 8 bytes.
Bytes Entry(const Bytes& der) {
  const uint32_t length = uint32_t(8 + der.size());
  Bytes entry(8 + der.size());
  const uint8_t header[8] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16), uint8_t(length >> 24),
                             0x00, 0x02, 2, 0};
  std::copy(header, header + 8, entry.begin());
  std::copy(der.begin(), der.end(), entry.begin() + 8);
  entry.resize((entry.size() + 7) & ~size_t(7), 0);
  return entry;
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(CertificateTable, DerLengthsAndTheOffsetsNamed) {
  const Bytes minimal = Entry({0x30, 0x00});
  struct Case {
    const char* what;
    Bytes table;
    const char* problem;  // null: sound
  };
  const Case cases[] = {
      {"a SEQUENCE with a four-byte length", Entry({0x30, 0x84, 0, 0, 0, 1, 0xAA}), nullptr},
      {"a SEQUENCE with a five-byte length", Entry({0x30, 0x85, 0, 0, 0, 0, 1, 0xAA}),
       "the entry at offset 4096 holds a DER SEQUENCE longer than the entry"},
      {"an indefinite length (BER, not DER)", Entry({0x30, 0x80, 0, 0}),
       "the entry at offset 4096 holds a DER SEQUENCE longer than the entry"},
      {"a second entry of another revision", minimal + Bytes{16, 0, 0, 0, 0x00, 0x01, 2, 0, 0x30, 0, 0, 0, 0, 0, 0, 0},
       "the entry at offset 4112 has revision 0x0100, not 0x0200"},
      {"an entry cut by the table's end", Bytes{16, 0, 0}, "the entry at offset 4096 is cut short by the table's end"},
      {"no entries", Bytes(), "it holds no entries"},
  };
  for (const Case& c : cases) {
    std::string problem = "unset";
    EXPECT_EQ(CheckCertificateTable(c.table.data(), c.table.size(), 4096, &problem), c.problem == nullptr) << c.what;
    EXPECT_EQ(problem, c.problem ? c.problem : "") << c.what;
  }
}

}  // namespace
