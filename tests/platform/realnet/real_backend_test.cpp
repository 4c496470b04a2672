// SPDX-License-Identifier: GPL-3.0-or-later
// The NETAPI32 functions on real computers, served by the fake host over SMB named pipes: the calls, their records, and
// every failure row of the code table in the README; then against Samba's own servers.
#include <lm.h>

#include <standin/text.h>

#include <arpa/inet.h>
#include <malloc.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <numeric>
#include <thread>

#include <krb5.h>
#include <remote_host.h>

#include "fake_host.h"

namespace {

using Clock = std::chrono::steady_clock;
// 1722: RPC_S_SERVER_UNAVAILABLE
constexpr NET_API_STATUS kOk = NERR_Success, k53 = ERROR_BAD_NETPATH, kRefused = ERROR_LOGON_FAILURE, k1722 = 1722,
                         kDenied = ERROR_ACCESS_DENIED, kNoService = NERR_BadServiceName;

double SecondsSince(Clock::time_point began) { return std::chrono::duration<double>(Clock::now() - began).count(); }

// A deadline of `seconds` and the backend's 100 ms of grace, as late as a sleep on this machine is now: a
// loaded machine delays the measure as much as the call held to it.
double Deadline(double seconds) {
  const auto began = Clock::now();
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
  return SecondsSince(began) + 0.1;
}

// The last line the backend wrote to the front ends' diagnostic line.
std::string g_reason;
const bool kListening = (standin::SetNetworkDiagnosticSink([](const std::string &line) { g_reason = line; }), true);

std::string Reason() { return std::exchange(g_reason, ""); }

DWORD ServiceWord(LPCWSTR server, NET_API_STATUS *status = nullptr, LPCWSTR service = u"Schedule") {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS code = NetServiceGetInfo(server, service, 1, &buffer);
  if (status != nullptr) *status = code;
  const DWORD word = buffer != nullptr ? reinterpret_cast<SERVICE_INFO_1 *>(buffer)->svci1_status : 0xFFFFFFFF;
  NetApiBufferFree(buffer);
  return word;
}

NET_API_STATUS Workstation(LPCWSTR server) {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetWkstaGetInfo(const_cast<LMSTR>(server), 100, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

NET_API_STATUS Control(DWORD control, LPCWSTR service = u"Schedule") {
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = NetServiceControl(u"PC01", service, control, 0, &buffer);
  NetApiBufferFree(buffer);
  return status;
}

// Once the session is open and a call's interface bound, every call is one SMB request.
TEST(RealBackend, JobsServiceAndWorkstationThroughOneSessionOneRequestEach) {
  FakeHost host;
  host.Open("service=running", "job PC01 id=4 at=19:00 flags=0x01 dow=0x01 cmd=\"夜間 backup.cmd\"\n");
  const unsigned long sessions = standin::realnet::SessionsOpened();
  unsigned long sent = 0;
  const auto requests = [&] { return host.Logged("request") - std::exchange(sent, host.Logged("request")); };

  EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);  // opens the session, the manager and the service
  EXPECT_LE(requests(), 10u);
  EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);
  EXPECT_EQ(requests(), 1u);
  for (DWORD control : {SERVICE_CTRL_INTERROGATE, SERVICE_CTRL_PAUSE, SERVICE_CTRL_CONTINUE}) {
    EXPECT_EQ(Control(control), kOk);
    EXPECT_EQ(requests(), 1u) << control;
  }
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetServiceInstall(u"PC01", u"Schedule", 0, nullptr, &buffer),
            static_cast<NET_API_STATUS>(NERR_ServiceInstalled));
  EXPECT_EQ(requests(), 1u);

  EXPECT_EQ(Enum(u"\\\\PC01"), kOk);  // binds ATSvc
  requests();
  EXPECT_EQ(Listing(u"PC01"), std::pair(kOk, 1u));
  EXPECT_EQ(requests(), 1u);

  EXPECT_EQ(Workstation(u"PC01"), kOk);
  EXPECT_EQ(Control(SERVICE_CTRL_UNINSTALL), kOk);
  EXPECT_EQ(ServiceWord(u"PC01"), 0u);  // stopped
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
  EXPECT_EQ(standin::realnet::SessionsOpened() - sessions, 1u);

  // A session closed gives back what it took: ten more, each ended by a new network, leave the heap as it was.
  const size_t before = mallinfo2().uordblks;
  for (int session = 0; session < 10; ++session) {
    host.Open("service=running");
    EXPECT_EQ(Workstation(u"PC01"), kOk);
  }
  host.Open("service=running");
  EXPECT_LT(mallinfo2().uordblks, before + 100000);
}

