// A tiny self-check harness for the 32-bit test programs that run under Wine (GoogleTest is
// not available for mingw-w64): each failed check prints its place and values, and Finish
// prints the closing line "N passed, M failed" and gives the exit code.
#pragma once
#include <windows.h>

#include <cstdio>

namespace check {

inline int& Passed() { static int n = 0; return n; }
inline int& Failed() { static int n = 0; return n; }

// Wide text as UTF-8 for the console.
inline const char* Utf8(const char16_t* text, char* buffer, int size) {
  buffer[0] = 0;
  if (text) WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<LPCWSTR>(text), -1, buffer, size, nullptr, nullptr);
  buffer[size - 1] = 0;
  return buffer;
}

inline bool That(bool ok, const char* what, const char* file, int line) {
  if (ok) {
    ++Passed();
  } else {
    ++Failed();
    std::printf("FAIL %s:%d: %s\n", file, line, what);
  }
  return ok;
}

inline bool SameText(const char16_t* a, const char16_t* b) {
  if (!a || !b) return a == b;
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

inline bool Text(const char16_t* actual, const char16_t* expected, const char* what, const char* file, int line) {
  const bool ok = SameText(actual, expected);
  if (!That(ok, what, file, line)) {
    char a[1024], e[1024];
    std::printf("     got      \"%s\"\n     expected \"%s\"\n", Utf8(actual, a, sizeof a), Utf8(expected, e, sizeof e));
  }
  return ok;
}

inline bool Int(long long actual, long long expected, const char* what, const char* file, int line) {
  const bool ok = actual == expected;
  if (!That(ok, what, file, line)) std::printf("     got %lld, expected %lld\n", actual, expected);
  return ok;
}

inline int Finish() {
  std::printf("%d passed, %d failed\n", Passed(), Failed());
  std::fflush(stdout);
  return Failed() ? 1 : 0;
}

}  // namespace check

#define CHECK(condition) check::That((condition), #condition, __FILE__, __LINE__)
#define CHECK_TEXT(actual, expected) check::Text((actual), (expected), #actual, __FILE__, __LINE__)
#define CHECK_INT(actual, expected) check::Int((actual), (expected), #actual, __FILE__, __LINE__)
