// Is a file fit to be the stub of a setup program: a Windows executable of the setup's
// architecture (x86: PE32 for machine 0x14C; x64: PE32+ for machine 0x8664) that is
// complete and carries no signature?
//
// The stub is the part of the setup program that runs; the archive is appended after its
// last byte. A file that is not a complete executable gives a setup program that Windows
// refuses to start, and a signed stub gives one whose signature no longer covers the file
// once the archive follows it (the certificate table must be the file's end): the finished
// setup is what gets signed. A stub of the other architecture would run, but install the
// product where the publisher did not ask for it (a 32-bit setup writes into Program Files
// (x86) and the registry's 32-bit view), so it is refused, saying which one it is.
//
// The image's layout is read and checked by the one PE reader (pe_image.h); this adds what
// a stub must be beyond a sound image. setuptool pack reads its stub once, into a StubImage:
// the bytes with their layout, which the resource rewriting (stub_resources.h) and the
// checksum of the finished setup use rather than reading the headers again.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "image/pe_image.h"

enum class StubImageProblem {
  kNone = 0,
  kNoMzHeader,        // too short for the MS-DOS header, or no "MZ"
  kNoPeHeader,        // e_lfanew outside the file, or no "PE\0\0" there
  kIsX64,             // an x64 program where an x86 one is wanted
  kIsX86,             // an x86 program where an x64 one is wanted
  kNotX86,            // another machine where x86 is wanted (e.g. ARM64, or x64 with PE32)
  kNotX64,            // another machine where x64 is wanted
  kNotPe32,           // x86, but no PE32 optional header (e.g. PE32+), or one too short
  kNotPe32Plus,       // x64, but no PE32+ optional header, or one too short
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

// Checks the whole file image of a would-be stub, `bytes`, for a setup of the architecture
// `wanted` (kX86 or kX64): kNone with `stub` holding them and their layout, else the problem
// with `stub` empty.
StubImageProblem ReadStubImage(std::vector<uint8_t> bytes, PeArchitecture wanted, StubImage* stub);
// The same for the 32-bit setup, the one setuptool makes unless asked otherwise.
inline StubImageProblem ReadStubImage(std::vector<uint8_t> bytes, StubImage* stub) {
  return ReadStubImage(std::move(bytes), PeArchitecture::kX86, stub);
}

// What to tell the publisher about a problem, e.g. "is a 64-bit (x64) Windows program, not a
// 32-bit (x86) one".
const char* StubImageProblemText(StubImageProblem problem);
