// The CRC-32 of headers and entry data.
//
// Every extracted byte passes through Crc32Update, so it is built for speed: besides the
// byte-wise table of the format, BuildCrcRows derives seven further rows so that eight bytes
// are folded in per step ("slicing by eight"). Row k holds the CRC of a byte followed by k
// zero bytes, so the eight lookups of one step together equal eight byte-wise steps; the
// result is the same value, bit for bit. On a processor that multiplies without carries
// (the Linux tools and both setup programs, chosen at run time), long runs are folded with
// that instruction instead.
#include "archive/crc32.h"

#include "archive/extract_context.h"

#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#include <atomic>

#include <immintrin.h>

#include "system/processor.h"
#define KORV_CRC_CLMUL 1

namespace {

// Carry-less multiply folding: four 128-bit lanes of the message are multiplied forward by
// x^512 (k1, k2) and added to the next 64 bytes; at the end the lanes are folded into one by x^128 (k3, k4),
// down to 64 and 32 bits (k5), and a Barrett reduction by the polynomial (P', u') leaves the
// register's value, the same as the byte-wise rule gives. The constants are the bit-reflected
// residues of those powers of x modulo the CRC polynomial. Takes a multiple of 16 bytes, 64
// or more.
// 32-bit Windows keeps the stack aligned to 4 bytes only, and the compiler may spill 16-byte
// operands to it: on 32-bit x86 the folding routine realigns its stack on entry, and the
// helpers are always inlined into it.
#if defined(__x86_64__)
#define KORV_CLMUL_TARGET __attribute__((target("pclmul,sse2")))
#define KORV_CLMUL_ENTRY KORV_CLMUL_TARGET
#else
#define KORV_CLMUL_TARGET __attribute__((target("pclmul,sse2"), always_inline))
#define KORV_CLMUL_ENTRY __attribute__((target("pclmul,sse2"), force_align_arg_pointer))
#endif

KORV_CLMUL_TARGET inline __m128i Load(const uint8_t* q) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// x multiplied forward by the power of x whose residues k holds, plus next.
KORV_CLMUL_TARGET inline __m128i Fold(__m128i x, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

const __m128i kFold128 = {0x01751997d0, 0x00ccaa009e};  // k3, k4: x^128 forward

// The lane x1 folded with the 16-byte blocks that remain (length a multiple of 16), then
// reduced to the register's 32-bit value.
KORV_CLMUL_TARGET inline uint32_t FinishFold(__m128i x1, const uint8_t* p, uint32_t length) {
  const __m128i k3k4 = kFold128;
  const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
  const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  for (; length >= 16; p += 16, length -= 16) x1 = Fold(x1, k3k4, Load(p));
  // 128 bits to 64, then to 32 + 32.
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k3k4, 0x10));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k5, 0x00), _mm_srli_si128(x1, 4));
  // Barrett reduction to the 32-bit remainder.
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), poly, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
  return uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(x1, t), 4)));
}

KORV_CLMUL_ENTRY uint32_t FoldWithClmul(uint32_t value, const uint8_t* p, uint32_t length) {
  const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
  const __m128i k3k4 = kFold128;
  __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(int(value)));
  __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
  p += 64;
  length -= 64;
  for (; length >= 64; p += 64, length -= 64) {
    x1 = Fold(x1, k1k2, Load(p));
    x2 = Fold(x2, k1k2, Load(p + 16));
    x3 = Fold(x3, k1k2, Load(p + 32));
    x4 = Fold(x4, k1k2, Load(p + 48));
  }
  x1 = Fold(Fold(Fold(x1, k3k4, x2), k3k4, x3), k3k4, x4);
  return FinishFold(x1, p, length);
}

#if defined(__x86_64__) && !defined(_WIN32)
#define KORV_CRC_WIDE_CLMUL 1
// The Linux tools, on a processor that multiplies 256-bit registers without carries, fold
// runs of 256 bytes or more 128 bytes per step: four 256-bit lanes, each of whose 128-bit
// halves is multiplied forward by x^1024 (the residues below) and added to the next 128
// bytes; at the end the eight halves are folded into one by x^128, in order, and finished as
// above. The Windows programs leave it out: their compiler does not keep the 32-byte
// alignment that spills of 256-bit registers to the stack would need.
#define KORV_WIDE_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse2")))

KORV_WIDE_TARGET inline __m256i LoadWide(const uint8_t* q) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(q));
}

KORV_WIDE_TARGET inline __m256i FoldWide(__m256i x, __m256i k, __m256i next) {
  return _mm256_xor_si256(
      _mm256_xor_si256(_mm256_clmulepi64_epi128(x, k, 0x00), _mm256_clmulepi64_epi128(x, k, 0x11)), next);
}

