// SPDX-License-Identifier: GPL-3.0-or-later
// The language of the front end's own texts follows the locale, and a reason is given whole in one language or left as
// it was made. The refusals are made by the platform's own code: a network file fed to its reader, real computers
// called through the real network's backend.
#include "message_catalogue.h"

#include <lm.h>

#include <standin/network.h>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace terminal {
namespace {

// The lowercase words of three letters or more in a text.
std::set<std::string> WordsOf(const std::string &text) {
  static const std::regex kWord("[[:alnum:]_]+"), kPlain("[a-z]{3,}");
  std::set<std::string> words;
  for (std::sregex_iterator it(text.begin(), text.end(), kWord), end; it != end; ++it)
    if (std::regex_match(it->str(), kPlain)) words.insert(it->str());
  return words;
}

// Words every language writes as they are: commands, settings, names.
const std::set<std::string> kAsTheyAre = {"auth",        "kerberos", "ntlm",     "auto",     "seal",        "sign",
                                          "none",        "kinit",    "chmod",    "running",  "stopped",     "paused",
                                          "real",        "mmm",      "velmora",  "realnet",  "svcctl",      "wkssvc",
                                          "unreachable", "privacy",  "username", "password", "credentials", "time"};

// Checks that the catalogue gives a reason the platform made whole in Japanese: no word of the English is left but
// those of what it names (a line of the file, a path) and a statement's syntax it quotes.
void ExpectJapanese(const std::string &english, const std::string &named) {
  const std::optional<std::string> japanese = ToJapanese(english);
  ASSERT_TRUE(japanese.has_value()) << "not in the catalogue: " << english;
  EXPECT_EQ(japanese->find("。。"), std::string::npos) << *japanese;  // a sentence within a sentence ends once
  const std::string prose = japanese->substr(0, japanese->find("書式: "));
  const std::set<std::string> kept = WordsOf(named);
  for (const std::string &word : WordsOf(prose))
    if (WordsOf(english).count(word) != 0 && kept.count(word) == 0 && kAsTheyAre.count(word) == 0)
      ADD_FAILURE() << "\"" << word << "\" left in " << *japanese << "\n  from " << english;
}

// A folder of its own for a test's files, removed with them.
struct Folder {
  const std::string path = mkdtemp(std::string("/tmp/velmora-catalogue-XXXXXX").data());
  ~Folder() { std::filesystem::remove_all(path); }
  std::string Write(const std::string &name, const std::string &text, mode_t mode = 0600) const {
    std::ofstream(path + "/" + name, std::ios::binary) << text;
    chmod((path + "/" + name).c_str(), mode);
    return path + "/" + name;
  }
};

TEST(MessageCatalogue, EveryRefusalOfANetworkFileIsGivenInJapanese) {
  const Folder folder;
  const std::string credentials = folder.Write("credentials", "username=alice\npassword=secret\n");
  const std::vector<std::string> files = {
      std::string("computer PC01\0", 14), "computer P\xFF", "computer PC01 service=\"x\\q\"",
      "job PC01 id=1 at=10:00 cmd=\"abc", "computer PC01 x\"y\"", "computer \"PC01\"x", "\"computer\" PC01",
      "fail PC01 NetWkstaGetInfo 5", "remove PC01 id=1", "frobnicate", "local PC01\nlocal PC02", "computer PC01 bogus",
      "computer PC01 colour=red", "computer PC01 platform=1 platform=2", "computer PC01 platform=x",
      "computer PC01 service=dancing", "local", "computer a*b", "computer PC01 port=1",
      "computer PC01 real unreachable", "computer PC01 real timeout=0", "computer PC01 real address=a/b",
      "computer PC01 real privacy=off", "computer PC01 real auth=ticket", "computer PC01 real ccache=\"\"",
      "computer PC01\ncomputer PC01", "service PC09 pending=1", "computer PC01\nservice PC01 state=dancing",
      "computer PC01\nservice PC01", "computer PC01\njob PC01 at=10:00 cmd=x", "computer PC01\njob PC01 id=1 cmd=x",
      "computer PC01\njob PC01 id=0 at=10:00 cmd=x", "computer PC01\njob PC01 id=1 at=10:00 flags=4 cmd=x",
      "computer PC01\njob PC01 id=1 at=25:00 cmd=x",
      "computer PC01\njob PC01 id=1 at=10:00 cmd=x\njob PC01 id=1 at=11:00 cmd=y", "clock 2026-13-01 10:00",
      "clock 2026-12-01 25:00", "credentials",
      // The credentials file of a network with a real computer.
      "credentials " + folder.Write("open", "username=alice\npassword=secret\n", 0644) + "\ncomputer PC01 real",
      "credentials " + folder.Write("nameless", "password=secret\n") + "\ncomputer PC01 real",
      "credentials " + folder.Write("long", "username=" + std::string(300, 'a') + "\n") + "\ncomputer PC01 real",
      "credentials " + folder.Write("latin1", "username=alice\npassword=s\xE9\n") + "\ncomputer PC01 real",
      "credentials " + folder.path + "\ncomputer PC01 real"};
  for (const std::string &text : files) {
    const std::string path = folder.Write("network", text);
    const std::string error = standin::OpenNetworkFile(path);
    ASSERT_FALSE(error.empty()) << text;
    ExpectJapanese(error, text + " " + path);
  }
  // The system's own wording is shown as it is.
  std::filesystem::create_symlink(folder.path + "/nowhere", folder.path + "/dangling");
  const std::string path = folder.Write("network", "credentials " + folder.path + "/dangling\ncomputer PC01 real");
  ExpectJapanese(standin::OpenNetworkFile(path), path + " " + folder.path + "/dangling " + std::strerror(ENOENT));
  ExpectJapanese(standin::OpenNetworkFile(folder.path + "/absent"), folder.path + "/absent");
  ExpectJapanese(standin::OpenNetworkFile(folder.path), folder.path);
  EXPECT_EQ(standin::OpenNetworkFile(folder.Write("network", "credentials " + credentials + "\ncomputer PC01 real")),
            "");
}

// The line the real network's backend gives on the bottom line for a call on the real computer PC01.
std::string ReasonOfACall() {
  static std::string reason;
  reason.clear();
  standin::SetNetworkDiagnosticSink([](const std::string &line) { reason = line; });
  LPBYTE buffer = nullptr;
  EXPECT_NE(NetWkstaGetInfo(const_cast<LMSTR>(u"\\\\PC01"), 100, &buffer), static_cast<NET_API_STATUS>(NERR_Success));
  NetApiBufferFree(buffer);
  standin::SetNetworkDiagnosticSink(nullptr);
  return reason;
}

TEST(MessageCatalogue, EveryReasonOfTheRealNetworkIsGivenInJapanese) {
  const Folder folder;
  const std::string credentials = "credentials " + folder.Write("credentials", "username=alice\npassword=pw\n") + "\n";
  const std::string no_ticket = "ccache=FILE:" + folder.path + "/no-cache";
  // Port 1 of the loopback refuses the connection: nothing is sent.
  const std::vector<std::string> networks = {
      credentials + "computer PC01 real address=127.0.0.1 port=1",
      credentials + "computer PC01 real address=127.0.0.1 auth=kerberos",
      credentials + "computer PC01 real address=localhost port=1 auth=kerberos " + no_ticket,
      "computer PC01 real address=localhost port=1 " + no_ticket,
      "computer PC01 real address=127.0.0.1 port=1 auth=ntlm",
      credentials + "computer PC01 real address=localhost port=1 " + no_ticket,
  };
  for (const std::string &network : networks) {
    ASSERT_EQ(standin::OpenNetworkFile(folder.Write("network", network)), "") << network;
    const std::string reason = ReasonOfACall();
    ASSERT_FALSE(reason.empty()) << network;
    ExpectJapanese(reason, network + " " + folder.path);
  }
  // The credentials file spoilt after the network was opened.
  folder.Write("credentials", "password=pw\n");
  ExpectJapanese(ReasonOfACall(), folder.path);

  // What only a host that answers, a missing module, or a file changed
  // under the process can make, as the platform words it.
  for (const char *reason : {
           "PC01: the host refuses password (NTLM) logons: log on with a Kerberos ticket (kinit, auth=kerberos or "
           "auto)",
           "PC01: with the Kerberos ticket: the Kerberos ticket was refused: this machine's clock and the domain's "
           "differ too much (NT_STATUS_TIME_DIFFERENCE_AT_DC)",
           "PC01: with the Kerberos ticket: the host refused the Kerberos ticket (NT_STATUS_LOGON_FAILURE); a Samba "
           "server refuses it so too when this machine's clock and the domain's differ by more than 5 minutes",
           "PC01: with the Kerberos ticket: no Kerberos ticket for the host: the domain's KDC cannot be reached "
           "(NT_STATUS_NO_LOGON_SERVERS); with the password: the host refused the logon (NT_STATUS_LOGON_FAILURE)",
           "PC01: with the Kerberos ticket: the host takes no Kerberos ticket (NT_STATUS_INVALID_PARAMETER): it logs "
           "on with a password alone; with the password: the password is not UTF-8 text",
           "PC01: the ticket cache FILE:/c of alice@EXAMPLE.ORG holds an expired ticket (kinit renews it)",
           "PC01: the ticket cache FILE:/c of alice@EXAMPLE.ORG holds a ticket that expires within 5 minutes (kinit "
           "renews it)",
           "PC01: the ticket cache FILE:/c of alice@EXAMPLE.ORG holds no ticket (kinit gets one)",
           "PC01: Kerberos cannot be used on this machine (kinit gets one)",
           "PC01: the host does not serve the Schedule service's remote interface (ATSvc)",
           "PC01: the host refused access to the service controller (svcctl) (NT_STATUS_ACCESS_DENIED)",
           "PC01: the host refused a sealed bind of the workstation service (wkssvc) (NT_STATUS_ACCESS_DENIED); "
           "privacy=sign or none lowers it",
           "PC01: the host could not bind the service controller (svcctl) (NT_STATUS_RPC_PROTOCOL_ERROR)",
           "PC01: the host could not open the workstation service (wkssvc) (NT_STATUS_PIPE_BROKEN)",
           "PC01: a transport fault: the host 192.0.2.1 answered SMB with a reply that is not SMB "
           "(NT_STATUS_INVALID_NETWORK_RESPONSE)",
           "PC01: cannot reach the host 192.0.2.1 (NT_STATUS_HOST_UNREACHABLE)",
           "PC01: the host's name cannot be used (NT_STATUS_INVALID_PARAMETER)",
           "PC01: no answer from the host within 3 s while connecting to the service controller (svcctl)",
           "PC01: no answer from the host within 3 s while binding the Schedule service's remote interface (ATSvc)",
           "PC01: the connection to the host was lost",
           "PC01: the host refused access to a call on the service controller (svcctl)",
           "PC01: the host answered a call on the Schedule service's remote interface (ATSvc) with fault 0x6f7",
           "PC01: the call timed out: no answer from the host within 3 s",
           "PC01: the connection to the host failed during a call on the workstation service (wkssvc) "
           "(NT_STATUS_CONNECTION_RESET)",
           "PC01: no usable Kerberos ticket",
           "PC01: the host counted jobs it did not send",
           "PC01: the host answered without the job's record",
           "PC01: the host answered without its record",
           "PC01: the connection was closed",
           "PC01: Samba's client libraries cannot be used",
           "PC01: the credentials file cannot be used: cannot read the authentication file /c: it was replaced while "
           "being opened",
           "PC01: real computers are reached through the velmora-realnet package, which is not installed or cannot be "
           "loaded (/usr/lib/velmora/velmora-realnet.so: cannot open shared object file: No such file or directory)",
           "PC01: the real network module /usr/lib/velmora/velmora-realnet.so belongs to another version of Velmora; "
           "install the velmora-realnet package of this one",
           "network file /n, as last written, line 3: \"a*b\" is not a valid computer name; nothing was changed",
       })
    ExpectJapanese(reason,
                   "alice /usr/lib/velmora/velmora-realnet.so: cannot open shared object file: No such file or "
                   "directory");
}

}  // namespace
}  // namespace terminal
