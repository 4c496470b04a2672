// Plays one scenario file against the real velmora.exe in this Wine session.
#ifndef VELMORA_SCENARIO_WIN32_WINE_PLAYER_H
#define VELMORA_SCENARIO_WIN32_WINE_PLAYER_H

#include <string>

namespace wine_player {

struct PlayResult {
  enum Status { kPass, kFail, kParseError } status = kPass;
  int line = 0;
  std::string reason;
};

PlayResult PlayScenarioFile(const std::string &text, const std::wstring &exe_path, int run_number);

}  // namespace wine_player

#endif
