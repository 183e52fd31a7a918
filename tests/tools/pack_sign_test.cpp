// setuptool pack --sign and what goes with it: our uninstaller's image checksum after its
// record, the signed uninstaller and setup that test calls signed, and the signing commands
// that fail or give back a file pack must not take, which leave nothing behind.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "image/pe_checksum.h"
#include "image/pe_image.h"
#include "support/pe_image_builder.h"
#include "support/temp_dir.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct Outcome {
  int exitCode;
  std::string out;
  std::string err;
};

class PackSign : public testing::Test {
 protected:
  Outcome Run(const std::string& arguments) {
    const char* bin = std::getenv("KORV_BIN_DIR");
    const std::string out = dir_.File("stdout"), err = dir_.File("stderr");
    const std::string command = "cd '" + dir_.path() + "' && '" + (bin ? bin : ".") + "/setuptool' " + arguments +
                                " >'" + out + "' 2>'" + err + "' </dev/null";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadWholeFile(out), ReadWholeFile(err)};
  }
  void Write(const std::string& name, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(dir_.File(name)).parent_path());
    std::ofstream(dir_.File(name), std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
  }
  void Write(const std::string& name, const std::string& text) { Write(name, Bytes(text.begin(), text.end())); }
  // A product without an uninstaller of its own (with: `productsOwn`), stubs of the architecture.
  std::string Pack(bool is64, const std::string& sign, bool productsOwn = false) {
    Write("product/FILE_ID.DIZ", "Tool Version 2.1\r\n");
    Write("product/TOOL.INF", "ID=TL1\r\nGroup=Tool\r\nExe=KTool.exe\r\n");
    Write("product/KTool.exe", imagetest::PeImageOf(is64, 0x800, 'K'));
    if (productsOwn) Write("product/UnInst.exe", imagetest::PeImageOf(is64, 0x600, 'P'));
    Write("Setup.exe", imagetest::PeImageOf(is64, 0x1000, 'S'));
    Write("UnInst.exe", imagetest::PeImageOf(is64, 0x600, 'U'));
    return std::string("pack product -o out/setup.exe --stub Setup.exe --uninstaller UnInst.exe") +
           (is64 ? " --arch x64" : "") + (sign.empty() ? "" : " --sign '" + sign + "'");
  }
  // The names in the output folder: only the setup, or nothing, is ever left there.
  std::vector<std::string> OutputFolder() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.File("out")))
      names.push_back(entry.path().filename().string());
    return names;
  }
  void SetUp() override { std::filesystem::create_directories(dir_.File("out")); }
  TempDir dir_;
};

Bytes BytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

// A throw-away code-signing certificate and key for osslsigncode, or "" when either tool is missing.
std::string OsslSignCommand(const TempDir& dir) {
  if (std::system("command -v osslsigncode >/dev/null && command -v openssl >/dev/null") != 0) return "";
  const std::string make = "cd '" + dir.path() +
                           "' && openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 "
                           "-subj /CN=Test -addext extendedKeyUsage=codeSigning >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) return "";
  return "osslsigncode sign -certs cert.pem -key key.pem -h sha256 -in {in} -out {out}";
}

TEST_F(PackSign, OurUninstallerCarriesTheChecksumOfTheFileWithItsRecord) {
  ASSERT_EQ(Run(Pack(false, "")).exitCode, 0);
  ASSERT_EQ(Run("extract out/setup.exe x").exitCode, 0);
  const Bytes uninstaller = BytesOf(ReadWholeFile(dir_.File("x/UnInst.exe")));
  PeLayout layout;
  ASSERT_TRUE(ReadPeLayout(uninstaller.data(), uninstaller.size(), &layout));
  const uint32_t stored = PeGet32(uninstaller.data() + layout.checksumField);
  EXPECT_NE(stored, 0u);
  EXPECT_EQ(stored, PeFileChecksum(uninstaller.data(), uninstaller.size(), layout.checksumField));
  const Outcome test = Run("test out/setup.exe");
  EXPECT_NE(test.out.find("\nunsigned\nUnInst.exe: unsigned\n"), std::string::npos) << test.out;
}

TEST_F(PackSign, SignedUninstallerAndSetupOfEitherArchitecture) {
  const std::string sign = OsslSignCommand(dir_);
  if (sign.empty()) GTEST_SKIP() << "osslsigncode or openssl is not installed";
  for (bool is64 : {false, true}) {
    std::filesystem::remove_all(dir_.File("out/setup.exe"));
    const Outcome o = Run(Pack(is64, sign));
    ASSERT_EQ(o.exitCode, 0) << o.err;
    EXPECT_NE(o.out.find("our uninstaller signed, signed: certificate table of "), std::string::npos) << o.out;
    const Outcome test = Run("test out/setup.exe");
    ASSERT_EQ(test.exitCode, 0) << test.err;
    EXPECT_NE(test.out.find(is64 ? "for x64 (64-bit) Windows\nsigned: " : "for x86 (32-bit) Windows\nsigned: "),
              std::string::npos)
        << test.out;
    EXPECT_NE(test.out.find("\nUnInst.exe: signed\n"), std::string::npos) << test.out;
    EXPECT_EQ(OutputFolder(), std::vector<std::string>{"setup.exe"});
  }
}

// Each command: what it does, the exit status pack gives, and what pack's message says.
TEST_F(PackSign, CommandsThatFailOrGiveBackUnusableFilesLeaveNothing) {
  struct Case {
    const char* what;
    std::string command;
    bool productsOwn;
    int exitCode;
    std::vector<std::string> said;
  } cases[] = {
      {"fails", "echo no such key >&2; exit 3 # {in} {out}", false, 1,
       {"failed on our uninstaller (exit status 3)", "no such key", "nothing written"}},
      {"writes nothing", "true {in} {out}", false, 1, {"wrote no {out} file for our uninstaller"}},
      {"appends a byte", "cp {in} {out} && printf x >>{out}", false, 1,
       {"uninstaller cannot be used: it has no certificate table"}},
      {"cuts the setup short", "head -c $(($(wc -c <{in}) - 40)) {in} >{out}", true, 1,
       {"the signed setup: UnInst.exe: ", "fails its test", "nothing written"}},
      {"copies the setup", "cp {in} {out}", true, 1, {"setup cannot be used: it has no certificate table"}},
      {"has no {out}", "cp {in} x", false, 2, {"{in}", "{out}"}},
      {"has no {in}", "cp x {out}", false, 2, {"{in}", "{out}"}},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(dir_.File("product"));
    const Outcome o = Run(Pack(false, c.command, c.productsOwn));
    EXPECT_EQ(o.exitCode, c.exitCode) << c.what << ": " << o.err;
    for (const std::string& text : c.said) EXPECT_NE(o.err.find(text), std::string::npos) << c.what << ": " << o.err;
    EXPECT_EQ(OutputFolder(), std::vector<std::string>{}) << c.what;
  }
}

}  // namespace
