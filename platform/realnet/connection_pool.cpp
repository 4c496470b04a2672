#include "connection_pool.h"

#include <lm.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <tuple>

#include "credentials_file.h"

namespace standin::realnet {
namespace {

struct Task {
  std::function<uint32_t(RpcSession *)> call;
  Repeat repeat = Repeat::kNever;
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;
  uint32_t result = ERROR_BAD_NETPATH;
};

bool IsNumericAddress(const std::string &address) {
  unsigned char binary[sizeof(struct in6_addr)];
  return ::inet_pton(AF_INET, address.c_str(), binary) == 1 || ::inet_pton(AF_INET6, address.c_str(), binary) == 1;
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

// Opens a session: the user's Kerberos ticket when there is one (a ticket
// names a host, so not for a bare address), else the authentication file.
uint32_t Open(const Target &target, RpcSession **session) {
  const std::string address = target.host.address.empty() ? target.name : target.host.address;
  RpcLogin login{};
  login.address = address.c_str();
  login.port = target.host.port;
  login.privacy = PrivacyOf(target.host.privacy);
  login.timeout_seconds = target.host.timeout_seconds;
  if (!IsNumericAddress(address)) {
    login.use_kerberos = 1;
    if (rpc_open(&login, session) == NERR_Success) return NERR_Success;
    login.use_kerberos = 0;
  }
  if (target.credentials_path.empty()) return ERROR_LOGON_FAILURE;  // no ticket, no file
  Credentials credentials;
  std::string error;
  if (!ReadCredentialsFile(target.credentials_path, &credentials, &error)) return ERROR_LOGON_FAILURE;
  login.domain = credentials.domain.c_str();
  login.user = credentials.user.c_str();
  login.password = credentials.password.c_str();
  return rpc_open(&login, session);
}

// Samba's libraries keep process-wide state (talloc trees, the loaded
// configuration, security mechanisms) and are not safe to enter from two
// threads at once: a worker that a caller gave up on may still be finishing
// its call when the next worker opens a connection. Every use goes through
// this lock. Never destroyed, so that it is still there when the process
// ends while a given-up worker runs.
std::mutex &SambaLock() {
  static std::mutex *lock = new std::mutex;
  return *lock;
}

// The thread that owns one connection. It outlives a caller that gave up on
// it: it finishes the hung call, closes the connection and ends.
class Worker : public std::enable_shared_from_this<Worker> {
 public:
  explicit Worker(Target target) : target_(std::move(target)) {}

  void Start() {
    thread_ = std::thread([self = shared_from_this()] { self->Loop(); });
  }

  void Post(const std::shared_ptr<Task> &task) {
    std::lock_guard<std::mutex> guard(lock_);
    queue_.push_back(task);
    wake_.notify_one();
  }

  // Stops after the current call; joins unless the call hangs.
  void Stop(bool wait) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      stop_ = true;
      wake_.notify_one();
    }
    if (wait && thread_.joinable()) {
      thread_.join();
    } else if (thread_.joinable()) {
      thread_.detach();
    }
  }

 private:
  void Loop() {
    for (;;) {
      std::shared_ptr<Task> task;
      {
        std::unique_lock<std::mutex> guard(lock_);
        wake_.wait(guard, [&] { return stop_ || !queue_.empty(); });
        if (stop_) break;
        task = queue_.front();
        queue_.pop_front();
      }
      uint32_t result;
      {
        std::lock_guard<std::mutex> samba(SambaLock());
        result = Run(*task);
      }
      std::lock_guard<std::mutex> guard(task->lock);
      task->result = result;
      task->done = true;
      task->finished.notify_all();
    }
    std::lock_guard<std::mutex> samba(SambaLock());
    rpc_close(session_);
    session_ = nullptr;
  }

  uint32_t Run(Task &task) {
    for (int attempt = 0;; ++attempt) {
      const bool kept = session_ != nullptr;
      if (!kept) {
        const uint32_t opened = Open(target_, &session_);
        if (opened != NERR_Success) return opened;
      }
      const uint32_t result = task.call(session_);
      if (!rpc_broken(session_)) return result;
      rpc_close(session_);
      session_ = nullptr;
      // A kept connection the host has since dropped: a call that changes
      // nothing is tried once more on a fresh one.
      if (!kept || attempt > 0 || task.repeat != Repeat::kOnStaleConnection) return result;
    }
  }

  const Target target_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::shared_ptr<Task>> queue_;
  bool stop_ = false;
  RpcSession *session_ = nullptr;  // owned by the thread
};

using Key = std::tuple<std::string, std::string, unsigned, int, unsigned, std::string>;

Key KeyOf(const Target &target) {
  return {target.name,
          target.host.address,
          target.host.port,
          static_cast<int>(target.host.privacy),
          target.host.timeout_seconds,
          target.credentials_path};
}

class Pool {
 public:
  ~Pool() {
    CloseAll();
    // A worker given up on may still be inside Samba (its own timeout bounds
    // that); the process ends with the lock held, so none enters it again
    // while the libraries' state is torn down.
    SambaLock().lock();
  }

  std::shared_ptr<Worker> WorkerFor(const Target &target) {
    std::lock_guard<std::mutex> guard(lock_);
    auto &worker = workers_[KeyOf(target)];
    if (!worker) {
      worker = std::make_shared<Worker>(target);
      worker->Start();
    }
    return worker;
  }

  // Gives up a worker whose call hangs; the next call gets a new one.
  void Abandon(const Target &target, const std::shared_ptr<Worker> &worker) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      auto it = workers_.find(KeyOf(target));
      if (it != workers_.end() && it->second == worker) workers_.erase(it);
    }
    worker->Stop(false);
  }

  void CloseAll() {
    std::map<Key, std::shared_ptr<Worker>> workers;
    {
      std::lock_guard<std::mutex> guard(lock_);
      workers.swap(workers_);
    }
    for (auto &entry : workers) entry.second->Stop(true);
  }

 private:
  std::mutex lock_;
  std::map<Key, std::shared_ptr<Worker>> workers_;
};

Pool &ThePool() {
  static Pool pool;
  return pool;
}

}  // namespace

DWORD RunOnComputer(const Target &target, Repeat repeat, std::function<uint32_t(RpcSession *)> call) {
  auto task = std::make_shared<Task>();
  task->call = std::move(call);
  task->repeat = repeat;
  std::shared_ptr<Worker> worker = ThePool().WorkerFor(target);
  worker->Post(task);
  // The bound covers opening the connection and the call together.
  const auto bound = std::chrono::seconds(target.host.timeout_seconds);
  std::unique_lock<std::mutex> guard(task->lock);
  if (task->finished.wait_for(guard, bound, [&] { return task->done; })) return task->result;
  guard.unlock();
  ThePool().Abandon(target, worker);
  return ERROR_BAD_NETPATH;
}

void CloseAllConnections() { ThePool().CloseAll(); }

}  // namespace standin::realnet
