// SPDX-License-Identifier: GPL-3.0-or-later
// The time from a key to the picture shown, for keys that move or scroll the
// job list of the real program with many jobs listed: measured in a child
// process of its own (the program keeps process-wide state), on a
// pseudo-terminal of 80 x 24 that a thread drains.
#ifndef TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H
#define TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H

#include <map>
#include <string>

namespace terminal {

// The median redraw time in milliseconds of each kind of key ("Down",
// "PageDown", "PageUp", "End/Home", "Right/Left") with `jobs` jobs listed.
// Empty, with *error set, when the run failed or did not list every job.
std::map<std::string, double> MedianRedrawMs(int jobs, std::string *error);

}  // namespace terminal

#endif  // TESTS_FRONTENDS_TERMINAL_REDRAW_TIMING_H
