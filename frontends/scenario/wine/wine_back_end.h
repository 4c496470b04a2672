// SPDX-License-Identifier: GPL-3.0-or-later
// Plays one scenario file against the real velmora.exe in this Wine session.
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_WINE_BACK_END_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_WINE_BACK_END_H

#include <string>

#include "../scenario_interpreter.h"

namespace wine_player {

standin::scenario::Verdict PlayScenarioFile(const std::string &text, const std::wstring &exe_path, int run_number);

// The interpreter playing now, if any: for the player's last words should
// the player itself fail.
standin::scenario::Interpreter *&CurrentInterpreter();

}  // namespace wine_player

#endif
