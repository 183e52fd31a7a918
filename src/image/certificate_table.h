// The certificate table of a signed PE file: is what the headers' certificate entry names a
// table of Authenticode signatures, or something else appended and named (another setup, a
// blob of archive markers) that would pass for a signature on the entry alone?
//
// The table, from the PE format: the data directory's certificate entry gives its file
// offset and size. It holds WIN_CERTIFICATE entries, each padded to an 8-byte boundary, whose
// padded lengths add up to the table's size:
//   +0 dwLength (32 bits): the entry's bytes, this header included, padding excluded
//   +4 wRevision (16 bits): 0x0200, WIN_CERT_REVISION_2_0
//   +6 wCertificateType (16 bits): 2, WIN_CERT_TYPE_PKCS_SIGNED_DATA (Authenticode)
//   +8 bCertificate: the PKCS#7 SignedData, a DER SEQUENCE (tag 0x30, then its length:
//      one byte below 0x80, or 0x81 to 0x84 followed by that many bytes of length)
// The signature itself is not verified: this says only whether the bytes are shaped as one.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/pe_image.h"

// A signature with its chain of certificates and a time stamp takes some kilobytes, a few
// nested ones some tens: a table beyond this is no signature, and need not be read.
constexpr uint32_t kLargestCertificateTable = 1 << 20;

// Checks the `size` bytes of a certificate table read from file offset `offset` (which the
// reasons name). True when they are one or more entries of PKCS#7 signed data that fill the
// table exactly; else false with `problem` set to why not ("the entry at offset 8200 has revision
// 0x0100, not 0x0200", "its entries end after 16 of its 24 bytes", ...).
bool CheckCertificateTable(const uint8_t* table, size_t size, uint64_t offset, std::string* problem);

// Whether a whole PE file in memory (`size` bytes, `layout` read from them) is signed: its
// certificate entry names a sound table that ends the file. "" when it is, else why not
// ("it has no certificate table", "its certificate table ends 8 bytes before the file does", ...).
std::string SignedFileProblem(const uint8_t* file, size_t size, const PeLayout& layout);
