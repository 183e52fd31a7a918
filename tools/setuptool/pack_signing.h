// setuptool pack --sign COMMAND: the publisher's signing command, run on our uninstaller (its
// removal record included) before it goes into the archive, and on the finished setup.
//
// COMMAND is a template for /bin/sh: every "{in}" becomes the file to sign and every "{out}"
// the file the command must write, both shell-quoted. The files lie in a private folder made
// beside the output (mode 0700, named like pack's temporary file, OUT.XXXXXX); {out} does not
// exist when the command starts (osslsigncode refuses to overwrite a file). The setup's {in}
// is pack's temporary file itself.
//
// What a command gives back is checked before pack takes it, for a signing tool that
// succeeds with a wrong file is worse than one that fails:
//   our uninstaller  a sound program of the setup's architecture, whose certificate entry names
//                    a sound table that ends the file, with the removal record found in front
//                    of it (payload/record_place.h) and byte for byte the record pack appended;
//   the setup        a sound program of the setup's architecture, its archive found and every
//                    entry verified as setuptool test does, followed by a sound table that ends
//                    the file.
// A command that fails (its exit status and its output are shown) or a result that does not
// pass leaves nothing: the private folder and pack's temporary file are removed, and an
// interrupt removes them too.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "image/pe_image.h"
#include "pack_output.h"

struct SigningRun {
  std::string command;  // the template
  PeArchitecture architecture = PeArchitecture::kX86;  // of the setup and our uninstaller
  std::string folder;   // the private folder, while it exists
  uint32_t tableBytes = 0;  // the setup's certificate table, once signed
};

// Whether a template names both files; else the usage error's text.
bool CheckSigningTemplate(const std::string& command, std::string& error);

// Makes the private folder beside the output. False with `error` set.
bool BeginSigning(SigningRun& run, const PackOutput& output, std::string& error);
// Removes the private folder and whatever is left in it.
void EndSigning(SigningRun& run);

// Signs our uninstaller, whose last `recordSize` bytes are its removal record: `signedBytes`
// gets the checked result. False with `error` set (the command's output included).
bool SignUninstaller(SigningRun& run, const std::vector<uint8_t>& image, size_t recordSize,
                     std::vector<uint8_t>& signedBytes, std::string& error);

// Signs the setup written to the output's temporary file, whose stream is then closed: the
// checked result becomes the temporary file, open again for FinishOutput. False with `error`
// set.
bool SignSetup(SigningRun& run, PackOutput& output, std::string& error);
