// SPDX-License-Identifier: GPL-3.0-or-later
// velmora: Velmora in a terminal, on the simulated network of this user.
#include "command_line.h"
#include "help_viewer.h"
#include "message_catalogue.h"
#include "terminal.h"
#include "terminal_driver.h"

#include <standin/call_log.h>
#include <standin/driver.h>
#include <standin/network.h>
#include <standin/ui.h>

#include <windows.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" const unsigned char velmora_res[];
extern "C" const unsigned long velmora_res_size;

namespace {

// Wide characters need a UTF-8 character type, whatever the user's locale.
void UseUtf8Locale() {
  const char *ctype = std::setlocale(LC_ALL, "");
  std::string name = ctype ? ctype : "";
  bool utf8 = name.find("UTF-8") != std::string::npos || name.find("utf8") != std::string::npos;
  if (!utf8) std::setlocale(LC_CTYPE, "C.UTF-8");
}

// The help texts: next to the executable, else where the sources keep them.
std::vector<std::string> HelpDirectories() {
  std::vector<std::string> dirs;
  char path[4096];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n > 0) {
    std::string exe(path, static_cast<size_t>(n));
    size_t slash = exe.find_last_of('/');
    if (slash != std::string::npos) dirs.push_back(exe.substr(0, slash));
  }
  dirs.push_back(VELMORA_TERMINAL_HELP_DIR);
  return dirs;
}

}  // namespace

int main(int argc, char **argv) {
  UseUtf8Locale();
  terminal::SetLanguage(terminal::LanguageFromEnvironment());
  terminal::CommandLine command_line = terminal::ParseCommandLine(argc, argv);
  std::string help_file = terminal::FindHelpText("Velmora.HLP", HelpDirectories());
  if (help_file.empty()) help_file = std::string(VELMORA_TERMINAL_HELP_DIR) + "/Velmora.txt";
  switch (command_line.action) {
    case terminal::CommandLine::kHelp:
      std::fputs(terminal::UsageText(help_file).c_str(), stdout);
      return 0;
    case terminal::CommandLine::kVersion:
      std::printf("%s\n", terminal::VersionText(velmora_res, velmora_res_size).c_str());
      return 0;
    case terminal::CommandLine::kUsageError:
      std::fprintf(stderr, "velmora: %s\n\n%s",
                   terminal::Localize("unknown option '" + command_line.unknown + "'").c_str(),
                   terminal::UsageText(help_file).c_str());
      return 2;
    case terminal::CommandLine::kRun:
      break;
  }
  // An interactive session would otherwise keep every platform call it made.
  standin::SetCallRecording(false);

  std::string network_path;
  std::string error = standin::OpenNetworkForUser(&network_path);
  if (!error.empty()) {
    std::fprintf(stderr, "velmora: %s\n", terminal::Localize(error).c_str());
    return 1;
  }
  HINSTANCE instance = standin::LoadModule(velmora_res, velmora_res_size);
  if (instance == nullptr) {
    std::fprintf(stderr, "velmora: %s\n", terminal::Localize("the program's resources cannot be loaded").c_str());
    return 1;
  }

  terminal::CursesTerminal terminal;
  if (!terminal.Start(&error)) {
    std::fprintf(stderr, "velmora: %s\n", terminal::Localize(error).c_str());
    return 1;
  }
  terminal::TerminalDriver driver(terminal, HelpDirectories());
  driver.SetDialogSizes(terminal::DialogSizesIn(velmora_res, velmora_res_size));
  driver.SetNotice(terminal::NetworkNotice());
  standin::SetDriver(&driver);
  // The network's faults would scroll over the screen on standard error.
  standin::SetNetworkDiagnosticSink([&driver](const std::string &message) { driver.ShowNotice(message); });
  int exit_code = 1;
  try {
    char command_line[] = "";
    exit_code = WinMain(instance, nullptr, command_line, SW_SHOWNORMAL);
  } catch (const terminal::TerminalClosed &) {
    standin::SetNetworkDiagnosticSink(nullptr);
    standin::SetDriver(nullptr);
    terminal.Stop();
    std::fprintf(stderr, "velmora: %s\n", terminal::Localize("the terminal was closed").c_str());
    return 1;
  } catch (const terminal::ProgramFaulted &fault) {
    standin::SetDriver(nullptr);
    terminal.Stop();
    std::fprintf(stderr, "velmora: %s\n", terminal::Localize(std::string("program fault: ") + fault.what()).c_str());
    return 70;
  } catch (...) {
    standin::SetNetworkDiagnosticSink(nullptr);
    standin::SetDriver(nullptr);
    terminal.Stop();
    throw;
  }
  standin::SetNetworkDiagnosticSink(nullptr);
  standin::SetDriver(nullptr);
  terminal.Stop();
  return exit_code;
}