TEST(RealBackend, FailuresGiveNetapiCodesAndSayWhy) {
  FakeHost host;
  host.Open("", "", "", 1);  // nothing listens: 53
  EXPECT_EQ(Enum(u"PC01"), k53);
  EXPECT_EQ(Reason().find("PC01: cannot reach the host 127.0.0.1"), 0u);

  // A password the host refuses: the logon failure, tried once. Refreshes then fail at once and spare the
  // account; selecting the computer again tries once more; a new file is used.
  const std::string wrong = FakeHost::WriteFile(host.directory() + "/wrong", "username=alice\npassword=nope\n");
  host.Open("", "", wrong);
  for (int refresh = 0; refresh < 4; ++refresh) {
    NET_API_STATUS status = 0;
    ServiceWord(u"PC01", &status);
    EXPECT_EQ(status, kRefused);
    EXPECT_EQ(Enum(u"PC01"), kRefused);
  }
  EXPECT_EQ(host.Logged("refused"), 1u);
  EXPECT_EQ(Reason().find("PC01: the host refused the logon (NT_STATUS_LOGON_FAILURE); not tried again"), 0u);
  EXPECT_EQ(Workstation(u"PC01"), kRefused);
  EXPECT_EQ(Enum(u"PC01"), kRefused);
  EXPECT_EQ(host.Logged("refused"), 2u);
  FakeHost::WriteFile(wrong, std::string("username=alice\npassword=") + FakeHost::kPassword + "\n");
  EXPECT_EQ(Enum(u"PC01"), kOk);

  // A file others may read is not used: a call gets the logon failure; opening the network says why.
  host.Open("", "", wrong);
  chmod(wrong.c_str(), 0640);
  EXPECT_EQ(Enum(u"PC01"), kRefused);
  const std::string message = standin::OpenNetworkFile(host.directory() + "/network");
  EXPECT_NE(message.find("chmod 600 " + wrong), std::string::npos) << message;
  EXPECT_EQ(message.find("s3cret"), std::string::npos);

  // Packet privacy is asked for unless lowered: the fake host cannot seal.
  host.OpenNetwork("computer PC01" + host.At() + " timeout=3\n");
  EXPECT_EQ(Enum(u"PC01"), k53);
  EXPECT_EQ(Reason().find("PC01: the host refused a sealed bind"), 0u);
}

// A host without ATSvc, as Samba, and one that refuses its calls, as Windows 8 and later without EnableAt:
// the job calls get the platform's code, once per session; the other calls still work.
TEST(RealBackend, AHostWithoutATSvcStillServesTheOtherCalls) {
  for (const auto &[flag, code] :
       {std::pair<const char *, NET_API_STATUS>{"--no-atsvc", k1722}, {"--refuse-atsvc", ERROR_NOT_SUPPORTED}}) {
    FakeHost host({flag});
    host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n");
    const unsigned long sessions = standin::realnet::SessionsOpened();
    Reason();
    EXPECT_EQ(ServiceWord(u"PC01"), 0x33u) << flag;
    EXPECT_EQ(Enum(u"PC01"), code) << flag;
    EXPECT_EQ(NetScheduleJobDel(u"PC01", 1, 1), code) << flag;
    AT_INFO job = {36000000, 0, 0, 0, const_cast<LPWSTR>(u"b.cmd")};
    DWORD id = 0;
    EXPECT_EQ(NetScheduleJobAdd(u"PC01", reinterpret_cast<LPBYTE>(&job), &id), code) << flag;
    EXPECT_EQ(standin::JobsOf("PC01").size(), 1u);
    if (code == k1722) {
      EXPECT_EQ(Reason().find("PC01: the host does not serve the Schedule service's remote interface (ATSvc)"), 0u);
    }
    EXPECT_EQ(Workstation(u"PC01"), kOk);
    EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);
    EXPECT_EQ(standin::realnet::SessionsOpened() - sessions, 1u) << flag;
  }
}

// The service controller's refusals come back as NETAPI32 gives them, on their session; a handle the
// controller no longer knows (it restarted) is opened again, and the call still answered.
TEST(RealBackend, ServiceControllerRefusalsKeepTheSessionAndStaleHandlesAreReopened) {
  FakeHost host({"--service-rights", "0xC4"});  // SERVICE_QUERY_STATUS, SERVICE_PAUSE_CONTINUE, SERVICE_INTERROGATE
  host.Open("service=running");
  const unsigned long sessions = standin::realnet::SessionsOpened();
  EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);  // opened with the rights the account holds
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetServiceGetInfo(u"PC01", u"NoSuchService", 1, &buffer), kNoService);
  EXPECT_EQ(NetServiceControl(u"PC01", u"Schedule", SERVICE_CTRL_UNINSTALL, 0, &buffer), kDenied);
  EXPECT_EQ(Control(SERVICE_CTRL_INTERROGATE), kOk);
  const size_t before = host.Logged("request");
  EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);
  EXPECT_EQ(host.Logged("request") - before, 1u);  // the handle was kept

  host.ForgetHandles();
  NET_API_STATUS status = 0;
  EXPECT_EQ(ServiceWord(u"PC01", &status), 0x33u);
  EXPECT_EQ(status, kOk);
  EXPECT_EQ(Control(SERVICE_CTRL_PAUSE), kOk);  // asks for the right to pause alone
  EXPECT_EQ(standin::realnet::SessionsOpened() - sessions, 1u);
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

