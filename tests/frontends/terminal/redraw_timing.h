// SPDX-License-Identifier: GPL-3.0-or-later
// The time from a key to the picture shown, for keys that move or scroll the job list of the real program with many
// jobs listed: measured in a child process of its own (the program keeps process-wide state), on a pseudo-terminal of
// 80 x 24 that a thread drains.
#ifndef TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H
#define TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H

#include <map>
#include <string>

namespace terminal {

// Redraw times of one kind of key, in milliseconds: the median on the clock, and the tenth percentile of the program
// thread's processor time, which a busy machine hardly moves (waiting for the processor is not counted, and the fastest
// keys are those another process did not slow by its use of the caches).
struct RedrawMs {
  double wall = 0;
  double processor = 0;
};

// The redraw times of each kind of key ("Down", "PageDown", "PageUp", "End/Home", "Right/Left") with `jobs` jobs
// listed. Empty, with *error set, when the run failed or did not list every job.
std::map<std::string, RedrawMs> RedrawTimes(int jobs, std::string *error);

}  // namespace terminal

#endif  // TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H
