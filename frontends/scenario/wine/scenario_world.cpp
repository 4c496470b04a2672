// SPDX-License-Identifier: GPL-3.0-or-later
#include "scenario_world.h"

#include <standin/network.h>

#include <cstdio>
#include <cstdlib>

#include "live_program.h"

namespace wine_player {
namespace {

std::string Narrow(const std::wstring &path) { return Utf8(path); }

// libfaketime's timestamp file and the relay trace are named by their Unix
// paths; Wine shows the Unix file system as drive Z:.
std::wstring UnixFileFrom(const char *variable) {
  const char *unix_path = std::getenv(variable);
  if (unix_path == nullptr || unix_path[0] != '/') return L"";
  std::wstring path = L"Z:" + Wide(unix_path);
  for (wchar_t &c : path)
    if (c == L'/') c = L'\\';
  return path;
}

int64_t FileTimeMs(const SYSTEMTIME &time) {
  FILETIME file{};
  SystemTimeToFileTime(&time, &file);
  ULARGE_INTEGER value;
  value.LowPart = file.dwLowDateTime;
  value.HighPart = file.dwHighDateTime;
  return static_cast<int64_t>(value.QuadPart / 10000);
}

bool WriteWholeFile(const std::wstring &path, const std::string &text) {
  const std::wstring temporary = path + L".new";
  HANDLE file =
      CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(file);
  return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

}  // namespace

std::string ScenarioWorld::Create(int run_number) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  directory_ = std::wstring(temp) + L"velmora-scenario-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(run_number);
  if (!CreateDirectoryW(directory_.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
    return "cannot create " + Narrow(directory_);
  network_path_ = directory_ + L"\\network";
  if (!WriteWholeFile(network_path_, "") || !WriteWholeFile(directory_ + L"\\faults", "") ||
      !WriteWholeFile(directory_ + L"\\calls", ""))
    return "cannot write the network files in " + Narrow(directory_);
  standin::ResetNetwork();
  std::string error = standin::OpenNetworkFile(Narrow(network_path_));
  if (!error.empty()) return error;
  // The fault plans live beside the network: the program's netapi32.dll
  // consumes them.
  _putenv_s("VELMORA_FAULT_FILE", Narrow(directory_ + L"\\faults").c_str());
  return "";
}

ScenarioWorld::~ScenarioWorld() {
  if (directory_.empty() || std::getenv("VELMORA_KEEP_RUNS") != nullptr) return;
  for (const wchar_t *name : {L"network", L"network.lock", L"faults", L"calls", L"program.err"})
    DeleteFileW((directory_ + L"\\" + name).c_str());
  RemoveDirectoryW(directory_.c_str());
}

// The clock stands still (docs/scenarios.md, "The clock"): libfaketime's
// file holds an absolute time, which it shows without running on.
std::string ScenarioWorld::SetClock(const SYSTEMTIME &local_time) {
  const std::wstring file = UnixFileFrom("FAKETIME_TIMESTAMP_FILE");
  if (file.empty())
    return "the program's clock cannot be set: FAKETIME_TIMESTAMP_FILE does not name libfaketime's file "
           "(scripts/test-wine.sh runs the player under libfaketime)";
  clock_ = local_time;
  char text[64];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u\n", local_time.wYear, local_time.wMonth,
                local_time.wDay, local_time.wHour, local_time.wMinute, local_time.wSecond);
  if (!WriteWholeFile(file, text)) return "cannot write the clock file " + Narrow(file);
  return "";
}

std::string ScenarioWorld::AdvanceMilliseconds(uint64_t milliseconds) {
  const int64_t target = FileTimeMs(clock_) + static_cast<int64_t>(milliseconds);
  ULARGE_INTEGER value;
  value.QuadPart = static_cast<ULONGLONG>(target) * 10000;
  FILETIME file{value.LowPart, value.HighPart};
  SYSTEMTIME then{};
  FileTimeToSystemTime(&file, &then);
  return SetClock(then);
}

std::string ScenarioWorld::Apply(const std::vector<standin::Token> &tokens) {
  return standin::ApplyWorldStatement(tokens);
}

// Wine's GetComputerNameA reads the registry's active computer name at each
// call, so the name is written there before the program starts (not the
// Linux host name, which Wine reads only when its server starts, and which
// cannot be a name in the ANSI code page). A world without a local computer
// gets a name longer than the platform returns, so that GetComputerNameA
// fails as on a computer whose name cannot be read.
std::string ScenarioWorld::RealiseLocalComputer() {
  const std::string local = standin::LocalComputerName();
  const std::wstring name = local.empty() ? L"VELMORA-NO-READABLE-NAME" : Wide(local);
  HKEY key = nullptr;
  LONG status =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName", 0,
                      nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(key, L"ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE *>(name.c_str()),
                            static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  if (status != ERROR_SUCCESS)
    return "the Wine player cannot set Wine's computer name (registry error " + std::to_string(status) + ")";
  // What the program reads into its buffer of MAX_COMPUTERNAME_LENGTH + 1
  // bytes must be what the stand-in gives it.
  std::string ansi(name.size() * 2 + 1, '\0');
  ansi.resize(static_cast<size_t>(WideCharToMultiByte(CP_ACP, 0, name.c_str(), static_cast<int>(name.size()), &ansi[0],
                                                      static_cast<int>(ansi.size()), nullptr, nullptr)));
  char seen[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof seen;
  const bool read = GetComputerNameA(seen, &size) != FALSE;
  const bool readable = !local.empty() && ansi.size() < sizeof seen;
  if (read == readable && (!read || ansi == seen)) return "";
  return "the Wine player cannot give the program the local computer name " +
         (local.empty() ? std::string("(none)") : local) + ": Wine's GetComputerNameA " +
         (read ? "returns " + FromCodePage(seen) : "fails (error " + std::to_string(GetLastError()) + ")");
}

std::wstring ScenarioWorld::RelayTracePath() const { return UnixFileFrom("VELMORA_RELAY_LOG"); }

std::wstring ScenarioWorld::ProgramEnvironment() const {
  std::vector<std::wstring> variables;
  wchar_t *block = GetEnvironmentStringsW();
  for (const wchar_t *p = block; *p; p += wcslen(p) + 1) variables.emplace_back(p);
  FreeEnvironmentStringsW(block);
  const std::vector<std::pair<std::wstring, std::wstring>> ours = {
      {L"VELMORA_NETWORK", network_path_},
      {L"VELMORA_FAULT_FILE", directory_ + L"\\faults"},
      {L"VELMORA_LIVE_CALL_LOG", directory_ + L"\\calls"},
      // Every call the program makes into Wine's DLLs, limited to calls
      // from velmora.exe by the RelayFromInclude setting.
      {L"WINEDEBUG", L"-all,+relay"},
  };
  std::wstring environment;
  for (const std::wstring &variable : variables) {
    bool replaced = false;
    for (const auto &own : ours)
      replaced = replaced || _wcsnicmp(variable.c_str(), (own.first + L"=").c_str(), own.first.size() + 1) == 0;
    if (!replaced) environment += variable + L'\0';
  }
  for (const auto &own : ours) environment += own.first + L"=" + own.second + L'\0';
  environment += L'\0';
  return environment;
}

}  // namespace wine_player