// A logon the host refused is spared until one succeeds; after that, a
// reconnection logs on again. Files with CR LF lines serve, and DOMAIN\user.
TEST(RealBackend, ASuccessEndsAnEarlierRefusalAndCrLfFilesLogOn) {
  // A failed logon, a wrong password, an unknown user, then the account restricted, outside its hours, workstation not
  // allowed, password expired, disabled, account expired, password must change, locked out.
  FakeHost host({"--refuse-logons",
                 "0xC000006D,0xC000006A,0xC0000064,0xC000006E,0xC000006F,0xC0000070,0xC0000071,0xC0000072,0xC0000193,"
                 "0xC0000224,0xC0000234",
                 "--drop-enum", "1"});
  const std::string crlf =
      FakeHost::WriteFile(host.directory() + "/crlf",
                          "username=WORKGROUP\\alice\r\npassword = " + std::string(FakeHost::kPassword) + "\r\n");
  host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n", crlf);
  EXPECT_EQ(Enum(u"PC01"), kRefused);
  EXPECT_EQ(Enum(u"PC01"), kRefused);
  EXPECT_EQ(host.Logged("refused"), 1u);
  // Selecting the computer again tries once more; each refusal is spared.
  for (NET_API_STATUS code : {1326, 1326, 1327, 1328, 1329, 1330, 1331, 1793, 1907, 1909}) {
    EXPECT_EQ(Workstation(u"PC01"), code);
    EXPECT_EQ(Enum(u"PC01"), code);
  }
  EXPECT_EQ(host.Logged("refused"), 11u);
  EXPECT_EQ(Workstation(u"PC01"), kOk);
  // The host drops this listing's connection: it is tried again on a new one.
  EXPECT_EQ(Listing(u"PC01"), std::pair(kOk, 1u));
  EXPECT_EQ(host.Logged("refused"), 11u);
}

// A ticket cache at `path` holding alice's ticket-granting ticket of VELMORA.TEST,
// ending at `end`, sealed with no key a KDC knows: only its times count.
void WriteTicketCache(const std::string &path, time_t end) {
  krb5_context context = nullptr;
  ASSERT_EQ(krb5_init_context(&context), 0);
  krb5_ccache cache = nullptr;
  krb5_creds creds{};
  // DER: Ticket { tkt-vno 5, realm, sname krbtgt/VELMORA.TEST, enc-part { aes256, 32 bytes } }
  char ticket[] =
      "ag0e\xa0\x03\x02\x01\x05\xa1\x0e\x1b\x0cVELMORA.TEST\xa2!0\x1f\xa0\x03\x02\x01\x02\xa1\x18"
      "0\x16\x1b\x06krbtgt\x1b\x0cVELMORA.TEST\xa3+0)\xa0\x03\x02\x01\x12\xa2\x22\x04 ********************************";
  char key[32] = {};
  ASSERT_EQ(krb5_cc_resolve(context, ("FILE:" + path).c_str(), &cache), 0);
  ASSERT_EQ(krb5_parse_name(context, "alice@VELMORA.TEST", &creds.client), 0);
  ASSERT_EQ(krb5_parse_name(context, "krbtgt/VELMORA.TEST@VELMORA.TEST", &creds.server), 0);
  EXPECT_EQ(krb5_cc_initialize(context, cache, creds.client), 0);
  creds.times.authtime = creds.times.starttime = static_cast<krb5_timestamp>(time(nullptr) - 3600);
  creds.times.endtime = static_cast<krb5_timestamp>(end);
  creds.ticket = {KV5M_DATA, sizeof ticket - 1, ticket};
  creds.keyblock = {KV5M_KEYBLOCK, ENCTYPE_AES256_CTS_HMAC_SHA1_96, sizeof key, reinterpret_cast<krb5_octet *>(key)};
  EXPECT_EQ(krb5_cc_store_cred(context, cache, &creds), 0);
  krb5_free_principal(context, creds.client);
  krb5_free_principal(context, creds.server);
  krb5_cc_close(context, cache);
  krb5_free_context(context);
}

