// SPDX-License-Identifier: GPL-3.0-or-later
// Reports the redraw times of each kind of list key with 100, 1,000 and 10,000 jobs listed. A report, not a test: it
// fails only when a run fails. Usage: terminal_redraw_benchmark
#include "redraw_timing.h"

#include <clocale>
#include <cstdio>
#include <string>

int main() {
  std::setlocale(LC_CTYPE, "C.UTF-8");  // column widths come from wcwidth
  for (int jobs : {100, 1000, 10000}) {
    std::string error;
    const auto times = terminal::RedrawTimes(jobs, &error);
    if (times.empty()) {
      std::fprintf(stderr, "%d jobs: %s\n", jobs, error.c_str());
      return 1;
    }
    for (const auto &[label, ms] : times)
      std::printf("%6d jobs  %-10s median %.3f ms  (processor, tenth percentile %.3f ms)\n", jobs, label.c_str(),
                  ms.wall, ms.processor);
  }
  return 0;
}
