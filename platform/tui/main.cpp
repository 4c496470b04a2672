// velmora: Velmora in a terminal, on the simulated network of this user.
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
  dirs.push_back(VELMORA_TUI_HELP_DIR);
  return dirs;
}

}  // namespace

int main() {
  UseUtf8Locale();
  // An interactive session would otherwise keep every platform call it made.
  standin::SetCallRecording(false);

  std::string network_path;
  std::string error = standin::OpenNetworkForUser(&network_path);
  if (!error.empty()) {
    std::fprintf(stderr, "velmora: %s\n", error.c_str());
    return 1;
  }
  HINSTANCE instance = standin::LoadModule(velmora_res, velmora_res_size);
  if (instance == nullptr) {
    std::fprintf(stderr, "velmora: the program's resources cannot be loaded\n");
    return 1;
  }

  tui::CursesTerminal terminal;
  if (!terminal.Start(&error)) {
    std::fprintf(stderr, "velmora: %s\n", error.c_str());
    return 1;
  }
  tui::TerminalDriver driver(terminal, HelpDirectories());
  standin::SetDriver(&driver);
  int exit_code = 1;
  try {
    char command_line[] = "";
    exit_code = WinMain(instance, nullptr, command_line, SW_SHOWNORMAL);
  } catch (const tui::TerminalClosed &) {
    standin::SetDriver(nullptr);
    terminal.Stop();
    std::fprintf(stderr, "velmora: the terminal was closed\n");
    return 1;
  } catch (const tui::ProgramFaulted &fault) {
    standin::SetDriver(nullptr);
    terminal.Stop();
    std::fprintf(stderr, "velmora: program fault: %s\n", fault.what());
    return 70;
  } catch (...) {
    standin::SetDriver(nullptr);
    terminal.Stop();
    throw;
  }
  standin::SetDriver(nullptr);
  terminal.Stop();
  return exit_code;
}
