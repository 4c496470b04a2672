// SPDX-License-Identifier: GPL-3.0-or-later
#include "real_host_mode.h"

#include <standin/network.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "scenario_statements.h"

#include <cstdio>
#include <fstream>

namespace standin::scenario {
namespace {

struct Mode {
  std::string address;
  unsigned port = 0;
  std::string credentials;
  std::string network;
  std::string privacy = "seal";
  unsigned runs = 0;
};

Mode &TheMode() {
  static Mode mode;
  return mode;
}

// A loopback port where nothing listens, for unreachable computers.
unsigned ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 9;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  unsigned port = 9;  // discard: closed on a test machine
  if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
    port = ntohs(address.sin_port);
  ::close(fd);
  return port;
}

}  // namespace

bool TakeRealHostOption(const std::string &arg, std::string *error) {
  Mode &mode = TheMode();
  auto value = [&](const char *name) -> const char * {
    const std::string prefix = std::string(name) + "=";
    return arg.compare(0, prefix.size(), prefix) == 0 ? arg.c_str() + prefix.size() : nullptr;
  };
  if (const char *host = value("--real-host")) {
    const std::string text = host;
    const size_t colon = text.rfind(':');
    char *end = nullptr;
    const unsigned long port = colon == std::string::npos ? 0 : std::strtoul(text.c_str() + colon + 1, &end, 10);
    if (colon == 0 || colon == std::string::npos || port == 0 || port > 65535 || *end != '\0') {
      *error = "--real-host=" + text + ": expected ADDRESS:PORT";
      return true;
    }
    mode.address = text.substr(0, colon);
    mode.port = static_cast<unsigned>(port);
  } else if (const char *path = value("--credentials")) {
    mode.credentials = path;
  } else if (const char *path = value("--network")) {
    mode.network = path;
  } else if (const char *privacy = value("--privacy")) {
    mode.privacy = privacy;
    if (mode.privacy != "seal" && mode.privacy != "sign" && mode.privacy != "none")
      *error = "--privacy=" + mode.privacy + ": expected seal, sign or none";
  } else {
    return false;
  }
  return true;
}

std::string CheckRealHostOptions() {
  const Mode &mode = TheMode();
  if (mode.address.empty() && mode.credentials.empty() && mode.network.empty()) return "";
  if (mode.address.empty() || mode.credentials.empty() || mode.network.empty())
    return "--real-host, --credentials and --network go together";
  return "";
}

bool PlayingOnRealHost() { return !TheMode().address.empty(); }

std::string BeginRealHostScenario() {
  Mode &mode = TheMode();
  {
    // The first line tells the host that a new run begins (its pending
    // status queries belong to one run).
    // The host's computers see the scenario's clock too.
    const SYSTEMTIME start = DefaultClock();
    char clock[64];
    std::snprintf(clock, sizeof clock, "clock %04u-%02u-%02u %02u:%02u\n", start.wYear, start.wMonth, start.wDay,
                  start.wHour, start.wMinute);
    std::ofstream out(mode.network, std::ios::trunc);
    out << "# velmora-scenario run " << ::getpid() << "." << ++mode.runs << "\n"
        << "credentials " << QuoteString(mode.credentials) << "\n"
        << clock;
    if (!out) return "cannot write the network file " + mode.network;
  }
  return OpenNetworkFile(mode.network);
}

std::vector<Token> OnRealHost(const std::vector<Token> &tokens) {
  if (!PlayingOnRealHost() || tokens.empty() || tokens[0].value != "computer" || tokens[0].quoted) return tokens;
  const Mode &mode = TheMode();
  std::vector<Token> real;
  bool unreachable = false;
  for (const Token &token : tokens) {
    if (token.key.empty() && !token.quoted && token.value == "unreachable") {
      unreachable = true;
      continue;
    }
    real.push_back(token);
  }
  real.push_back({"", "real", false});
  real.push_back({"address", unreachable ? "127.0.0.1" : mode.address, false});
  real.push_back({"port", std::to_string(unreachable ? ClosedPort() : mode.port), false});
  real.push_back({"privacy", mode.privacy, false});
  return real;
}

}  // namespace standin::scenario
