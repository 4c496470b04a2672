// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-scenario.exe FILE...: plays scenario files against the real
// velmora.exe beside it (or the one VELMORA_EXE names), under Wine. Prints
// what the stand-in's velmora-scenario prints and exits alike: PASS FILE or
// FAIL FILE:LINE: reason per file, then "N passed, N failed"; 0 when all
// passed, 1 when one failed, 2 when a file could not be read or parsed.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <sstream>
#include <string>

#include "failure_screenshot.h"
#include "live_program.h"
#include "wine_back_end.h"

namespace {

// Scenario files may be named by their Unix paths; Wine shows the Unix file
// system as drive Z:.
std::wstring OpenablePath(const std::wstring &path) {
  if (path.empty() || path[0] != L'/') return path;
  std::wstring windows = L"Z:" + path;
  for (wchar_t &c : windows)
    if (c == L'/') c = L'\\';
  return windows;
}

bool ReadFileText(const std::string &path, std::string *text, std::string *error) {
  std::ifstream in(OpenablePath(wine_player::Wide(path)).c_str(), std::ios::binary);
  std::ostringstream buffer;
  if (in) buffer << in.rdbuf();
  if (!in || in.bad()) {
    *error = "it cannot be opened or read";
    return false;
  }
  *text = buffer.str();
  return true;
}

std::wstring ProgramPath() {
  wchar_t chosen[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"VELMORA_EXE", chosen, MAX_PATH) > 0) return OpenablePath(chosen);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"velmora.exe";
}

// Should the player itself fail, the file being played still gets its line,
// naming what happened, the line and the last action.
std::string current_file;

[[noreturn]] void LastWords(const std::string &what) {
  const standin::scenario::Interpreter *interpreter = wine_player::CurrentInterpreter();
  std::printf("FAIL %s:%d: the Wine player itself failed (%s) after %s\n", current_file.c_str(),
              interpreter ? interpreter->CurrentLine() : 0, what.c_str(),
              interpreter ? interpreter->LastAction().c_str() : "no action");
  std::fflush(stdout);
  std::_Exit(3);
}

LONG WINAPI OnPlayerException(EXCEPTION_POINTERS *exception) {
  LastWords("exception " + standin::scenario::HexText(exception->ExceptionRecord->ExceptionCode));
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) {
    std::fprintf(stderr, "usage: velmora-scenario.exe FILE...\n");
    return 2;
  }
  SetUnhandledExceptionFilter(OnPlayerException);
  std::set_terminate([] { LastWords("an unexpected C++ exception"); });
  std::vector<std::string> paths;
  for (int i = 1; i < argc; ++i) paths.push_back(wine_player::Utf8(argv[i]));
  LocalFree(argv);
  const std::wstring exe = ProgramPath();
  return standin::scenario::PlayFiles(paths, ReadFileText, [&](const std::string &text, size_t index) {
    current_file = paths[index];
    wine_player::NameScreenshots(wine_player::Wide(paths[index]));
    return wine_player::PlayScenarioFile(text, exe, static_cast<int>(index) + 1);
  });
}
