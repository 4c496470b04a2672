// SPDX-License-Identifier: GPL-3.0-or-later
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <cstring>
#include <string>

namespace {

// Formats into a fresh buffer and checks both the text and the count.
#define EXPECT_WSPRINTF(expected, ...)                                \
  do {                                                                \
    char out[1100];                                                   \
    const int count = wsprintfA(out, __VA_ARGS__);                    \
    EXPECT_STREQ(out, expected);                                      \
    EXPECT_EQ(count, static_cast<int>(std::strlen(expected))) << out; \
  } while (0)

// The conversions the program's messages use: %d, %ld and %s.
TEST(WsprintfA, FormatsNumbersAndTexts) {
  EXPECT_WSPRINTF("RC:-2147483648", "RC:%ld", static_cast<LONG>(-2147483647 - 1));
  EXPECT_WSPRINTF("-5|7|4294967295|3", "%d|%i|%u|%lu", -5, 7, 4294967295u, 3u);
  EXPECT_WSPRINTF("100% (null)", "100%% %s", static_cast<const char *>(nullptr));
  // Shift-JIS text passes through byte for byte.
  EXPECT_WSPRINTF("\x82\xA0 31\x93\xFA ", "%s %d\x93\xFA ", "\x82\xA0", 31);
}

TEST(WsprintfA, StopsAt1023BytesAndTerminates) {
  const std::string long_text(2000, 'x');
  char out[1100];
  std::memset(out, '#', sizeof out);
  EXPECT_EQ(wsprintfA(out, "%s", long_text.c_str()), 1023);
  EXPECT_EQ(out[1022], 'x');
  EXPECT_EQ(out[1023], '\0');
  EXPECT_EQ(out[1024], '#');

  EXPECT_EQ(wsprintfA(out, "%2000d", 1), 1023);  // the limit counts padding too
  EXPECT_EQ(out[1022], ' ');                     // the number itself falls beyond the limit

  // Counts past any output neither wrap around nor take time the output
  // cannot hold: such a call is about as quick as one filling the output,
  // both timed in this run (the fastest of several rounds each).
  EXPECT_EQ(wsprintfA(out, "%4294967295d", 5), 1023);
  EXPECT_EQ(wsprintfA(out, "%18446744073709551617d", 5), 1023);
  EXPECT_EQ(wsprintfA(out, "%-.18446744073709551617d|", 5), 1023);
  EXPECT_EQ(out[0], '0');
  auto fastest = [&](std::initializer_list<const char *> formats) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
      const auto start = std::chrono::steady_clock::now();
      for (int i = 0; i < 20; ++i)
        for (const char *format : formats) wsprintfA(out, format, 5);
      best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
  };
  const double huge = fastest({"%4294967295d", "%18446744073709551617d", "%-.18446744073709551617d|"});
  const double full = fastest({"%1100d", "%1100d", "%-.1100d|"});
  EXPECT_LE(huge, 10 * full) << huge << " s against " << full << " s";
}

}  // namespace
