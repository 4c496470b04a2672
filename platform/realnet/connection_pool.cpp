// SPDX-License-Identifier: GPL-3.0-or-later
#include "connection_pool.h"

#include <lm.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/stat.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "credentials_file.h"
#include "kerberos_ticket.h"

namespace standin::realnet {
namespace {

using Clock = std::chrono::steady_clock;

// How long a caller waits past its call's deadline for the computer's thread
// to report: the thread gives the call up at the deadline by itself, and
// needs only its turn in Samba's libraries to say so.
constexpr auto kReportGrace = std::chrono::seconds(2);

struct Task {
  std::function<uint32_t(RpcSession *)> call;
  Repeat repeat = Repeat::kNever;
  Logon logon = Logon::kSpareRefused;
  RpcInterface interface = kRpcSvcctl;
  Clock::time_point deadline;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  uint32_t result = ERROR_BAD_NETPATH;
  std::string reason;
};

// In the module's static TLS block (initial-exec: a few bytes of the room
// the loader keeps for modules opened later): LeakSanitizer cannot walk the
// dynamic TLS of a module opened with dlopen, and fails at the exit.
thread_local std::string t_last_reason __attribute__((tls_model("initial-exec")));

// The platform's codes for Kerberos's failures.
constexpr uint32_t kNoLogonServers = 1311;      // ERROR_NO_LOGON_SERVERS: the KDC cannot be reached
constexpr uint32_t kNoSuchLogonSession = 1312;  // ERROR_NO_SUCH_LOGON_SESSION: no ticket
constexpr uint32_t kWrongTargetName = 1396;     // ERROR_WRONG_TARGET_NAME: no ticket for this host
constexpr uint32_t kTimeSkew = 1398;            // ERROR_TIME_SKEW
constexpr uint32_t kContextExpired = 1931;      // ERROR_CONTEXT_EXPIRED: the ticket has expired

bool IsNumericAddress(const std::string &address) {
  unsigned char binary[sizeof(struct in6_addr)];
  return ::inet_pton(AF_INET, address.c_str(), binary) == 1 || ::inet_pton(AF_INET6, address.c_str(), binary) == 1;
}

// 1326 and the account's own problems: restricted, outside its hours,
// workstation not allowed, password expired, disabled, account expired,
// password must change, locked out.
bool IsLogonRefusal(uint32_t code) {
  return code == ERROR_LOGON_FAILURE || (code >= 1327 && code <= 1331) || code == 1793 || code == 1907 || code == 1909;
}

RpcPrivacy PrivacyOf(Privacy privacy) {
  switch (privacy) {
    case Privacy::kSign:
      return kRpcSign;
    case Privacy::kNone:
      return kRpcNoPrivacy;
    default:
      return kRpcSeal;
  }
}

unsigned MillisecondsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<unsigned>(left) : 0;
}

// What identifies one version of the credentials file: a new password saved
// in it, or another file put in its place, changes it.
using FileStamp = std::tuple<dev_t, ino_t, off_t, long long, long>;

FileStamp StampOf(const std::string &path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  return {status.st_dev, status.st_ino, status.st_size, static_cast<long long>(status.st_mtim.tv_sec),
          status.st_mtim.tv_nsec};
}

// A logon the computer refused, kept across reconnections.
struct RefusedLogon {
  std::mutex lock;
  uint32_t code = 0;  // 0: none
  FileStamp stamp;
  std::string reason;
};

// The thread that owns one connection. It outlives a caller that gave up on
// it: it finishes the call by the call's deadline, closes the connection and
// ends.
class Worker : public std::enable_shared_from_this<Worker> {
 public:
  Worker(Target target, std::shared_ptr<RefusedLogon> refused)
      : target_(std::move(target)), refused_(std::move(refused)) {}

  void Start() {
    thread_ = std::thread([self = shared_from_this()] { self->Loop(); });
  }

  void Post(const std::shared_ptr<Task> &task) {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(task);
    wake_.notify_one();
  }

  // Stops the thread: joins it when idle, else leaves it to end its call by
  // the call's deadline on its own.
  void Stop() {
    bool busy;
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_ = true;
      busy = busy_ || !queue_.empty();
      wake_.notify_one();
    }
    if (!thread_.joinable()) return;
    if (busy) {
      thread_.detach();
    } else {
      thread_.join();
    }
  }

 private:
  static void Finish(Task &task, uint32_t result, std::string reason) {
    std::lock_guard<std::mutex> guard(task.lock);
    task.result = result;
    task.reason = std::move(reason);
    task.done = true;
    task.finished.notify_all();
  }

  void Loop() {
    for (;;) {
      std::shared_ptr<Task> task;
      {
        std::unique_lock<std::mutex> guard(lock_);
        wake_.wait(guard, [&] { return stop_ || !queue_.empty(); });
        if (stop_) break;
        task = queue_.front();
        queue_.pop_front();
        busy_ = true;
      }
      std::string reason;
      const uint32_t result = Run(*task, &reason);
      {
        std::lock_guard<std::mutex> guard(lock_);
        busy_ = false;
      }
      Finish(*task, result, std::move(reason));
    }
    std::deque<std::shared_ptr<Task>> left;
    {
      std::lock_guard<std::mutex> guard(lock_);
      left.swap(queue_);
    }
    for (auto &task : left) Finish(*task, ERROR_BAD_NETPATH, "the connection was closed");
    if (session_ != nullptr) rpc_close(session_);
    session_ = nullptr;
  }

