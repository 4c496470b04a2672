// SPDX-License-Identifier: GPL-3.0-or-later
// NetWkstaGetInfo and the LAN Manager service functions of the stand-in,
// acting on the simulated Schedule service of each computer.
#include <lm.h>

#include "net_buffers.h"
#include "network_state.h"
#include "server_call.h"
#include "wide_text.h"

namespace standin::netapi32 {
namespace {

constexpr DWORD kSchedulePid = 0x1F4;  // the service process's ID while it runs

bool IsInstalled(DWORD status) { return (status & SERVICE_INSTALL_STATE) == SERVICE_INSTALLED; }
bool IsPaused(DWORD status) { return (status & SERVICE_PAUSE_STATE) == LM20_SERVICE_PAUSED; }

// The word a status query reports: a pending word while the computer's
// pending queries last, else the stored status.
DWORD ReportedStatus(const Computer &computer, bool is_query) {
  PendingQueries &pending = PendingOf(computer.name);
  if (pending.left == 0) return computer.status;
  if (is_query) --pending.left;
  return pending.word;
}

void *ServiceRecord(DWORD level, DWORD status) {
  const std::u16string name = u"Schedule";
  const DWORD pid = (status & SERVICE_INSTALL_STATE) != SERVICE_UNINSTALLED ? kSchedulePid : 0;
  if (level == 1) {
    NetBufferBuilder buffer(sizeof(SERVICE_INFO_1), name.size() + 1);
    auto *info = static_cast<SERVICE_INFO_1 *>(buffer.records());
    info->svci1_name = buffer.AddString(name);
    info->svci1_status = status;
    info->svci1_code = 0;
    info->svci1_pid = pid;
    return buffer.release();
  }
  NetBufferBuilder buffer(sizeof(SERVICE_INFO_2), 3 * (name.size() + 1));
  auto *info = static_cast<SERVICE_INFO_2 *>(buffer.records());
  info->svci2_name = buffer.AddString(name);
  info->svci2_status = status;
  info->svci2_code = 0;
  info->svci2_pid = pid;
  info->svci2_text = buffer.AddString(u"");
  info->svci2_specific_error = 0;
  info->svci2_display_name = buffer.AddString(name);
  return buffer.release();
}

std::string ServiceArgs(LPCWSTR service) {
  return "service=" + (service == nullptr ? std::string("(null)") : WideToUtf8(service));
}

}  // namespace
}  // namespace standin::netapi32

using standin::netapi32::CallOnServer;
using standin::netapi32::Computer;
using standin::netapi32::Requires;
using standin::realnet::Target;

extern "C" {

NET_API_STATUS NET_API_FUNCTION NetWkstaGetInfo(LMSTR servername, DWORD level, LPBYTE *bufptr) {
  if (bufptr != nullptr) *bufptr = nullptr;
  return CallOnServer(
      "NetWkstaGetInfo", servername, "level=" + std::to_string(level), Requires::kAnyPlatform,
      [&](Computer &computer, bool *) -> NET_API_STATUS {
        if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
        if (level != 100) return ERROR_INVALID_LEVEL;
        const std::u16string name = standin::netapi32::Utf8ToWide(computer.name);
        const std::u16string group = u"WORKGROUP";
        standin::netapi32::NetBufferBuilder buffer(sizeof(WKSTA_INFO_100), name.size() + group.size() + 2);
        auto *info = static_cast<WKSTA_INFO_100 *>(buffer.records());
        info->wki100_platform_id = computer.platform_id;
        info->wki100_computername = buffer.AddString(name);
        info->wki100_langroup = buffer.AddString(group);
        info->wki100_ver_major = 4;
        info->wki100_ver_minor = 0;
        *bufptr = static_cast<LPBYTE>(buffer.release());
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (bufptr == nullptr) return ERROR_INVALID_PARAMETER;
        if (level != 100) return ERROR_INVALID_LEVEL;
        standin::realnet::Workstation station;
        const NET_API_STATUS status = standin::realnet::WorkstationInfo(target, &station);
        if (status != NERR_Success) return status;
        standin::netapi32::NetBufferBuilder buffer(sizeof(WKSTA_INFO_100),
                                                   station.computer_name.size() + station.lan_group.size() + 2);
        auto *info = static_cast<WKSTA_INFO_100 *>(buffer.records());
        info->wki100_platform_id = station.platform_id;
        info->wki100_computername = buffer.AddString(station.computer_name);
        info->wki100_langroup = buffer.AddString(station.lan_group);
        info->wki100_ver_major = station.version_major;
        info->wki100_ver_minor = station.version_minor;
        *bufptr = static_cast<LPBYTE>(buffer.release());
        return NERR_Success;
      });
}

NET_API_STATUS NET_API_FUNCTION NetServiceGetInfo(LPCWSTR servername, LPCWSTR service, DWORD level, LPBYTE *bufptr) {
  if (bufptr != nullptr) *bufptr = nullptr;
  const std::string args = standin::netapi32::ServiceArgs(service) + " level=" + std::to_string(level);
  return CallOnServer(
      "NetServiceGetInfo", servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *) -> NET_API_STATUS {
        if (bufptr == nullptr || service == nullptr) return ERROR_INVALID_PARAMETER;
        if (level != 1 && level != 2) return ERROR_INVALID_LEVEL;
        if (!standin::netapi32::IsScheduleService(service)) return NERR_BadServiceName;
        const DWORD status = standin::netapi32::ReportedStatus(computer, true);
        *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(level, status));
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (bufptr == nullptr || service == nullptr) return ERROR_INVALID_PARAMETER;
        if (level != 1 && level != 2) return ERROR_INVALID_LEVEL;
        DWORD status = 0;
        const NET_API_STATUS code =
            standin::realnet::QueryService(target, standin::netapi32::WideToUtf8(service), &status);
        if (code == NERR_Success) *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(level, status));
        return code;
      });
}