// auth=auto uses the password only where no ticket can serve the host (none, expired, a numeric address,
// a host that takes none); auth=kerberos then fails with Kerberos's code, sending nothing when the cache
// tells it already; auth=ntlm ignores tickets.
TEST(RealBackend, AutoFallsBackToThePasswordOnlyWhereNoTicketServesTheHost) {
  FakeHost host;
  const std::string dir = host.directory();
  for (const auto &[name, end] : {std::pair<const char *, time_t>{"expired", -60}, {"usable", 3600}, {"soon", 120}})
    WriteTicketCache(dir + "/" + name, time(nullptr) + end);
  // Should Kerberos ask this realm's KDC: a loopback port where nothing listens.
  FakeHost::WriteFile(dir + "/krb5.conf",
                      "[libdefaults]\ndefault_realm = VELMORA.TEST\ndns_lookup_kdc = false\ndns_lookup_realm = false\n"
                      "[realms]\nVELMORA.TEST = {\n kdc = 127.0.0.1:1\n}\n",
                      0644);
  setenv("KRB5_CONFIG", (dir + "/krb5.conf").c_str(), 1);
  const struct {
    const char *address, *options;
    NET_API_STATUS code;  // of the listing
    const char *reason;   // what the diagnostic line holds then
  } kCases[] = {
      // Refused from the cache or the address alone, before any connection.
      {"localhost", "auth=kerberos ccache=FILE:/nonexistent/velmora", 1312, "holds no ticket (kinit gets one)"},
      {"localhost", "auth=kerberos ccache=NOSUCHTYPE:velmora", 1312, "cache NOSUCHTYPE:velmora holds no ticket"},
      {"localhost", "auth=kerberos ccache=FILE:DIR/expired", 1931, "holds an expired ticket (kinit renews it)"},
      {"localhost", "auth=kerberos ccache=FILE:DIR/soon", 1931, "holds a ticket that expires within 5 minutes"},
      {"127.0.0.1", "auth=kerberos ccache=FILE:DIR/usable", 1396, "a ticket names a host, not 127.0.0.1"},
      {"localhost", "ccache=FILE:/nonexistent/velmora", NERR_Success, ""},
      {"localhost", "ccache=FILE:DIR/expired", NERR_Success, ""},
      {"localhost", "ccache=FILE:DIR/usable", NERR_Success, ""},
      {"localhost", "auth=ntlm ccache=FILE:DIR/usable", NERR_Success, ""},
      {"127.0.0.1", "ccache=FILE:DIR/usable", NERR_Success, ""},
      // The fake host, as NT 4.0, offers no Kerberos: auto's password serves it.
      {"localhost", "auth=kerberos ccache=FILE:DIR/usable", 1396, "the host takes no Kerberos ticket"},
  };
  for (const auto &c : kCases) {
    std::string options = c.options;
    if (options.find("DIR") != std::string::npos) options.replace(options.find("DIR"), 3, dir);
    host.OpenNetwork("computer PC01" + host.At(c.address) + " privacy=none timeout=3 " + options + "\n");
    EXPECT_EQ(Enum(u"PC01"), c.code) << c.address << " " << c.options;
    const std::string reason = Reason();
    EXPECT_NE(reason.find(c.reason), std::string::npos) << c.options << ": " << reason;
    if (&c < kCases + 5) {
      EXPECT_EQ(host.Logged("request"), 0u) << c.options << ": nothing was sent";
    }
  }
  // A ticket that ends this very second has expired: written again until its check falls within that second.
  for (time_t end = 0; end != time(nullptr);) {
    WriteTicketCache(dir + "/now", end = time(nullptr));
    host.OpenNetwork("computer PC01" + host.At("localhost") + " auth=kerberos ccache=FILE:" + dir + "/now\n");
    Enum(u"PC01");
    EXPECT_NE(Reason().find("holds an expired ticket"), std::string::npos);
  }
  unsetenv("KRB5_CONFIG");
}

