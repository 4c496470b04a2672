// SPDX-License-Identifier: GPL-3.0-or-later
// NETAPI32 calls against Samba's own servers, a standalone smbd and an AD
// domain controller (for Kerberos), as tests/platform/realnet/samba_test.sh
// starts them and names them in the environment.
#include <lm.h>

#include <standin/network.h>
#include <standin/text.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <remote_host.h>

namespace {

std::string Env(const char *name) {
  const char *value = std::getenv(name);
  EXPECT_NE(value, nullptr) << name << " is not set: run tests/platform/realnet/samba_test.sh";
  return value != nullptr ? value : "";
}

// The last reason the backend gave on the diagnostic line.
std::string g_reason;

std::string Reason() {
  std::string reason;
  reason.swap(g_reason);
  return reason;
}

// A network of one computer, in the folder `state`, with the credentials
// file STATE/CREDENTIALS.credentials (none when "").
void Open(const std::string &state, const std::string &credentials, const std::string &computer) {
  standin::SetNetworkDiagnosticSink([](const std::string &message) { g_reason = message; });
  std::ofstream(state + "/network") << (credentials.empty()
                                            ? ""
                                            : "credentials " + state + "/" + credentials + ".credentials\n")
                                    << computer << "\n";
  ASSERT_EQ(standin::OpenNetworkFile(state + "/network"), "");
}

// The smbd on VELMORA_SMBD_PORT as the computer SMBD.
void OpenSmbd(const std::string &credentials, const std::string &privacy = "seal") {
  Open(Env("VELMORA_SMBD_STATE"), credentials,
       "computer SMBD real address=127.0.0.1 port=" + Env("VELMORA_SMBD_PORT") + " privacy=" + privacy + " timeout=10");
}

NET_API_STATUS ServiceWord(LPCWSTR service, DWORD *word) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceGetInfo(u"SMBD", service, 1, &buffer);
  *word = buffer != nullptr ? reinterpret_cast<SERVICE_INFO_1 *>(buffer)->svci1_status : 0xFFFFFFFF;
  NetApiBufferFree(buffer);
  return status;
}

size_t Count(const std::string &path, const std::string &text) {
  std::ifstream in(path);
  const std::string log((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  size_t n = 0;
  for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
  return n;
}

TEST(Smbd, AnAdministratorReachesTheWorkstationAndServiceController) {
  OpenSmbd("admin");
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"SMBD"), 100, &buffer), static_cast<NET_API_STATUS>(NERR_Success))
      << Reason();
  EXPECT_EQ(reinterpret_cast<WKSTA_INFO_100 *>(buffer)->wki100_platform_id, static_cast<DWORD>(PLATFORM_ID_NT));
  EXPECT_EQ(std::u16string(reinterpret_cast<WKSTA_INFO_100 *>(buffer)->wki100_computername), u"VELMORASMB");
  NetApiBufferFree(buffer);

  DWORD word = 0;
  EXPECT_EQ(ServiceWord(u"Schedule", &word), static_cast<NET_API_STATUS>(NERR_BadServiceName));
  // Samba's spoolss backs Spooler with a state of its own, running while
  // spoolss is on: a stop and a start change it as on Windows. (Since Samba
  // 4.16 only its script-backed services answer every start and stop with 5.)
  for (bool start : {false, true}) {
    buffer = nullptr;
    EXPECT_EQ(start ? NetServiceInstall(u"SMBD", u"Spooler", 0, nullptr, &buffer)
                    : NetServiceControl(u"SMBD", u"Spooler", SERVICE_CTRL_UNINSTALL, 0, &buffer),
              static_cast<NET_API_STATUS>(NERR_Success))
        << Reason();
    NetApiBufferFree(buffer);
    EXPECT_EQ(ServiceWord(u"Spooler", &word), static_cast<NET_API_STATUS>(NERR_Success));
    EXPECT_EQ(word & SERVICE_INSTALL_STATE, start ? SERVICE_INSTALLED : SERVICE_UNINSTALLED) << start;
  }

  // smbd serves no ATSvc: the job calls fail as the platform's RPC runtime
  // reports an interface the host does not offer (1722, RPC_S_SERVER_UNAVAILABLE).
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetScheduleJobEnum(u"SMBD", &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume), NET_API_STATUS{1722});
  EXPECT_NE(Reason().find("(ATSvc)"), std::string::npos);
}

TEST(Smbd, APlainUserIsRefusedAndAWrongPasswordCostsOneLogon) {
  OpenSmbd("user");
  LPBYTE buffer = nullptr;
  DWORD word = 0;
  EXPECT_EQ(ServiceWord(u"Spooler", &word), static_cast<NET_API_STATUS>(NERR_Success));
  EXPECT_EQ(NetServiceInstall(u"SMBD", u"Spooler", 0, nullptr, &buffer),
            static_cast<NET_API_STATUS>(ERROR_ACCESS_DENIED));
  NetApiBufferFree(buffer);

  const std::string log = Env("VELMORA_SMBD_LOG");
  const size_t before = Count(log, "NT_STATUS_WRONG_PASSWORD");
  OpenSmbd("wrong");
  for (int refresh = 0; refresh < 4; ++refresh)
    EXPECT_EQ(ServiceWord(u"Schedule", &word), static_cast<NET_API_STATUS>(ERROR_LOGON_FAILURE)) << refresh;
  EXPECT_EQ(Count(log, "NT_STATUS_WRONG_PASSWORD") - before, 1u);
}

