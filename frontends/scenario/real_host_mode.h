// SPDX-License-Identifier: GPL-3.0-or-later
// Playing scenarios with their computers on a real host (in tests, the fake
// host of tests/platform/realnet), reached through the real network backend: the
// world lives in a network file that the host serves, each `computer`
// becomes a real one at the host's address, and an `unreachable` one a real
// one where nothing listens.
#ifndef VELMORA_FRONTENDS_SCENARIO_REAL_HOST_MODE_H
#define VELMORA_FRONTENDS_SCENARIO_REAL_HOST_MODE_H

#include <standin/statement.h>

#include <string>
#include <vector>

namespace standin::scenario {

// Takes one of the runner's options --real-host=ADDRESS:PORT,
// --credentials=PATH, --network=PATH, --privacy=seal|sign|none. False when
// `arg` is none of them; *error tells what is wrong with one.
bool TakeRealHostOption(const std::string &arg, std::string *error);
// "" once the options make a whole set (or none was given), else what lacks.
std::string CheckRealHostOptions();
bool PlayingOnRealHost();

// Makes the bound network file a fresh one for the next scenario; "" or why
// it cannot.
std::string BeginRealHostScenario();
// A world statement as the real host's network holds it.
std::vector<Token> OnRealHost(const std::vector<Token> &tokens);

}  // namespace standin::scenario

#endif
