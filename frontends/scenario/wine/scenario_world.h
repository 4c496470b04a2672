// SPDX-License-Identifier: GPL-3.0-or-later
// The world of one scenario as the real program meets it under Wine: the
// network file that the simulated netapi32.dll serves from, the fault plans
// it reads beside it, the record of its calls, and the program's clock
// (libfaketime's timestamp file, read again on every clock reading), which
// stands still but for `advance` and the program's own pauses.
#ifndef VELMORA_FRONTENDS_SCENARIO_WINE_SCENARIO_WORLD_H
#define VELMORA_FRONTENDS_SCENARIO_WINE_SCENARIO_WORLD_H

#include <windows.h>

#include <standin/statement.h>

#include <string>
#include <vector>

namespace wine_player {

class ScenarioWorld {
 public:
  // Makes a fresh directory for the run with an empty network; "" or why not.
  std::string Create(int run_number);
  ~ScenarioWorld();

  // A world statement (local, computer, service, job, fail, remove); "" or
  // why it cannot be applied.
  std::string Apply(const std::vector<standin::Token> &tokens);
  // The program's local date and time, standing still; `advance`, and the
  // program's own pauses, move it by their length.
  std::string SetClock(const SYSTEMTIME &local_time);
  std::string AdvanceMilliseconds(uint64_t milliseconds);
  // Gives Wine the scenario's local computer name, as GetComputerNameA will
  // read it in the program; "" or why Wine cannot be given it.
  std::string RealiseLocalComputer();

  // The program's environment: this process's, with the network, the fault
  // plans, the call record and Wine's relay trace of the program's calls.
  std::wstring ProgramEnvironment() const;
  std::wstring ProgramOutputPath() const { return directory_ + L"\\program.err"; }
  // Wine writes its relay trace to the standard error of the processes it
  // runs, which scripts/test-wine.sh sends to the file VELMORA_RELAY_LOG names.
  std::wstring RelayTracePath() const;
  std::wstring NetworkCallLogPath() const { return directory_ + L"\\calls"; }

 private:
  SYSTEMTIME clock_{};
  std::wstring directory_;
  std::wstring network_path_;
};

}  // namespace wine_player

#endif
