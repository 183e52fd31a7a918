// What the x86 processor running the program offers, for code that picks a faster routine at
// run time (the checksum's carry-less multiply, the 32-bit decoder's SSE2 copy).
#pragma once
#include <cpuid.h>

#include <atomic>

// A question to the processor: every bit named must be set in cpuid leaf 1 (ecx, edx) and
// leaf 7 (ebx, ecx); with `avxState`, the system must also save the AVX registers.
struct ProcessorQuestion {
  unsigned leaf1Ecx, leaf1Edx, leaf7Ebx, leaf7Ecx;
  bool avxState;
};

inline bool AskProcessor(const ProcessorQuestion& q) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d) || (c & q.leaf1Ecx) != q.leaf1Ecx || (d & q.leaf1Edx) != q.leaf1Edx)
    return false;
  if (q.avxState) {
    if (!(c & bit_OSXSAVE)) return false;
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    if ((low & 6) != 6) return false;  // the SSE and AVX registers are saved
  }
  if (!q.leaf7Ebx && !q.leaf7Ecx) return true;
  return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & q.leaf7Ebx) == q.leaf7Ebx && (c & q.leaf7Ecx) == q.leaf7Ecx;
}

// The answer kept in `known` (0 not yet asked, 1 yes, 2 no), the processor asked on the first
// call. `known` is an atomic at namespace scope, not a function's static: in the setup
// programs a guarded static would bring the C++ runtime's exception support in, and the
// packer's threads may ask at the same time (each gets the same answer).
inline bool ProcessorHas(std::atomic<int>& known, const ProcessorQuestion& q) {
  int answer = known.load(std::memory_order_relaxed);
  if (answer == 0) {
    answer = AskProcessor(q) ? 1 : 2;
    known.store(answer, std::memory_order_relaxed);
  }
  return answer == 1;
}
