// SPDX-License-Identifier: GPL-3.0-or-later
// The expectations about the network a scenario meets (expect jobs, job,
// nojob, service, calls): their form, checked before a file runs, and what
// the stores hold, read through the stand-in's network (standin/network.h),
// which serves the Wine player as well from the file it shares with the
// program. `calls` is counted by each back end, where the calls are seen.
#ifndef VELMORA_FRONTENDS_SCENARIO_WORLD_EXPECTATIONS_H
#define VELMORA_FRONTENDS_SCENARIO_WORLD_EXPECTATIONS_H

#include <standin/statement.h>

#include <string>
#include <vector>

namespace standin {
namespace scenario {

// jobs, job, nojob, service, calls.
bool IsWorldExpectation(const std::string &what);
// The form of `expect WHAT ...`, whatever the network holds; "" or what is
// wrong with the line.
std::string WorldExpectationForm(const std::vector<Token> &tokens);
// An `expect jobs|job|nojob|service` line against the network: "" when it
// holds, else "expected ..., saw ...".
std::string CheckStores(const std::vector<Token> &tokens);

}  // namespace scenario
}  // namespace standin

#endif