NET_API_STATUS NET_API_FUNCTION NetServiceInstall(LPCWSTR servername, LPCWSTR service, DWORD argc, LPCWSTR argv[],
                                                  LPBYTE *bufptr) {
  if (bufptr != nullptr) *bufptr = nullptr;
  const std::string args = standin::netapi32::ServiceArgs(service) + " argc=" + std::to_string(argc);
  return CallOnServer(
      "NetServiceInstall", servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *changed) -> NET_API_STATUS {
        if (bufptr == nullptr || service == nullptr || (argc > 0 && argv == nullptr)) return ERROR_INVALID_PARAMETER;
        if (!standin::netapi32::IsScheduleService(service)) return NERR_BadServiceName;
        if ((computer.status & SERVICE_INSTALL_STATE) != SERVICE_UNINSTALLED) return NERR_ServiceInstalled;
        if (computer.behaviour.start_code != 0) return computer.behaviour.start_code;
        computer.status = standin::netapi32::kStatusRunning;
        *changed = true;
        standin::netapi32::PendingOf(computer.name) = {computer.behaviour.pending,
                                                       standin::netapi32::kStatusStartPending};
        const DWORD status = standin::netapi32::ReportedStatus(computer, false);
        *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(2, status));
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (bufptr == nullptr || service == nullptr || (argc > 0 && argv == nullptr)) return ERROR_INVALID_PARAMETER;
        const std::string name = standin::netapi32::WideToUtf8(service);
        const NET_API_STATUS code = standin::realnet::StartService(target, name);
        if (code != NERR_Success) return code;
        // The controller has started the service, which has yet to report
        // itself running.
        *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(2, SERVICE_INSTALL_PENDING));
        return NERR_Success;
      });
}

NET_API_STATUS NET_API_FUNCTION NetServiceControl(LPCWSTR servername, LPCWSTR service, DWORD opcode, DWORD arg,
                                                  LPBYTE *bufptr) {
  if (bufptr != nullptr) *bufptr = nullptr;
  const std::string args =
      standin::netapi32::ServiceArgs(service) + " opcode=" + std::to_string(opcode) + " arg=" + std::to_string(arg);
  return CallOnServer(
      "NetServiceControl", servername, args, Requires::kWindowsNt,
      [&](Computer &computer, bool *changed) -> NET_API_STATUS {
        using standin::netapi32::IsInstalled;
        using standin::netapi32::IsPaused;
        if (bufptr == nullptr || service == nullptr) return ERROR_INVALID_PARAMETER;
        if (!standin::netapi32::IsScheduleService(service)) return NERR_BadServiceName;
        if (opcode > SERVICE_CTRL_UNINSTALL) return ERROR_INVALID_PARAMETER;
        if (!IsInstalled(computer.status)) return NERR_ServiceNotInstalled;
        switch (opcode) {
          case SERVICE_CTRL_CONTINUE:
            if (!IsPaused(computer.status)) return NERR_ServiceCtlNotValid;
            if (computer.behaviour.continue_code != 0) return computer.behaviour.continue_code;
            computer.status &= ~static_cast<DWORD>(SERVICE_PAUSE_STATE);
            standin::netapi32::PendingOf(computer.name) = {computer.behaviour.pending,
                                                           computer.status | LM20_SERVICE_CONTINUE_PENDING};
            *changed = true;
            break;
          case SERVICE_CTRL_PAUSE:
            if (IsPaused(computer.status)) return NERR_ServiceCtlNotValid;
            computer.status |= LM20_SERVICE_PAUSED;
            *changed = true;
            break;
          case SERVICE_CTRL_UNINSTALL:
            computer.status = standin::netapi32::kStatusStopped;
            standin::netapi32::PendingOf(computer.name) = {};
            *changed = true;
            break;
          default:  // SERVICE_CTRL_INTERROGATE
            break;
        }
        const DWORD status = standin::netapi32::ReportedStatus(computer, false);
        *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(2, status));
        return NERR_Success;
      },
      [&](const Target &target) -> NET_API_STATUS {
        if (bufptr == nullptr || service == nullptr) return ERROR_INVALID_PARAMETER;
        if (opcode > SERVICE_CTRL_UNINSTALL) return ERROR_INVALID_PARAMETER;
        DWORD status = 0;
        const NET_API_STATUS code =
            standin::realnet::ControlService(target, standin::netapi32::WideToUtf8(service), opcode, &status);
        if (code == NERR_Success) *bufptr = static_cast<LPBYTE>(standin::netapi32::ServiceRecord(2, status));
        return code;
      });
}

}  // extern "C"
