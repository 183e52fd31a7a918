// SHA-256 against the published examples of FIPS 180-2 and lengths on each side of the
// padding's boundaries (56 and 64 bytes modulo 64), whole and fed in uneven pieces.
#include "image/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string HashOf(const std::string& text, size_t piece) {
  Sha256 hash;
  StartSha256(&hash);
  for (size_t at = 0; at < text.size(); at += piece) {
    const size_t n = text.size() - at < piece ? text.size() - at : piece;
    AddSha256(&hash, reinterpret_cast<const uint8_t*>(text.data()) + at, n);
  }
  uint8_t digest[32];
  FinishSha256(&hash, digest);
  return Sha256Hex(digest);
}

TEST(Sha256, PublishedExamplesAndPaddingBoundaries) {
  const struct {
    std::string text, digest;
  } cases[] = {
      {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248D6A61D20638B8E5C026930C3E6039A33CE45964FF2167F6ECEDD419DB06C1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "CF5B16A778AF8380036CE59E7B0492370B249B11E8F07A51AFAC45037AFEE9D1"},
      {std::string(55, 'a'), "9F4390F8D30C2DD92EC9F095B65E2B9AE9B0A925A5258E241C9F1E910F734318"},
      {std::string(56, 'a'), "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
      {std::string(63, 'a'), "7D3E74A05D7DB15BCE4AD9EC0658EA98E3F06EEECF16B4C6FFF2DA457DDC2F34"},
      {std::string(64, 'a'), "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
      {std::string(119, 'a'), "31EBA51C313A5C08226ADF18D4A359CFDFD8D2E816B13F4AF952F7EA6584DCFB"},
      {std::string(120, 'a'), "2F3D335432C70B580AF0E8E1B3674A7C020D683AA5F73AAAEDFDC55AF904C21C"},
      {std::string(1000000, 'a'), "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t(1), size_t(7), size_t(64), size_t(1000), size_t(1) << 20}) {
      if (piece == 1 && c.text.size() > 1000) continue;
      EXPECT_EQ(HashOf(c.text, piece), c.digest) << c.text.size() << " bytes in pieces of " << piece;
    }
  }
}

}  // namespace