  uint32_t Run(Task &task, std::string *reason) {
    for (int attempt = 0;; ++attempt) {
      const bool kept = session_ != nullptr;
      if (!kept) {
        const uint32_t opened = Open(task, reason);
        if (opened != NERR_Success) return opened;
      }
      const unsigned left = MillisecondsLeft(task.deadline);
      if (left == 0) {
        *reason = "no answer from the host within " + std::to_string(target_.host.timeout_seconds) + " s";
        return ERROR_BAD_NETPATH;
      }
      rpc_begin_call(session_, left);
      const uint32_t result = task.call(session_);
      *reason = rpc_reason(session_);
      if (!rpc_broken(session_)) return result;
      rpc_close(session_);
      session_ = nullptr;
      // A kept connection the host has since dropped: a call that changes
      // nothing is tried once more on a fresh one, in the time left.
      if (!kept || attempt > 0 || task.repeat != Repeat::kOnStaleConnection || MillisecondsLeft(task.deadline) == 0)
        return result;
    }
  }

  enum class TicketStep { kOpened, kFailed, kUseNtlm };

  // The ticket cache the computer's line names, else the credentials
  // file's ccache=, else "" (Kerberos's default, $KRB5CCNAME included).
  std::string TicketCacheName() const {
    if (!target_.host.ccache.empty() || target_.credentials_path.empty()) return target_.host.ccache;
    Credentials credentials;
    std::string error;
    return ReadCredentialsFile(target_.credentials_path, &credentials, &error) ? credentials.ccache : "";
  }

  // Kerberos's part of opening a session. auth=ntlm has none, nor has auto
  // for a computer reached by a numeric address (a ticket names a host). The
  // cache is looked at first, so that a missing or expired ticket costs no
  // connection. auto goes on to the password only when there is no usable
  // ticket for the host, never after the host refused the logon or could not
  // be reached; kerberos never sends a password.
  TicketStep OpenWithTicket(const Task &task, const std::string &address, RpcLogin *login, uint32_t *code,
                            std::string *reason) {
    const Auth auth = target_.host.auth;
    if (auth == Auth::kNtlm || (auth == Auth::kAuto && IsNumericAddress(address))) return TicketStep::kUseNtlm;
    if (IsNumericAddress(address)) {
      *code = kWrongTargetName;
      *reason = "auth=kerberos needs the computer reached by its host name: a ticket names a host, not " + address;
      return TicketStep::kFailed;
    }
    const std::string ccache = TicketCacheName();
    const TicketState state = CheckTicketCache(ccache, reason);
    if (state != TicketState::kUsable) {
      *code = state == TicketState::kExpired ? kContextExpired : kNoSuchLogonSession;
      *reason += state == TicketState::kExpired ? " (kinit renews it)" : " (kinit gets one)";
      return auth == Auth::kAuto ? TicketStep::kUseNtlm : TicketStep::kFailed;
    }
    reason->clear();
    login->use_kerberos = 1;
    login->ccache = ccache.empty() ? nullptr : ccache.c_str();
    login->milliseconds = MillisecondsLeft(task.deadline);
    char why[RPC_REASON_SIZE] = "";
    *code = rpc_open(login, &session_, why);
    login->use_kerberos = 0;
    login->ccache = nullptr;
    if (*code == NERR_Success) return TicketStep::kOpened;
    *reason = std::string("with the Kerberos ticket: ") + why;
    // The ticket could not serve this host: the KDC cannot be reached, does
    // not know the host, or the clocks differ too much.
    const bool no_ticket_for_host =
        *code == kNoLogonServers || *code == kWrongTargetName || *code == kTimeSkew || *code == kContextExpired;
    return auth == Auth::kAuto && no_ticket_for_host ? TicketStep::kUseNtlm : TicketStep::kFailed;
  }