// 64 jobs fit one reply fragment of 4,280 bytes and 65 do not; 1,000 need more than one fragment's 64 KiB. Whole,
// with or without a resume handle, or in pieces of 2,000 bytes, each going on where its handle says: every job once.
TEST(RealBackend, ListingsOfEverySizeArriveWholeWithOrWithoutAResumeHandle) {
  FakeHost host;
  for (int count : {0, 1, 64, 65, 100, 300, 1000}) {
    std::string jobs;
    for (int id = 1; id <= count; ++id)
      jobs += "job PC01 id=" + std::to_string(id) + " at=19:00 cmd=\"backup job " + std::to_string(id) + ".cmd\"\n";
    host.Open("", jobs);
    std::vector<DWORD> all(count);
    std::iota(all.begin(), all.end(), 1);
    for (const auto &[length, with_resume] :
         {std::pair<DWORD, bool>{MAX_PREFERRED_LENGTH, true}, {MAX_PREFERRED_LENGTH, false}, {2000, true}}) {
      std::vector<DWORD> ids;
      std::u16string last;
      DWORD read = 0, total = 0, resume = 0;
      NET_API_STATUS status = ERROR_MORE_DATA;
      while (status == ERROR_MORE_DATA && ids.size() <= all.size()) {
        LPBYTE buffer = nullptr;
        status = NetScheduleJobEnum(u"PC01", &buffer, length, &read, &total, with_resume ? &resume : nullptr);
        EXPECT_EQ(ids.size() + total, all.size());  // the total counts from where the piece starts
        const auto *piece = reinterpret_cast<AT_ENUM *>(buffer);
        for (DWORD i = 0; i < read; ++i) ids.push_back(piece[i].JobId), last = piece[i].Command;
        NetApiBufferFree(buffer);
      }
      EXPECT_EQ(status, kOk) << count << " jobs in pieces of " << length << ", resume handle " << with_resume;
      EXPECT_EQ(ids, all);
      EXPECT_EQ(last, count > 0 ? u"backup job " + standin::Utf8ToUtf16(std::to_string(count)) + u".cmd" : u"");
    }
  }
  // Ten more listings of the 1,000 jobs (some 40 KB each) leave the heap as it was, give or take one.
  const size_t before = mallinfo2().uordblks;
  for (int listing = 0; listing < 10; ++listing) Enum(u"PC01");
  EXPECT_LT(mallinfo2().uordblks, before + 40000);
}

// A host that answers success without the record is broken, not trusted.
TEST(RealBackend, AnAnswerWithoutItsRecordGives53) {
  FakeHost host({"--no-records"});
  host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n");
  LPBYTE buffer = nullptr;
  EXPECT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"PC01"), 100, &buffer), k53);
  EXPECT_NE(Reason().find("the host answered without its record"), std::string::npos);
  EXPECT_EQ(NetScheduleJobGetInfo(u"PC01", 1, &buffer), k53);
  EXPECT_NE(Reason().find("the host answered without the job's record"), std::string::npos);
  EXPECT_EQ(standin::OutstandingNetBuffers(), 0u);
}

TEST(RealBackend, HungAndDroppedCallsGive53ThenTheConnectionIsReopened) {
  FakeHost host({"--drop-svcctl-binds", "2", "--hang-enum", "1", "--drop-enum", "1", "--enum-faults", "0x10000,1764"});
  host.Open("", "job PC01 id=1 at=10:00 cmd=\"a.cmd\"\n");
  EXPECT_EQ(Workstation(u"PC01"), kOk);
  ServiceWord(u"PC01");  // the controller's bind cut on that session, then on a fresh one: the second is told
  EXPECT_EQ(Reason().find("PC01: the host could not bind the service controller (svcctl)"), 0u);
  EXPECT_EQ(Enum(u"PC01"), k53);  // hangs
  EXPECT_NE(Reason().find("no answer from the host within 3 s"), std::string::npos);
  EXPECT_EQ(Enum(u"PC01"), k53);  // dropped mid-call
  EXPECT_EQ(Enum(u"PC01"), k53);  // faults: 0x10000 is no Win32 code, 1764 is
  EXPECT_EQ(Enum(u"PC01"), 1764u);
  EXPECT_EQ(Listing(u"PC01"), std::pair(kOk, 1u));
}

// PC01 with `options` and PC02 on the fake host: two computers, two sessions.
void OpenTwoComputers(const FakeHost &host, const std::string &options) {
  host.OpenNetwork("computer PC01" + host.At() + " privacy=none " + options + "\ncomputer PC02" + host.At() +
                   " privacy=none timeout=10\n");
}

// The longest of PC02's workstation queries, made back to back until `done` (at least `calls`).
double LongestQueryOfPc02(const std::function<bool()> &done, int calls) {
  double longest = 0;
  for (int call = 0; call < calls || !done(); ++call) {
    const auto began = Clock::now();
    EXPECT_EQ(Workstation(u"PC02"), kOk);
    longest = std::max(longest, SecondsSince(began));
  }
  return longest;
}

// Cuts PC01's listing at its deadline of 1 s, on a session opened first or on a fresh one.
void CutAtOneSecond(bool open_first) {
  double cut = 0, baseline = 0, meanwhile = 0, deadline = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (open_first) {
      ASSERT_EQ(ServiceWord(u"PC01"), 0x33u);
    }
    baseline = LongestQueryOfPc02([] { return true; }, 20);
    std::atomic<bool> ended{false};
    NET_API_STATUS code = 0;
    std::thread listing([&] {
      const auto began = Clock::now();
      code = Enum(u"PC01");
      cut = SecondsSince(began);
      ended = true;
    });
    meanwhile = LongestQueryOfPc02([&] { return ended.load(); }, 20);
    listing.join();
    EXPECT_EQ(code, k53);
    deadline = Deadline(1);
    if (cut <= deadline && meanwhile <= baseline + 0.05) break;
  }
  EXPECT_LE(cut, deadline);
  EXPECT_LE(meanwhile, baseline + 0.05) << "baseline " << baseline;
}