// One call with a marker service name, for samba_test.sh's capture.
TEST(SmbdCapture, AMarkerServiceName) {
  OpenSmbd("admin", Env("VELMORA_PRIVACY"));
  DWORD word = 0;
  EXPECT_EQ(ServiceWord(u"VelmoraMarkerSvc", &word), static_cast<NET_API_STATUS>(NERR_BadServiceName)) << Reason();
}

// The domain controller, by host name, with the authentication options given.
void OpenDc(const std::string &options, const std::string &credentials = "wrong") {
  Open(Env("VELMORA_DC_STATE"), credentials, "computer " + Env("VELMORA_DC_HOST") + " real timeout=10 " + options);
}

NET_API_STATUS DcWorkstation() {
  LPBYTE buffer = nullptr;
  const std::u16string host = standin::Utf8ToUtf16(Env("VELMORA_DC_HOST"));
  const NET_API_STATUS status = NetWkstaGetInfo(const_cast<LMSTR>(host.c_str()), 100, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

size_t NtlmAttempts() { return Count(Env("VELMORA_DC_STATE") + "/log/samba.log", "NT_STATUS_NTLM_BLOCKED"); }

TEST(Dc, ATicketAloneLogsOnAndItsFailuresKeepTheirReason) {
  const std::string state = Env("VELMORA_DC_STATE");
  // The credentials file's password is wrong, and its ccache= names the
  // ticket: only the ticket can work. (A computer's ccache= goes before the
  // file's: the other tests give it a cache without a ticket.)
  OpenDc("");
  EXPECT_EQ(DcWorkstation(), static_cast<NET_API_STATUS>(NERR_Success)) << Reason();
  const std::u16string host = standin::Utf8ToUtf16(Env("VELMORA_DC_HOST"));
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetServiceGetInfo(host.c_str(), u"Schedule", 1, &buffer), static_cast<NET_API_STATUS>(NERR_BadServiceName));
  // The DC serves no ATSvc: that, not a logon failure.
  DWORD read = 0, total = 0, resume = 0;
  EXPECT_EQ(NetScheduleJobEnum(host.c_str(), &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume),
            NET_API_STATUS{1722});

  // The same ticket and no credentials file: a host that does not answer is
  // a path not found, not a logon failure.
  OpenDc("port=1 ccache=FILE:" + state + "/admin.ccache", "");
  EXPECT_EQ(DcWorkstation(), static_cast<NET_API_STATUS>(ERROR_BAD_NETPATH)) << Reason();
}

TEST(Dc, KerberosWithoutAUsableTicketSaysWhyAndSendsNoPassword) {
  const std::string state = Env("VELMORA_DC_STATE");
  const size_t attempts = NtlmAttempts();
  OpenDc("auth=kerberos ccache=FILE:" + state + "/none.ccache");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1312});  // ERROR_NO_SUCH_LOGON_SESSION
  EXPECT_NE(Reason().find("holds no ticket (kinit gets one)"), std::string::npos);
  OpenDc("auth=kerberos ccache=FILE:" + state + "/expired.ccache");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1931});  // ERROR_CONTEXT_EXPIRED
  EXPECT_NE(Reason().find("expire"), std::string::npos);
  EXPECT_EQ(NtlmAttempts(), attempts);
}

// Run with a KRB5_CONFIG whose KDC does not answer, and a cache that holds
// only the ticket-granting ticket.
TEST(DcWithoutKdc, NoTicketForTheHostIsToldAsNoLogonServerAndAutoFallsBack) {
  const std::string state = Env("VELMORA_DC_STATE");
  OpenDc("auth=kerberos ccache=FILE:" + state + "/tgt-only.ccache");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1311});  // ERROR_NO_LOGON_SERVERS
  EXPECT_NE(Reason().find("KDC cannot be reached"), std::string::npos);
  OpenDc("ccache=FILE:" + state + "/tgt-only.ccache", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937});  // on to the password, which the DC blocks
}

TEST(Dc, APasswordLogonToADcThatBlocksNtlmIsToldAsSuch) {
  const std::string state = Env("VELMORA_DC_STATE");
  const size_t attempts = NtlmAttempts();
  OpenDc("auth=ntlm", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937}) << Reason();  // ERROR_NTLM_BLOCKED
  EXPECT_EQ(NtlmAttempts(), attempts + 1);
  // auto without a ticket falls back to the password, and says both.
  OpenDc("ccache=FILE:" + state + "/none.ccache", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937});
  const std::string reason = Reason();
  EXPECT_NE(reason.find("holds no ticket"), std::string::npos) << reason;
  EXPECT_NE(reason.find("NTLM"), std::string::npos) << reason;
}

// Run with this machine's clock an hour ahead of the DC's (faketime).
// Samba's server answers the ticket with a plain logon failure: the reason
// names the clocks as a likely cause.
TEST(DcWithSkewedClock, TheTicketIsRefusedAndTheReasonNamesTheClocks) {
  OpenDc("auth=kerberos ccache=FILE:" + Env("VELMORA_DC_STATE") + "/tgt-only.ccache");
  EXPECT_EQ(DcWorkstation(), static_cast<NET_API_STATUS>(ERROR_LOGON_FAILURE));
  EXPECT_NE(Reason().find("clock"), std::string::npos);
}

}  // namespace
