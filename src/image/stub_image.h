// Is a file fit to be the stub of a setup program: a 32-bit Windows executable (PE32 for
// x86) that is complete and carries no signature?
//
// The stub is the part of the setup program that runs; the archive is appended after its
// last byte. A file that is not a complete 32-bit executable gives a setup program that
// Windows refuses to start, and a signed stub gives one whose signature no longer covers
// the file once the archive follows it (the certificate table must be the file's end): the
// finished setup is what gets signed.
//
// The image's layout is read and checked by the one PE reader (pe_image.h); this adds what
// a stub must be beyond a sound image. setuptool pack reads its stub once, into a StubImage:
// the bytes with their layout, which the resource rewriting (stub_resources.h) and the
// checksum of the finished setup use rather than reading the headers again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "image/pe_image.h"

enum class StubImageProblem {
  kNone = 0,
  kNoMzHeader,        // too short for the MS-DOS header, or no "MZ"
  kNoPeHeader,        // e_lfanew outside the file, or no "PE\0\0" there
  kNotX86,            // another machine (e.g. x64)
  kNotPe32,           // no PE32 optional header (e.g. PE32+), or one too short
  kNotExecutable,     // a DLL, or not marked as an executable image
  kTruncated,         // the section table, the headers or a section end beyond the file
  kMalformed,         // sections that overlap the headers or one another, or a bad alignment
  kSigned,            // the certificate table is present
};

// A stub that passed the checks: the whole file's bytes and their layout. Whatever changes
// the bytes (ReplaceStubResources) leaves `layout` that of the new bytes.
struct StubImage {
  std::vector<uint8_t> bytes;
  PeLayout layout;
};

// Checks the whole file image of a would-be stub, `bytes`: kNone with `stub` holding them and
// their layout, else the problem with `stub` empty.
StubImageProblem ReadStubImage(std::vector<uint8_t> bytes, StubImage* stub);

// What to tell the publisher about a problem, e.g. "is not a 32-bit (x86) program".
const char* StubImageProblemText(StubImageProblem problem);
