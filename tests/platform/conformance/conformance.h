// SPDX-License-Identifier: GPL-3.0-or-later
// The conformance suite's checks, the same in its build on the stand-in and
// in its MinGW build run on Wine's DLLs (GoogleTest is not packaged for
// MinGW). CHECK and CHECK_EQ mark the case failed and go on; REQUIRE ends it.
// WINE_DEPARTS(why), a case's first line, skips it under Wine, why naming the
// documentation that Wine departs from.
#ifndef VELMORA_TESTS_PLATFORM_CONFORMANCE_CONFORMANCE_H
#define VELMORA_TESTS_PLATFORM_CONFORMANCE_CONFORMANCE_H

#include <sstream>
#include <string>

#include "test_host.h"

namespace conformance {

using CaseFunction = void (*)();

// Adds a case to the suite, in the order the sources define them.
bool Register(const char *name, CaseFunction function);
void Fail(const char *file, int line, const std::string &what);
// Ends the running case as skipped, with the reason.
[[noreturn]] void Skip(const std::string &reason);

struct CaseEnded {};

template <typename A, typename B>
void CheckEqual(const char *file, int line, const char *a_text, const char *b_text, const A &a, const B &b) {
  if (a == b) return;
  std::ostringstream shown;
  shown << a_text << " == " << b_text << " (" << a << " against " << b << ")";
  Fail(file, line, shown.str());
}

}  // namespace conformance

#define CONFORMANCE_CASE(name)                                                                      \
  static void name##_case();                                                                        \
  [[maybe_unused]] static const bool name##_registered = conformance::Register(#name, name##_case); \
  static void name##_case()

#define WINE_DEPARTS(why) \
  if (conformance::RunsOnWine()) conformance::Skip(why)

#define CHECK(condition) \
  if (!(condition)) conformance::Fail(__FILE__, __LINE__, #condition)

#define CHECK_EQ(a, b) conformance::CheckEqual(__FILE__, __LINE__, #a, #b, (a), (b))

#define REQUIRE(condition)                             \
  if (!(condition)) {                                  \
    conformance::Fail(__FILE__, __LINE__, #condition); \
    throw conformance::CaseEnded();                    \
  }

#endif