// A call cut at its deadline, on an open session or in the first bind of a fresh one, ends then, and
// tearing the broken session down waits on no host while the other computers need Samba's libraries. The
// bounds are the deadline and the other computer's pace in the same run; a loaded machine may spoil one
// measurement, so it is taken up to three times, while a call that overran would overrun every time.
TEST(RealBackend, ACallCutAtItsTimeoutEndsThenAndHoldsUpNoOtherComputer) {
  const std::vector<std::string> kHangs[] = {{"--delay-enum", "30"}, {"--hang-svcctl-bind"}};
  for (const auto &hang : kHangs) {
    SCOPED_TRACE(hang[0]);
    FakeHost host(hang);
    OpenTwoComputers(host, "timeout=1");
    CutAtOneSecond(hang[0] == "--delay-enum");
  }
}

// Samba bounds a DCE/RPC request, and each SMB request under it, by 60 s of its own: a computer's longer
// timeout holds instead, fresh session or open, with no second logon. (Two minutes: label slow.)
TEST(RealBackendSlow, AHostAnsweringAfter62SecondsIsAnsweredWithinALongerTimeout) {
  FakeHost host({"--delay-enum", "62"});
  OpenTwoComputers(host, "timeout=90");
  const unsigned long sessions = standin::realnet::SessionsOpened();
  EXPECT_EQ(Enum(u"PC01"), kOk);
  EXPECT_EQ(Enum(u"PC01"), kOk);
  EXPECT_EQ(standin::realnet::SessionsOpened() - sessions, 1u);
}

standin::realnet::Target OnLoopback(const char *name, unsigned port, unsigned timeout, const FakeHost &host) {
  return {name, {"127.0.0.1", port, standin::realnet::Privacy::kNone, timeout}, host.directory() + "/credentials"};
}

// A child that ends with a call in flight, seen after the pool's end (this object outlives the module's):
// the silent host hangs up, and the call, waiting in Samba's libraries, must not go on while they are torn
// down (status 1 when it returns).
struct EndOfChild {
  int host = -1;  // the silent host's end of the call's connection
  std::atomic<bool> returned{false};
  ~EndOfChild() {
    if (host < 0) return;
    close(host);
    for (int wait = 0; wait < 100 && !returned; ++wait) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    _exit(returned ? 1 : 0);
  }
} g_end_of_child;

