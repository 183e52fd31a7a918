// What setuptool test says about the bytes a setup's certificate directory entry names
// behind its archive: "signed" only for a table of PKCS#7 signed data entries that fills it
// exactly; anything else (another setup appended, a blob of archive markers, an entry of
// another revision or type) is "not a valid certificate table", and its bytes are stray.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/pe_image_builder.h"
#include "support/rar_writer.h"
#include "support/temp_dir.h"

namespace {

using rartest::Bytes;

constexpr size_t kCertificateDirectory = 0x58 + 96 + 4 * 8;  // in imagetest::PeImage

void Put32(Bytes& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

Bytes operator+(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A DER SEQUENCE of `contentBytes` zero bytes, its length in the short or the long form.
Bytes Sequence(size_t contentBytes) {
  Bytes der = {0x30};
  if (contentBytes < 0x80) {
    der.push_back(uint8_t(contentBytes));
  } else {
    der.push_back(0x83);
    for (int shift = 16; shift >= 0; shift -= 8) der.push_back(uint8_t(contentBytes >> shift));
  }
  return der + Bytes(contentBytes, 0);
}

// A WIN_CERTIFICATE entry around `certificate`, padded to 8 bytes.
Bytes Entry(const Bytes& certificate, uint16_t revision = 0x0200, uint16_t type = 2) {
  Bytes entry(8, 0);
  Put32(entry, 0, uint32_t(8 + certificate.size()));
  entry[4] = uint8_t(revision), entry[5] = uint8_t(revision >> 8);
  entry[6] = uint8_t(type), entry[7] = uint8_t(type >> 8);
  entry = entry + certificate;
  entry.resize((entry.size() + 7) & ~size_t(7), 0);
  return entry;
}

// A stub image and an archive from the test writer, ending in its end block.
Bytes UnsignedSetup() {
  rartest::RarWriter w;
  w.AddPrefix(imagetest::PeImage(0x1000));
  w.AddArchiveStart();
  w.AddStored("readme.txt", rartest::BytesOf("read me"));
  w.AddBlock(kBlockEnd, kBlockSkipIfUnknown);
  return w.bytes();
}

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

class SignatureReport : public testing::Test {
 protected:
  Outcome Test(const Bytes& setup) {
    const std::string path = dir_.File("setup.exe"), out = dir_.File("stdout"), err = dir_.File("stderr");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(setup.data()), std::streamsize(setup.size()));
    const char* bin = std::getenv("KORV_BIN_DIR");
    const std::string command = "'" + std::string(bin ? bin : ".") + "/setuptool' test '" + path + "' >'" + out +
                                "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
  }
  std::string File() { return dir_.File("setup.exe"); }
  TempDir dir_;
};

TEST_F(SignatureReport, SignedOnlyForATableOfSignedDataThatFillsTheDirectoryEntry) {
  const Bytes setup = UnsignedSetup();
  const int64_t end = int64_t(setup.size());  // the archive's end
  const Bytes minimal = Entry(Sequence(0));   // 10 bytes, padded to 16
  Bytes markers;
  for (int i = 0; i < 100; ++i) markers = markers + Bytes{'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
  const Bytes two = Entry(Sequence(300)) + minimal, huge = Entry(Sequence(2 << 20));
  struct Case {
    const char* what;
    Bytes behind;       // after the archive
    int64_t at;         // where the directory entry says the table is, from the archive's end
    uint32_t size;      // and its size
    const char* reason;  // why it is not a certificate table, or null when it is one
    std::string stray;   // the stray bytes named, or empty for none
  };
  const Case cases[] = {
      {"one minimal entry", minimal, 0, 16, nullptr, ""},
      {"two entries, a long-form length in the first", two, 0, uint32_t(two.size()), nullptr, ""},
      {"stray bytes on both sides of a table", Bytes{0, 'x', 0} + minimal + Bytes{'y'}, 3, 16, nullptr,
       "2 bytes after the archive (the first at offset " + std::to_string(end + 1) + ")"},
      {"revision 1.0", Entry(Sequence(0), 0x0100), 0, 16, "has revision 0x0100, not 0x0200", ""},
      {"an X.509 certificate", Entry(Sequence(0), 0x0200, 1), 0, 16, "is of type 1, not 2", ""},
      {"no SEQUENCE", Entry({0x31, 0x00}), 0, 16, "holds no DER SEQUENCE", ""},
      {"a SEQUENCE longer than its entry", Entry({0x30, 0x05, 0, 0}), 0, 16, "a DER SEQUENCE longer than the entry",
       ""},
      {"a table larger than its entries", minimal + Bytes(8, 0), 0, 24, "its entries end after 16 of its 24 bytes",
       "24 bytes after the archive (the first at offset " + std::to_string(end) + ")"},
      {"a table shorter than its entry", minimal, 0, 8, "states 10 bytes, and 8 are left", ""},
      {"a table without the last entry's padding", minimal, 0, 12, "padded to 8 bytes, ends beyond the table", ""},
      {"a second setup", setup, 0, uint32_t(setup.size()), "states 23117 bytes", ""},  // "MZ\0\0"
      {"archive markers", markers, 0, uint32_t(markers.size()), "states 561144146 bytes", ""},  // "Rar!"
      {"more than a signature takes", huge, 0, uint32_t(huge.size()), "larger than the 1048576 bytes", ""},
      {"a table beyond the file", minimal, 8, 16, "runs past the end of the file", ""},
      {"a table in the archive", minimal, -8, 16, "starts before the archive's end", ""},
  };
  for (const Case& c : cases) {
    Bytes file = setup + c.behind;
    Put32(file, kCertificateDirectory, uint32_t(end + c.at));
    Put32(file, kCertificateDirectory + 4, c.size);
    const Outcome o = Test(file);
    EXPECT_EQ(o.exitCode, 0) << c.what << ": " << o.err;
    if (!c.reason) {
      EXPECT_NE(o.out.find("\nsigned: certificate table of " + std::to_string(c.size) + " bytes at offset " +
                           std::to_string(end + c.at) + "\n"),
                std::string::npos)
          << c.what << ": " << o.out;
      if (!c.stray.empty())
        EXPECT_NE(o.err.find(c.stray), std::string::npos) << c.what << ": " << o.err;
      else
        EXPECT_EQ(o.err, "") << c.what;
      continue;
    }
    EXPECT_NE(o.out.find("\nunsigned\n"), std::string::npos) << c.what << ": " << o.out;
    const std::string warning = "setuptool test: warning: " + File() + ": the certificate table at offset " +
                                std::to_string(end + c.at) + " (" + std::to_string(c.size) +
                                " bytes) is not a valid certificate table (";
    const size_t found = o.err.find(warning);
    if (found == std::string::npos) {
      ADD_FAILURE() << c.what << ": no warning about the table: " << o.err;
      continue;
    }
    EXPECT_NE(o.err.find(c.reason, found), std::string::npos) << c.what << ": " << o.err;
    EXPECT_NE(o.err.find(c.stray.empty() ? "are neither a signature nor padding" : c.stray), std::string::npos)
        << c.what << ": " << o.err;
  }
}

}  // namespace