KORV_WIDE_TARGET uint32_t FoldWithWideClmul(uint32_t value, const uint8_t* p, uint32_t length) {
  const __m256i k1024 = _mm256_set_epi64x(0x014a7fe880, 0x01e88ef372, 0x014a7fe880, 0x01e88ef372);
  const __m128i k3k4 = kFold128;
  __m256i y1 = _mm256_xor_si256(LoadWide(p), _mm256_set_epi32(0, 0, 0, 0, 0, 0, 0, int(value)));
  __m256i y2 = LoadWide(p + 32), y3 = LoadWide(p + 64), y4 = LoadWide(p + 96);
  p += 128;
  length -= 128;
  for (; length >= 128; p += 128, length -= 128) {
    y1 = FoldWide(y1, k1024, LoadWide(p));
    y2 = FoldWide(y2, k1024, LoadWide(p + 32));
    y3 = FoldWide(y3, k1024, LoadWide(p + 64));
    y4 = FoldWide(y4, k1024, LoadWide(p + 96));
  }
  __m128i x1 = Fold(_mm256_castsi256_si128(y1), k3k4, _mm256_extracti128_si256(y1, 1));
  x1 = Fold(Fold(x1, k3k4, _mm256_castsi256_si128(y2)), k3k4, _mm256_extracti128_si256(y2, 1));
  x1 = Fold(Fold(x1, k3k4, _mm256_castsi256_si128(y3)), k3k4, _mm256_extracti128_si256(y3, 1));
  x1 = Fold(Fold(x1, k3k4, _mm256_castsi256_si128(y4)), k3k4, _mm256_extracti128_si256(y4, 1));
  return FinishFold(x1, p, length);
}

// The 256-bit fold needs AVX2, the 256-bit carry-less multiply and a system that saves the
// 256-bit registers.
std::atomic<int> gWideClmul{0};

bool HaveWideClmul() {
  return ProcessorHas(gWideClmul, {bit_AVX, 0, bit_AVX2, bit_VPCLMULQDQ, true});
}
#endif

std::atomic<int> gClmul{0};

bool HaveClmul() { return ProcessorHas(gClmul, {bit_PCLMUL, bit_SSE2, 0, 0, false}); }

}  // namespace
#endif

void BuildCrcRows(uint32_t* table, uint32_t (*wideRows)[256]) {
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t x = i;
    for (int k = 0; k < 8; ++k) x = (x & 1) ? (x >> 1) ^ 0xEDB88320u : x >> 1;
    table[i] = x;
  }
  const uint32_t* previous = table;
  for (int row = 0; row < 7; ++row) {
    uint32_t* next = wideRows[row];
    for (uint32_t i = 0; i < 256; ++i) next[i] = (previous[i] >> 8) ^ table[previous[i] & 0xFF];
    previous = next;
  }
}

uint32_t Crc32UpdateRows(const uint32_t* t0, const uint32_t (*t)[256], uint32_t value,
                         const uint8_t* bytes, uint32_t length) {
#ifdef KORV_CRC_CLMUL
  if (length >= 64 && HaveClmul()) {
    const uint32_t folded = length & ~15u;
#ifdef KORV_CRC_WIDE_CLMUL
    value = folded >= 256 && HaveWideClmul() ? FoldWithWideClmul(value, bytes, folded)
                                             : FoldWithClmul(value, bytes, folded);
#else
    value = FoldWithClmul(value, bytes, folded);
#endif
    bytes += folded;
    length -= folded;
  }
#endif
  // t[k-1]: byte followed by k zero bytes
  while (length >= 8) {
    const uint32_t lo = value ^ (uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 |
                                 uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24);
    const uint32_t hi = uint32_t(bytes[4]) | uint32_t(bytes[5]) << 8 |
                        uint32_t(bytes[6]) << 16 | uint32_t(bytes[7]) << 24;
    value = t[6][lo & 0xFF] ^ t[5][(lo >> 8) & 0xFF] ^ t[4][(lo >> 16) & 0xFF] ^ t[3][lo >> 24] ^
            t[2][hi & 0xFF] ^ t[1][(hi >> 8) & 0xFF] ^ t[0][(hi >> 16) & 0xFF] ^ t0[hi >> 24];
    bytes += 8;
    length -= 8;
  }
  while (length--) value = (value >> 8) ^ t0[(value ^ *bytes++) & 0xFF];
  return value;
}

void BuildCrcTable(ExtractContext* context) { BuildCrcRows(context->crcTable, context->crcTableWide); }

void BuildCrcTable(Crc32Table* table) { BuildCrcRows(table->byteRow, table->wideRows); }

uint32_t Crc32Update(const ExtractContext* context, uint32_t value, const uint8_t* bytes,
                     uint32_t length) {
  return Crc32UpdateRows(context->crcTable, context->crcTableWide, value, bytes, length);
}

uint32_t Crc32Update(const Crc32Table* table, uint32_t value, const uint8_t* bytes,
                     uint32_t length) {
  return Crc32UpdateRows(table->byteRow, table->wideRows, value, bytes, length);
}