// A host that accepts the connection and stays silent, answers garbage, or starts a reply that never ends
// costs its own calls their timeout at most, and delays neither the calls to another computer nor the
// program's end (which would wait for an hour here, past the test's time limit).
TEST(RealBackend, SilentOrBrokenHostsDelayNoOtherComputerNorTheExit) {
  FakeHost host;
  host.Open("");  // no connection is left open, so a child process may use the pool
  const pid_t child = fork();
  if (child == 0) {
    const int silent = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
    socklen_t size = sizeof address;
    if (bind(silent, reinterpret_cast<sockaddr *>(&address), size) != 0 || listen(silent, 1) != 0 ||
        getsockname(silent, reinterpret_cast<sockaddr *>(&address), &size) != 0)
      _exit(2);
    std::thread([target = OnLoopback("SILENT", ntohs(address.sin_port), 3600, host)] {
      DWORD word = 0;
      standin::realnet::QueryService(target, "Schedule", &word);
      g_end_of_child.returned = true;
    }).detach();
    g_end_of_child.host = accept(silent, nullptr, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::exit(0);
  }
  int child_status = -1;
  ASSERT_EQ(waitpid(child, &child_status, 0), child);
  EXPECT_EQ(child_status, 0);

  // Each ends by its deadline; taken up to three times, as a loaded machine may spoil one.
  for (int attempt = 0; attempt < 3; ++attempt) {
    struct Waiting {
      const char *name;
      unsigned port;
      DWORD code = 0;
      double seconds = 0;
      std::string reason{};
      std::thread thread{};
    } hosts[] = {{"SILENT", host.port(FakeHost::kSilent)},
                 {"GARBLED", host.port(FakeHost::kGarbage)},
                 {"ENDLESS", host.port(FakeHost::kEndless)}};
    for (Waiting &waiting : hosts) {
      waiting.thread = std::thread([target = OnLoopback(waiting.name, waiting.port, 2, host), &waiting] {
        const auto began = Clock::now();
        DWORD word = 0;
        waiting.code = standin::realnet::QueryService(target, "Schedule", &word);
        waiting.seconds = SecondsSince(began);
        waiting.reason = standin::realnet::TakeFailureReason();
      });
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    double pc01 = 0;
    for (int call = 0; call < 5; ++call) {
      const auto began = Clock::now();
      EXPECT_EQ(ServiceWord(u"PC01"), 0x33u);
      pc01 = std::max(pc01, SecondsSince(began));
    }
    double longest = 0;
    for (Waiting &waiting : hosts) {
      waiting.thread.join();
      EXPECT_EQ(waiting.code, static_cast<DWORD>(k53));
      EXPECT_EQ(waiting.reason.find(std::string(waiting.name) + ": no answer from the host within 2 s"), 0u)
          << waiting.reason;
      longest = std::max(longest, waiting.seconds);
    }
    EXPECT_LT(pc01, longest / 2) << "PC01 waited on the broken hosts";
    const double deadline = Deadline(2);
    if (longest <= deadline) break;
    if (attempt == 2)
      ADD_FAILURE() << "a broken host's call ended after " << longest << " s, its deadline " << deadline;
  }
}

// Against Samba's own servers, a standalone smbd and an AD domain controller
// (for Kerberos), as samba_test.sh starts them and names them in the environment.

std::string Env(const char *name) {
  const char *value = std::getenv(name);
  EXPECT_NE(value, nullptr) << name << " is not set: run tests/platform/realnet/samba_test.sh";
  return value != nullptr ? value : "";
}

// A network of one computer in the folder `state`, with STATE/CREDENTIALS.credentials (none when "").
void Open(const std::string &state, const std::string &credentials, const std::string &computer) {
  const std::string file = credentials.empty() ? "" : "credentials " + state + "/" + credentials + ".credentials\n";
  ASSERT_EQ(standin::OpenNetworkFile(FakeHost::WriteFile(state + "/network", file + computer + "\n")), "");
}

// The smbd on VELMORA_SMBD_PORT as the computer SMBD.
void OpenSmbd(const std::string &credentials, const std::string &privacy = "seal") {
  Open(Env("VELMORA_SMBD_STATE"), credentials,
       "computer SMBD real address=127.0.0.1 port=" + Env("VELMORA_SMBD_PORT") + " privacy=" + privacy + " timeout=10");
}

NET_API_STATUS SmbdService(LPCWSTR service, DWORD *word) {
  NET_API_STATUS status = 0;
  *word = ServiceWord(u"SMBD", &status, service);
  return status;
}

TEST(Smbd, AnAdministratorReachesTheWorkstationAndServiceController) {
  OpenSmbd("admin");
  LPBYTE buffer = nullptr;
  ASSERT_EQ(NetWkstaGetInfo(const_cast<LMSTR>(u"SMBD"), 100, &buffer), kOk) << Reason();
  EXPECT_EQ(reinterpret_cast<WKSTA_INFO_100 *>(buffer)->wki100_platform_id, static_cast<DWORD>(PLATFORM_ID_NT));
  EXPECT_EQ(std::u16string(reinterpret_cast<WKSTA_INFO_100 *>(buffer)->wki100_computername), u"VELMORASMB");
  NetApiBufferFree(buffer);

  DWORD word = 0;
  EXPECT_EQ(SmbdService(u"Schedule", &word), kNoService);
  // Samba's spoolss backs Spooler with a state of its own: a stop and a start change it as on Windows.
  // (Since Samba 4.16 only its script-backed services answer every start and stop with 5.)
  for (bool start : {false, true}) {
    buffer = nullptr;
    EXPECT_EQ(start ? NetServiceInstall(u"SMBD", u"Spooler", 0, nullptr, &buffer)
                    : NetServiceControl(u"SMBD", u"Spooler", SERVICE_CTRL_UNINSTALL, 0, &buffer),
              kOk)
        << Reason();
    NetApiBufferFree(buffer);
    EXPECT_EQ(SmbdService(u"Spooler", &word), kOk);
    EXPECT_EQ(word & SERVICE_INSTALL_STATE, start ? SERVICE_INSTALLED : SERVICE_UNINSTALLED) << start;
  }

  // smbd serves no ATSvc: 1722 (RPC_S_SERVER_UNAVAILABLE), as for an interface the host does not offer.
  EXPECT_EQ(Enum(u"SMBD"), k1722);
  EXPECT_NE(Reason().find("(ATSvc)"), std::string::npos);
}

TEST(Smbd, APlainUserIsRefusedAndAWrongPasswordCostsOneLogon) {
  OpenSmbd("user");
  LPBYTE buffer = nullptr;
  DWORD word = 0;
  EXPECT_EQ(SmbdService(u"Spooler", &word), kOk);
  EXPECT_EQ(NetServiceInstall(u"SMBD", u"Spooler", 0, nullptr, &buffer), kDenied);
  NetApiBufferFree(buffer);

  const std::string log = Env("VELMORA_SMBD_LOG");
  const size_t before = FakeHost::Occurrences(log, "NT_STATUS_WRONG_PASSWORD");
  OpenSmbd("wrong");
  for (int refresh = 0; refresh < 4; ++refresh) EXPECT_EQ(SmbdService(u"Schedule", &word), kRefused) << refresh;
  EXPECT_EQ(FakeHost::Occurrences(log, "NT_STATUS_WRONG_PASSWORD") - before, 1u);
}

// One call with a marker service name, for samba_test.sh's capture.
TEST(SmbdCapture, AMarkerServiceName) {
  OpenSmbd("admin", Env("VELMORA_PRIVACY"));
  DWORD word = 0;
  EXPECT_EQ(SmbdService(u"VelmoraMarkerSvc", &word), kNoService) << Reason();
}

// The domain controller, by host name, with the authentication options given.
void OpenDc(const std::string &options, const std::string &credentials = "wrong") {
  Open(Env("VELMORA_DC_STATE"), credentials, "computer " + Env("VELMORA_DC_HOST") + " real timeout=10 " + options);
}

NET_API_STATUS DcWorkstation() { return Workstation(standin::Utf8ToUtf16(Env("VELMORA_DC_HOST")).c_str()); }

size_t NtlmAttempts() {
  return FakeHost::Occurrences(Env("VELMORA_DC_STATE") + "/log/samba.log", "NT_STATUS_NTLM_BLOCKED");
}

// samba_test.sh's readiness probe: a workstation query with the ticket.
TEST(DcReady, AWorkstationQueryWithTheTicket) {
  OpenDc("");
  EXPECT_EQ(DcWorkstation(), kOk) << Reason();
}

TEST(Dc, ATicketAloneLogsOnAndItsFailuresKeepTheirReason) {
  // The file's password is wrong and its ccache= names the ticket: only the ticket can work. (A
  // computer's ccache= goes before the file's: the other tests give it a cache without a ticket.)
  OpenDc("");
  EXPECT_EQ(DcWorkstation(), kOk) << Reason();
  // The DC serves no ATSvc: that, not a logon failure.
  EXPECT_EQ(Enum(standin::Utf8ToUtf16(Env("VELMORA_DC_HOST")).c_str()), k1722);

  // The same ticket, no credentials file: a host that does not answer is 53, not a logon failure.
  OpenDc("port=1 ccache=FILE:" + Env("VELMORA_DC_STATE") + "/admin.ccache", "");
  EXPECT_EQ(DcWorkstation(), k53) << Reason();
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

// Run with a KRB5_CONFIG whose KDC does not answer, and a cache of the ticket-granting ticket alone.
TEST(DcWithoutKdc, NoTicketForTheHostIsToldAsNoLogonServerAndAutoFallsBack) {
  const std::string state = Env("VELMORA_DC_STATE");
  OpenDc("auth=kerberos ccache=FILE:" + state + "/tgt-only.ccache");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1311});  // ERROR_NO_LOGON_SERVERS
  EXPECT_NE(Reason().find("KDC cannot be reached"), std::string::npos);
  OpenDc("ccache=FILE:" + state + "/tgt-only.ccache", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937});  // on to the password, which the DC blocks
}

