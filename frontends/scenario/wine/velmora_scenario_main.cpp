// velmora-scenario.exe FILE...: plays scenario files against the real
// velmora.exe beside it (or the one VELMORA_EXE names), under Wine. Prints
// what the stand-in's velmora-scenario prints and exits alike: PASS FILE or
// FAIL FILE:LINE: reason per file, then "N passed, N failed"; 0 when all
// passed, 1 when one failed, 2 when a file could not be read or parsed.
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "failure_screenshot.h"
#include "live_program.h"
#include "wine_player.h"

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

bool ReadFileText(const std::wstring &path, std::string *text) {
  std::ifstream in(OpenablePath(path).c_str(), std::ios::binary);
  if (!in) return false;
  std::ostringstream buffer;
  buffer << in.rdbuf();
  *text = buffer.str();
  return !in.bad();
}

std::wstring ProgramPath() {
  wchar_t chosen[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"VELMORA_EXE", chosen, MAX_PATH) > 0) return OpenablePath(chosen);
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring path = self;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"velmora.exe";
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc < 2) {
    std::fprintf(stderr, "usage: velmora-scenario.exe FILE...\n");
    return 2;
  }
  const std::wstring exe = ProgramPath();
  int passed = 0, failed = 0;
  bool unreadable = false;
  for (int i = 1; i < argc; ++i) {
    const std::string shown = wine_player::Utf8(argv[i]);
    std::string text;
    if (!ReadFileText(argv[i], &text)) {
      std::printf("FAIL %s:0: cannot read the file\n", shown.c_str());
      ++failed;
      unreadable = true;
      std::fflush(stdout);
      continue;
    }
    wine_player::NameScreenshots(argv[i]);
    const wine_player::PlayResult result = wine_player::PlayScenarioFile(text, exe, i);
    if (result.status == wine_player::PlayResult::kPass) {
      std::printf("PASS %s\n", shown.c_str());
      ++passed;
    } else {
      std::printf("FAIL %s:%d: %s\n", shown.c_str(), result.line, result.reason.c_str());
      ++failed;
      if (result.status == wine_player::PlayResult::kParseError) unreadable = true;
    }
    std::fflush(stdout);
  }
  LocalFree(argv);
  std::printf("%d passed, %d failed\n", passed, failed);
  std::fflush(stdout);
  if (unreadable) return 2;
  return failed ? 1 : 0;
}