  // Opens the session: with a Kerberos ticket as the computer's auth= says
  // (OpenWithTicket), else with the credentials file's password, unless the
  // computer refused that file's logon before.
  uint32_t Open(const Task &task, std::string *reason) {
    const std::string address = target_.host.address.empty() ? target_.name : target_.host.address;
    RpcLogin login{};
    login.address = address.c_str();
    login.port = target_.host.port;
    login.privacy = PrivacyOf(target_.host.privacy);
    login.timeout_seconds = target_.host.timeout_seconds;
    login.first = task.interface;
    uint32_t kerberos_code = 0;
    std::string kerberos_reason;
    if (OpenWithTicket(task, address, &login, &kerberos_code, &kerberos_reason) != TicketStep::kUseNtlm) {
      *reason = kerberos_reason;
      return kerberos_code;
    }
    if (target_.credentials_path.empty()) {
      *reason = kerberos_reason.empty() ? "the network names no credentials file"
                                        : kerberos_reason + ", and the network names no credentials file";
      return kerberos_code != 0 ? kerberos_code : ERROR_LOGON_FAILURE;
    }
    char why[RPC_REASON_SIZE] = "";
    const FileStamp stamp = StampOf(target_.credentials_path);
    if (task.logon == Logon::kSpareRefused) {
      std::lock_guard<std::mutex> guard(refused_->lock);
      if (refused_->code != 0 && refused_->stamp == stamp) {
        *reason = refused_->reason +
                  "; not tried again, to spare the account a lockout, until the credentials file changes or the "
                  "computer is selected again";
        return refused_->code;
      }
    }
    Credentials credentials;
    std::string error;
    if (!ReadCredentialsFile(target_.credentials_path, &credentials, &error)) {
      *reason = "the credentials file cannot be used: " + error;
      return ERROR_LOGON_FAILURE;
    }
    login.domain = credentials.domain.c_str();
    login.user = credentials.user.c_str();
    login.password = credentials.password.c_str();
    login.milliseconds = MillisecondsLeft(task.deadline);
    const uint32_t code = rpc_open(&login, &session_, why);
    ForgetPasswordTraces();
    *reason = kerberos_reason.empty() || code == NERR_Success ? why : kerberos_reason + "; with the password: " + why;
    std::lock_guard<std::mutex> guard(refused_->lock);
    if (IsLogonRefusal(code)) {
      refused_->code = code;
      refused_->stamp = stamp;
      refused_->reason = why;
    } else if (code == NERR_Success) {
      refused_->code = 0;
    }
    return code;
  }

  const Target target_;
  const std::shared_ptr<RefusedLogon> refused_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Task>> queue_;
  bool stop_ = false;
  bool busy_ = false;
  RpcSession *session_ = nullptr;  // owned by the thread
};

using Key = std::tuple<std::string, std::string, unsigned, int, unsigned, std::string, int, std::string>;

Key KeyOf(const Target &target) {
  return {target.name,
          target.host.address,
          target.host.port,
          static_cast<int>(target.host.privacy),
          target.host.timeout_seconds,
          target.credentials_path,
          static_cast<int>(target.host.auth),
          target.host.ccache};
}

class Pool {
 public:
  ~Pool() {
    CloseAll();
    // A thread still waiting for a silent host is not waited for; none
    // enters Samba's libraries again while the process tears them down.
    rpc_end_process();
  }

  std::shared_ptr<Worker> WorkerFor(const Target &target) {
    std::lock_guard<std::mutex> guard(lock_);
    const Key key = KeyOf(target);
    auto &worker = workers_[key];
    if (!worker) {
      auto &refused = refused_[key];
      if (!refused) refused = std::make_shared<RefusedLogon>();
      worker = std::make_shared<Worker>(target, refused);
      worker->Start();
    }
    return worker;
  }

  // Gives up a worker that did not report by its call's deadline; the next
  // call gets a new one.
  void Abandon(const Target &target, const std::shared_ptr<Worker> &worker) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto it = workers_.find(KeyOf(target));
      if (it != workers_.end() && it->second == worker) workers_.erase(it);
    }
    worker->Stop();
  }

  void CloseAll() {
    std::map<Key, std::shared_ptr<Worker>> workers;
    {
      std::lock_guard<std::mutex> guard(lock_);
      workers.swap(workers_);
    }
    for (auto &entry : workers) entry.second->Stop();
  }

 private:
  std::mutex lock_;
  std::map<Key, std::shared_ptr<Worker>> workers_;
  std::map<Key, std::shared_ptr<RefusedLogon>> refused_;  // kept when a new network closes the connections
};

Pool &ThePool() {
  static Pool pool;
  return pool;
}

}  // namespace

DWORD RunOnComputer(const Target &target, Repeat repeat, Logon logon, RpcInterface interface,
                    std::function<uint32_t(RpcSession *)> call) {
  auto task = std::make_shared<Task>();
  task->call = std::move(call);
  task->repeat = repeat;
  task->logon = logon;
  task->interface = interface;
  // The bound covers opening the connection and the call together.
  task->deadline = Clock::now() + std::chrono::seconds(target.host.timeout_seconds);
  std::shared_ptr<Worker> worker = ThePool().WorkerFor(target);
  worker->Post(task);
  std::unique_lock<std::mutex> guard(task->lock);
  if (task->finished.wait_until(guard, task->deadline + kReportGrace, [&] { return task->done; })) {
    t_last_reason = task->reason.empty() ? "" : target.name + ": " + task->reason;
    return task->result;
  }
  guard.unlock();
  ThePool().Abandon(target, worker);
  t_last_reason =
      target.name + ": no answer from the host within " + std::to_string(target.host.timeout_seconds) + " s";
  return ERROR_BAD_NETPATH;
}

std::string TakeFailureReason() {
  std::string reason;
  reason.swap(t_last_reason);
  return reason;
}

void CloseAllConnections() { ThePool().CloseAll(); }

}  // namespace standin::realnet