TEST(Dc, APasswordLogonToADcThatBlocksNtlmIsToldAsSuch) {
  const size_t attempts = NtlmAttempts();
  OpenDc("auth=ntlm", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937}) << Reason();  // ERROR_NTLM_BLOCKED
  EXPECT_EQ(NtlmAttempts(), attempts + 1);
  // auto without a ticket falls back to the password, and says both.
  OpenDc("ccache=FILE:" + Env("VELMORA_DC_STATE") + "/none.ccache", "admin");
  EXPECT_EQ(DcWorkstation(), NET_API_STATUS{1937});
  const std::string reason = Reason();
  EXPECT_NE(reason.find("holds no ticket"), std::string::npos) << reason;
  EXPECT_NE(reason.find("NTLM"), std::string::npos) << reason;
}

// Run with this machine's clock an hour ahead of the DC's (faketime). Samba answers the ticket with a
// plain logon failure: the reason names the clocks as a likely cause, and auto sends no password after it.
TEST(DcWithSkewedClock, TheTicketIsRefusedAndTheReasonNamesTheClocks) {
  for (const std::string auth : {"auth=kerberos ", ""}) {
    OpenDc(auth + "ccache=FILE:" + Env("VELMORA_DC_STATE") + "/tgt-only.ccache");
    EXPECT_EQ(DcWorkstation(), kRefused) << auth;
    EXPECT_NE(Reason().find("clock"), std::string::npos);
  }
}

}  // namespace
