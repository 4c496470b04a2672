// SPDX-License-Identifier: GPL-3.0-or-later
#include "server_call.h"

#include <standin/call_log.h>
#include <standin/network.h>

#include <optional>

#include "network_state.h"
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

std::u16string WideText(LPCWSTR text) { return text == nullptr ? std::u16string() : std::u16string(text); }

// The computer name in a server name, or "" when the server name is
// malformed. Null and empty server names mean the local computer.
std::string ComputerNameOf(const std::u16string &server, const Network &network, bool *malformed) {
  *malformed = false;
  if (server.empty()) return network.LocalName();
  std::u16string name = server;
  if (name.size() >= 2 && name[0] == u'\\' && name[1] == u'\\') name = name.substr(2);
  const std::string utf8 = WideToUtf8(name);
  if (!IsValidComputerName(utf8)) {
    *malformed = true;
    return "";
  }
  return UpperCaseAscii(utf8);
}

}  // namespace

NET_API_STATUS CallOnServer(const char *function, LPCWSTR server, const std::string &args, Requires needs,
                            const std::function<NET_API_STATUS(Computer &computer, bool *changed)> &body,
                            const RemoteCall &remote) {
  const std::u16string server_text = WideText(server);
  RecordCall(function, WideToUtf8(server_text), args);
  std::optional<realnet::Target> target;
  const NET_API_STATUS status = WithNetwork([&](Network &network, bool *changed) -> NET_API_STATUS {
    bool malformed = false;
    const std::string name = ComputerNameOf(server_text, network, &malformed);
    if (malformed) return ERROR_INVALID_NAME;
    if (auto fault = TakeFault(name, function)) return *fault;
    Computer *computer = network.Find(name);
    if (computer != nullptr && computer->real) {
      target = realnet::Target{computer->name, *computer->real, network.credentials};
      // A network file that keeps a clock shares it with every computer it
      // describes, those served elsewhere too.
      const SYSTEMTIME now = CurrentClock();
      if (network.clock && FormatClock(*network.clock) != FormatClock(now)) {
        network.clock = now;
        *changed = true;
      }
      return NERR_Success;
    }
    if (computer == nullptr || computer->unreachable) return ERROR_BAD_NETPATH;
    if (needs == Requires::kWindowsNt && computer->platform_id != PLATFORM_ID_NT) return ERROR_NOT_SUPPORTED;
    return body(*computer, changed);
  });
  if (status != NERR_Success || !target) return status;
  const NET_API_STATUS result = remote(*target);
  // The program shows only the code; the diagnostic line says why.
  const std::string reason = realnet::TakeFailureReason();
  if (!reason.empty()) Diagnose(reason);
  return result;
}

bool IsScheduleService(LPCWSTR service) {
  if (service == nullptr) return false;
  const char16_t *expected = u"schedule";
  size_t i = 0;
  for (; service[i] != 0 && expected[i] != 0; ++i) {
    char16_t c = service[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != expected[i]) return false;
  }
  return service[i] == 0 && expected[i] == 0;
}

}  // namespace standin::netapi32
