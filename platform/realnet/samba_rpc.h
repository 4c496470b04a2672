// SPDX-License-Identifier: GPL-3.0-or-later
/* The calls of a real computer's ATSvc, svcctl and wkssvc interfaces, made
 * with Samba's public DCE/RPC client libraries. Plain C types only: Samba's
 * headers do not compile as C++, so they stay inside samba_rpc.c. Strings are
 * UTF-8. Every result is already a NET_API_STATUS or Win32 code: NTSTATUS
 * values are translated here and never leave this file.
 *
 * Samba's libraries are entered by one thread at a time; a thread that waits
 * for a host lets the others in while it waits, so one silent host holds up
 * no other. Every call ends by its deadline. */
#ifndef VELMORA_PLATFORM_REALNET_SAMBA_RPC_H
#define VELMORA_PLATFORM_REALNET_SAMBA_RPC_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum RpcPrivacy { kRpcSeal = 0, kRpcSign = 1, kRpcNoPrivacy = 2 };

enum RpcInterface { kRpcSvcctl = 0, kRpcWkssvc = 1, kRpcAtsvc = 2 };

/* Why a call failed, for the front ends' diagnostic line; "" when the
 * service answered the call with its own result. */
#define RPC_REASON_SIZE 256

struct RpcLogin {
  const char *address; /* host name or address Samba connects to */
  unsigned port;       /* 0: Samba's own SMB ports */
  int use_kerberos;    /* nonzero: the user's Kerberos ticket */
  const char *ccache;  /* ticket cache, or NULL for the default one */
  const char *domain;  /* for a password login */
  const char *user;
  const char *password; /* Samba is given only its NT hash */
  enum RpcPrivacy privacy;
  unsigned timeout_seconds; /* the computer's bound on each call */
  unsigned milliseconds;    /* left for opening the session */
  enum RpcInterface first;  /* the interface the session is opened with */
};

struct RpcJob {
  uint32_t id;
  uint32_t job_time;
  uint32_t days_of_month;
  uint8_t days_of_week;
  uint8_t flags;
  char *command; /* malloc'ed by rpc_job_enum / rpc_job_get_info */
};

struct RpcService {
  uint32_t state;             /* SERVICE_STOPPED .. SERVICE_PAUSED */
  uint32_t controls_accepted; /* SERVICE_ACCEPT_* */
};

struct RpcWorkstation {
  uint32_t platform_id;
  uint32_t version_major, version_minor;
  char *computer_name; /* malloc'ed */
  char *lan_group;     /* malloc'ed */
};

/* One SMB session to one computer. Its pipes are bound when a call first
 * needs them; an interface the host does not serve fails its calls for the
 * session's life without another try. */
struct RpcSession;

/* Connects, logs on and binds `login->first` (ATSvc is never the first: not
 * every host serves it); 0 or the code NETAPI32 gives, with the reason. */
uint32_t rpc_open(const struct RpcLogin *login, struct RpcSession **session, char reason[RPC_REASON_SIZE]);
void rpc_close(struct RpcSession *session);
/* True once the transport has failed: the session must be reopened. */
int rpc_broken(const struct RpcSession *session);
/* Starts a call that must end within `milliseconds`. */
void rpc_begin_call(struct RpcSession *session, unsigned milliseconds);
/* Why the last call failed ("" when the service itself answered). */
const char *rpc_reason(const struct RpcSession *session);
/* SMB sessions opened by this process so far. */
unsigned long rpc_sessions_opened(void);
/* The process ends: no thread enters Samba's libraries again, so that their
 * state may be torn down under a thread still waiting for a host. */
void rpc_end_process(void);

/* `server` is the server name the program passed ("\\NAME"), as NETAPI32
 * hands it to the service. */
uint32_t rpc_job_add(struct RpcSession *s, const char *server, const struct RpcJob *job, uint32_t *job_id);
uint32_t rpc_job_del(struct RpcSession *s, const char *server, uint32_t min_id, uint32_t max_id);
/* *jobs is malloc'ed (free with rpc_free_jobs) even when the result is
 * ERROR_MORE_DATA. */
uint32_t rpc_job_enum(struct RpcSession *s, const char *server, uint32_t preferred_max_len, uint32_t *resume,
                      struct RpcJob **jobs, uint32_t *count, uint32_t *total);
uint32_t rpc_job_get_info(struct RpcSession *s, const char *server, uint32_t job_id, struct RpcJob *job);
void rpc_free_jobs(struct RpcJob *jobs, uint32_t count);

/* The service controller's manager and service handles are kept for the
 * session's life: a query, start or control is one request once open. */
uint32_t rpc_service_query(struct RpcSession *s, const char *server, const char *service, struct RpcService *status);
uint32_t rpc_service_start(struct RpcSession *s, const char *server, const char *service);
/* control: SERVICE_CONTROL_STOP, _PAUSE, _CONTINUE or _INTERROGATE */
uint32_t rpc_service_control(struct RpcSession *s, const char *server, const char *service, uint32_t control,
                             struct RpcService *status);

uint32_t rpc_workstation_info(struct RpcSession *s, const char *server, struct RpcWorkstation *info);
void rpc_free_workstation(struct RpcWorkstation *info);

#ifdef __cplusplus
}
#endif

#endif
