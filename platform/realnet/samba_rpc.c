// SPDX-License-Identifier: GPL-3.0-or-later
/* See samba_rpc.h. Only Samba's public client libraries are used: the
 * asynchronous dcerpc_pipe_connect_b_send and
 * dcerpc_secondary_auth_connection_send (libdcerpc), the generic
 * dcerpc_binding_handle_call_send (libdcerpc-binding) and the interface
 * tables of libndr-standard, each waited for on the session's own event
 * context until the call's deadline. */
#include "samba_rpc.h"

#include "nt_hash.h"

#include <dlfcn.h>
#include <stdarg.h>
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <pthread.h>
#include <talloc.h>
#include <tevent.h>
#include <core/ntstatus.h>
#include <core/werror.h>
#include <util/time.h>
#include <util/data_blob.h>
#include <param.h>
#include <credentials.h>
#include <dcerpc.h>
#include <rpc_common.h>
#include <gen_ndr/samr.h>
#include <gen_ndr/atsvc.h>
#include <gen_ndr/ndr_atsvc.h>
#include <gen_ndr/svcctl.h>
#include <gen_ndr/ndr_svcctl.h>

/* Samba ships the wkssvc interface table but not its generated header; this
 * is that header's NetrWkstaGetInfo call as pidl lays it out for the
 * published IDL (every arm of the info union is a pointer). */
extern const struct ndr_interface_table ndr_table_wkssvc;
#define VELMORA_NDR_WKSSVC_NETWKSTAGETINFO 0
struct velmora_wkssvc_info100 {
  uint32_t platform_id; /* enum srvsvc_PlatformId */
  const char *server_name;
  const char *domain_name;
  uint32_t version_major;
  uint32_t version_minor;
};
union velmora_wkssvc_info {
  struct velmora_wkssvc_info100 *info100;
};
struct velmora_wkssvc_get_info {
  struct {
    const char *server_name;
    uint32_t level;
  } in;
  struct {
    union velmora_wkssvc_info *info;
    WERROR result;
  } out;
};

/* Samba's composite requests (the connect steps) are declared in a header it
 * does not install; their first member is their state, and the last two
 * states are "done" and "failed". Only that member is read, to wait for one
 * no longer than the call's deadline. */
struct velmora_composite_head {
  int state;
};
enum { kCompositeDone = 2 };

enum {
  kSuccess = 0,
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kNotEnoughMemory = 8,
  kBadNetPath = 53,
  kMoreData = 234,
  kServerUnavailable = 1722,      /* RPC_S_SERVER_UNAVAILABLE */
  kBadServiceName = 2185,         /* NERR_BadServiceName */
  kServiceInstalled = 2182,       /* NERR_ServiceInstalled */
  kServiceNotInstalled = 2184,    /* NERR_ServiceNotInstalled */
  kServiceCtlNotValid = 2191,     /* NERR_ServiceCtlNotValid */
  kScManagerConnect = 0x0001,     /* SC_MANAGER_CONNECT */
  kServiceQueryStatus = 0x0004,   /* SERVICE_QUERY_STATUS */
  kServiceStart = 0x0010,         /* SERVICE_START */
  kServiceStop = 0x0020,          /* SERVICE_STOP */
  kServicePauseContinue = 0x0040, /* SERVICE_PAUSE_CONTINUE */
  kServiceInterrogate = 0x0080,   /* SERVICE_INTERROGATE */
  kServiceEveryRight = kServiceQueryStatus | kServiceStart | kServiceStop | kServicePauseContinue | kServiceInterrogate,
  kInterfaces = 3,
};

static const struct {
  const char *pipe;
  const struct ndr_interface_table *table;
  const char *name;
} kInterface[kInterfaces] = {
    {"svcctl", &ndr_table_svcctl, "the service controller (svcctl)"},
    {"wkssvc", &ndr_table_wkssvc, "the workstation service (wkssvc)"},
    {"atsvc", &ndr_table_atsvc, "the Schedule service's remote interface (ATSvc)"},
};

/* A service handle kept open, with the rights it was opened with. */
struct ServiceHandle {
  char *name;
  uint32_t access;
  struct policy_handle handle;
};

struct RpcSession {
  TALLOC_CTX *mem;
  struct tevent_context *ev;
  struct loadparm_context *lp;
  struct cli_credentials *creds;
  const char *address;
  enum RpcPrivacy privacy;
  unsigned timeout_seconds;
  struct dcerpc_pipe *pipe[kInterfaces]; /* NULL until bound */
  struct dcerpc_pipe *first;             /* the pipe that carries the SMB session */
  uint32_t refused[kInterfaces];         /* nonzero: the code every call on that interface gets */
  struct policy_handle manager;
  bool has_manager;
  struct ServiceHandle *services; /* talloc array */
  size_t service_count;
  struct timeval deadline; /* of the call in progress */
  bool pipe_opened;        /* the pipe being bound was opened: a failure now is the bind's */
  bool broken;
  bool kerberos; /* logged on with a ticket */
  char reason[RPC_REASON_SIZE];
};

static pthread_once_t g_once = PTHREAD_ONCE_INIT;
static NTSTATUS g_init_status;
static pthread_mutex_t g_samba = PTHREAD_MUTEX_INITIALIZER;
static unsigned long g_sessions; /* under g_samba */

/* Samba's libraries keep process-wide state (the stack of talloc frames,
 * character set handles, security mechanisms) and are not safe to enter
 * from two threads at once. Each public function holds g_samba, and lets go
 * of it only while its thread waits for the network in tevent: the threads
 * then take turns between waits as the callbacks of one event loop would,
 * and a host that never answers keeps no one else out. No synchronous Samba
 * wrapper that keeps a talloc frame across such a wait is used. */
static void enter(void) { pthread_mutex_lock(&g_samba); }
static void leave(void) { pthread_mutex_unlock(&g_samba); }

static void around_waits(enum tevent_trace_point point, void *private_data) {
  (void)private_data;
  if (point == TEVENT_TRACE_BEFORE_WAIT) leave();
  if (point == TEVENT_TRACE_AFTER_WAIT) enter();
}

/* Three functions of Samba's SMB client that its public headers do not
 * declare, found in the libraries libdcerpc has loaded. Without them a
 * closed session sends its SMB closes, and an SMB request keeps Samba's own
 * bound of 60 s. */
struct smbXcli_conn;
static void (*g_disconnect)(struct smbXcli_conn *conn, NTSTATUS status);
static bool (*g_is_named_pipe)(struct tstream_context *stream);
static unsigned (*g_set_named_pipe_timeout)(struct tstream_context *stream, unsigned milliseconds);

/* What went wrong is taken from each call's NTSTATUS (the reason below);
 * Samba's own log stays at level 0, errors only, on the standard error that
 * the front end points away from the screen it draws on. */
static void init_once(void) {
  g_init_status = dcerpc_init();
  /* Named, since libdcerpc may have been loaded with local symbols only. */
  void *smb = dlopen("libcli-smb-common-samba4.so.0", RTLD_LAZY | RTLD_NOLOAD);
  void *from = smb != NULL ? smb : RTLD_DEFAULT;
  *(void **)&g_disconnect = dlsym(from, "smbXcli_conn_disconnect");
  *(void **)&g_is_named_pipe = dlsym(from, "tstream_is_smbXcli_np");
  *(void **)&g_set_named_pipe_timeout = dlsym(from, "tstream_smbXcli_np_set_timeout");
}

/* Up to `room` talloc chunks of type `type` below `root` (root included),
 * found by their talloc names, so that no private struct layout is read. */
struct ChunkSearch {
  const char *type;
  void **found;
  size_t room, count;
};

static void match_chunk(const void *ptr, int depth, int max_depth, int is_ref, void *context) {
  (void)depth;
  (void)max_depth;
  struct ChunkSearch *search = context;
  if (is_ref || strcmp(talloc_get_name(ptr), search->type) != 0) return;
  if (search->count < search->room) search->found[search->count] = (void *)ptr;
  ++search->count;
}

static size_t find_chunks(const void *root, const char *type, void **found, size_t room) {
  struct ChunkSearch search = {type, found, room, 0};
  talloc_report_depth_cb(root, 0, -1, match_chunk, &search);
  return search.count;
}

/* Drops the SMB connections below `root` without a word to the host. Samba
 * would close each named pipe with a synchronous SMB request, waiting up to
 * a second on its own event loop while this thread holds g_samba: a broken
 * host would stall every other computer for that second. */
static void drop_connections(const void *root) {
  if (g_disconnect == NULL) return;
  void *conns[8]; /* a session holds one: the rest is a margin */
  const size_t room = sizeof conns / sizeof conns[0];
  const size_t count = find_chunks(root, "struct smbXcli_conn", conns, room);
  for (size_t i = 0; i < count && i < room; ++i) g_disconnect(conns[i], NT_STATUS_CONNECTION_DISCONNECTED);
}

/* The computer's timeout as the pipe's own bound, for the DCE/RPC request
 * and for the SMB requests that carry it (Samba's defaults are 60 s each),
 * a second above it, so that the call's deadline is what ends a call. */
static void set_pipe_timeout(struct RpcSession *s, struct dcerpc_pipe *p) {
  dcerpc_binding_handle_set_timeout(p->binding_handle, s->timeout_seconds + 1);
  struct tstream_context *stream = p->conn != NULL ? p->conn->transport.stream : NULL;
  if (stream != NULL && g_is_named_pipe != NULL && g_set_named_pipe_timeout != NULL && g_is_named_pipe(stream))
    g_set_named_pipe_timeout(stream, (s->timeout_seconds + 1) * 1000);
}

static uint32_t fail(struct RpcSession *s, uint32_t code, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static uint32_t fail(struct RpcSession *s, uint32_t code, const char *format, ...) {
  va_list args;
  va_start(args, format);
  vsnprintf(s->reason, sizeof s->reason, format, args);
  va_end(args);
  return code;
}

/* The platform's logon codes for the account's own problems. */
static uint32_t logon_code(NTSTATUS st) {
  static const struct {
    NTSTATUS status;
    uint32_t code;
  } kLogonCodes[] = {
      {NT_STATUS_LOGON_FAILURE, 1326},       {NT_STATUS_WRONG_PASSWORD, 1326},
      {NT_STATUS_NO_SUCH_USER, 1326},        {NT_STATUS_ACCOUNT_RESTRICTION, 1327},
      {NT_STATUS_INVALID_LOGON_HOURS, 1328}, {NT_STATUS_INVALID_WORKSTATION, 1329},
      {NT_STATUS_PASSWORD_EXPIRED, 1330},    {NT_STATUS_ACCOUNT_DISABLED, 1331},
      {NT_STATUS_ACCOUNT_EXPIRED, 1793},     {NT_STATUS_PASSWORD_MUST_CHANGE, 1907},
      {NT_STATUS_ACCOUNT_LOCKED_OUT, 1909},
  };
  for (size_t i = 0; i < sizeof kLogonCodes / sizeof kLogonCodes[0]; ++i)
    if (NT_STATUS_EQUAL(st, kLogonCodes[i].status)) return kLogonCodes[i].code;
  return 0;
}

/* A bind refused for its protection level rather than for the account. */
static bool refuses_protection(NTSTATUS st) {
  return NT_STATUS_EQUAL(st, NT_STATUS_RPC_UNSUPPORTED_AUTHN_LEVEL) ||
         NT_STATUS_EQUAL(st, NT_STATUS_RPC_SEC_PKG_ERROR) || NT_STATUS_EQUAL(st, NT_STATUS_RPC_PROTOCOL_ERROR) ||
         NT_STATUS_EQUAL(st, NT_STATUS_INVALID_NETWORK_RESPONSE) || NT_STATUS_EQUAL(st, NT_STATUS_RPC_BAD_STUB_DATA) ||
         NT_STATUS_EQUAL(st, NT_STATUS_NOT_SUPPORTED);
}

static const char *privacy_option(enum RpcPrivacy privacy) {
  switch (privacy) {
    case kRpcSign:
      return ",sign";
    case kRpcNoPrivacy:
      return "";
    default:
      return ",seal";
  }
}

static const char *privacy_word(enum RpcPrivacy privacy) { return privacy == kRpcSign ? "signed" : "sealed"; }

static void on_deadline(struct tevent_context *ev, struct tevent_timer *timer, struct timeval now, void *expired) {
  (void)ev;
  (void)timer;
  (void)now;
  *(bool *)expired = true;
}

/* Runs the session's events until the composite request is over or the
 * call's deadline has passed; false when the deadline came first (the
 * request is then cancelled). */
static bool wait_composite(struct RpcSession *s, struct composite_context *c) {
  bool expired = false;
  TALLOC_CTX *timers = talloc_new(s->mem);
  if (timers == NULL || tevent_add_timer(s->ev, timers, s->deadline, on_deadline, &expired) == NULL) {
    talloc_free(timers);
    talloc_free(c);
    return false;
  }
  s->pipe_opened = false;
  while (((const struct velmora_composite_head *)c)->state < kCompositeDone && !expired) {
    if (tevent_loop_once(s->ev) != 0) expired = true;
    if (!s->pipe_opened) s->pipe_opened = find_chunks(c, "struct tstream_smbXcli_np", NULL, 0) > 0;
  }
  talloc_free(timers);
  if (expired) {
    drop_connections(s->mem);
    talloc_free(c);
  }
  return !expired;
}

/* Kerberos's failures and a refused password logon, with the platform's
 * codes (as its RPC runtime and NETAPI32 map the same statuses); 0 for any
 * other failure. */
static uint32_t kerberos_failure(struct RpcSession *s, NTSTATUS st) {
  if (NT_STATUS_EQUAL(st, NT_STATUS_NTLM_BLOCKED))
    return fail(
        s, 1937 /* ERROR_NTLM_BLOCKED */,
        "the host refuses password (NTLM) logons: log on with a Kerberos ticket (kinit, auth=kerberos or auto)");
  if (!s->kerberos) return 0;
  if (NT_STATUS_EQUAL(st, NT_STATUS_TIME_DIFFERENCE_AT_DC))
    return fail(s, 1398 /* ERROR_TIME_SKEW */,
                "the Kerberos ticket was refused: this machine's clock and the domain's differ too much (%s)",
                nt_errstr(st));
  if (NT_STATUS_EQUAL(st, NT_STATUS_LOGON_FAILURE))
    return fail(s, 1326 /* ERROR_LOGON_FAILURE */,
                "the host refused the Kerberos ticket (%s); a Samba server refuses it so too when this machine's "
                "clock and the domain's differ by more than 5 minutes",
                nt_errstr(st));
  if (NT_STATUS_EQUAL(st, NT_STATUS_NO_LOGON_SERVERS))
    return fail(s, 1311 /* ERROR_NO_LOGON_SERVERS */,
                "no Kerberos ticket for the host: the domain's KDC cannot be reached (%s)", nt_errstr(st));
  /* The session's own logon: SPNEGO found no mechanism in common with a host
   * that offers none for tickets (NT 4.0, a workgroup server). No ticket can
   * serve it, as for a numeric address; the host was reached. */
  if (NT_STATUS_EQUAL(st, NT_STATUS_INVALID_PARAMETER) && s->first == NULL)
    return fail(s, 1396 /* ERROR_WRONG_TARGET_NAME */,
                "the host takes no Kerberos ticket (%s): it logs on with a password alone", nt_errstr(st));
  return 0;
}

/* The reason and code for a pipe that could not be opened or bound. */
static uint32_t bind_failure(struct RpcSession *s, enum RpcInterface which, NTSTATUS st) {
  const uint32_t kerberos = kerberos_failure(s, st);
  if (kerberos != 0) return kerberos;
  const uint32_t logon = logon_code(st);
  if (logon != 0) return fail(s, logon, "the host refused the logon (%s)", nt_errstr(st));
  if (NT_STATUS_EQUAL(st, NT_STATUS_OBJECT_NAME_NOT_FOUND) || NT_STATUS_EQUAL(st, NT_STATUS_NO_SUCH_FILE)) {
    /* As the platform's RPC runtime reports an endpoint that is not there. */
    s->refused[which] = kServerUnavailable;
    return fail(s, kServerUnavailable, "the host does not serve %s", kInterface[which].name);
  }
  if (NT_STATUS_EQUAL(st, NT_STATUS_ACCESS_DENIED) || NT_STATUS_EQUAL(st, NT_STATUS_NETWORK_ACCESS_DENIED))
    return fail(s, kAccessDenied, "the host refused access to %s (%s)", kInterface[which].name, nt_errstr(st));
  if (NT_STATUS_EQUAL(st, NT_STATUS_IO_TIMEOUT))
    return fail(s, kBadNetPath, "no answer from the host within %u s", s->timeout_seconds);
  /* Lowering the privacy is advice only for a bind the host refused: a
   * failure before the pipe was open is the transport's. */
  if (s->pipe_opened && s->privacy != kRpcNoPrivacy && refuses_protection(st))
    return fail(s, kBadNetPath, "the host refused a %s bind of %s (%s); privacy=sign or none lowers it",
                privacy_word(s->privacy), kInterface[which].name, nt_errstr(st));
  if (s->pipe_opened)
    return fail(s, kBadNetPath, "the host could not bind %s (%s)", kInterface[which].name, nt_errstr(st));
  if (s->first != NULL)
    return fail(s, kBadNetPath, "the host could not open %s (%s)", kInterface[which].name, nt_errstr(st));
  /* Refused or unanswered connections, unknown names, protocol errors;
   * Samba even reports an unreachable named-pipe host as NO_MEMORY. */
  if (NT_STATUS_EQUAL(st, NT_STATUS_NO_MEMORY))
    return fail(s, kBadNetPath, "cannot reach the host %s: no SMB server answers there", s->address);
  if (NT_STATUS_EQUAL(st, NT_STATUS_INVALID_NETWORK_RESPONSE) || NT_STATUS_EQUAL(st, NT_STATUS_RPC_PROTOCOL_ERROR))
    return fail(s, kBadNetPath, "a transport fault: the host %s answered SMB with a reply that is not SMB (%s)",
                s->address, nt_errstr(st));
  return fail(s, kBadNetPath, "cannot reach the host %s (%s)", s->address, nt_errstr(st));
}

/* Binds `which` on the session, opening the SMB session with the first. */
static uint32_t bind_pipe(struct RpcSession *s, enum RpcInterface which) {
  if (s->pipe[which] != NULL) return kSuccess;
  if (s->refused[which] != 0) return fail(s, s->refused[which], "the host does not serve %s", kInterface[which].name);
  if (s->broken) return fail(s, kBadNetPath, "the connection to the host was lost");
  struct dcerpc_binding *binding = NULL;
  const char *text = talloc_asprintf(s->mem, "ncacn_np:%s[\\pipe\\%s%s]", s->address, kInterface[which].pipe,
                                     privacy_option(s->privacy));
  if (text == NULL) return kNotEnoughMemory;
  NTSTATUS st = dcerpc_parse_binding(s->mem, text, &binding);
  if (!NT_STATUS_IS_OK(st)) return fail(s, kBadNetPath, "the host's name cannot be used (%s)", nt_errstr(st));
  struct dcerpc_pipe *p = NULL;
  struct composite_context *c =
      s->first == NULL
          ? dcerpc_pipe_connect_b_send(s->mem, binding, kInterface[which].table, s->creds, s->ev, s->lp)
          : dcerpc_secondary_auth_connection_send(s->first, binding, kInterface[which].table, s->creds, s->lp);
  if (c == NULL) return kNotEnoughMemory;
  if (!wait_composite(s, c)) {
    s->broken = s->first != NULL;
    return fail(s, kBadNetPath, "no answer from the host within %u s while %s %s", s->timeout_seconds,
                s->first == NULL ? "connecting to" : "binding", kInterface[which].name);
  }
  st = s->first == NULL ? dcerpc_pipe_connect_b_recv(c, s->mem, &p)
                        : dcerpc_secondary_auth_connection_recv(c, s->mem, &p);
  if (!NT_STATUS_IS_OK(st)) {
    /* A secondary pipe that failed for the transport leaves the session
     * unusable; one the host refused leaves it as it was. */
    const uint32_t code = bind_failure(s, which, st);
    if (s->first != NULL && code == kBadNetPath) s->broken = true;
    return code;
  }
  set_pipe_timeout(s, p);
  s->pipe[which] = p;
  if (s->first == NULL) s->first = p;
  return kSuccess;
}

/* Makes one call on `which`, binding it first when needed; a transport
 * failure or a call without an answer by the deadline breaks the session. */
static uint32_t call(struct RpcSession *s, enum RpcInterface which, uint32_t opnum, TALLOC_CTX *mem, void *r) {
  if (s->broken) return fail(s, kBadNetPath, "the connection to the host was lost");
  uint32_t code = bind_pipe(s, which);
  if (code != kSuccess) return code;
  struct dcerpc_pipe *p = s->pipe[which];
  p->last_fault_code = 0;
  struct tevent_req *req =
      dcerpc_binding_handle_call_send(mem, s->ev, p->binding_handle, NULL, kInterface[which].table, opnum, mem, r);
  if (req == NULL || !tevent_req_set_endtime(req, s->ev, s->deadline)) {
    talloc_free(req);
    return kNotEnoughMemory;
  }
  NTSTATUS st = tevent_req_poll(req, s->ev) ? dcerpc_binding_handle_call_recv(req) : NT_STATUS_INTERNAL_ERROR;
  talloc_free(req);
  if (NT_STATUS_IS_OK(st)) return kSuccess;
  if (NT_STATUS_EQUAL(st, NT_STATUS_ACCESS_DENIED)) /* a fault: the pipe stays usable */
    return fail(s, kAccessDenied, "the host refused access to a call on %s", kInterface[which].name);
  if (p->last_fault_code != 0) {
    /* The host answered with a fault: the pipe stays usable. A Windows host
     * sends the Win32 code; another host's own fault codes are larger. */
    const uint32_t fault = p->last_fault_code;
    return fail(s, fault < 0x10000 ? fault : kBadNetPath, "the host answered a call on %s with fault 0x%x",
                kInterface[which].name, (unsigned)fault);
  }
  s->broken = true;
  if (NT_STATUS_EQUAL(st, NT_STATUS_IO_TIMEOUT))
    return fail(s, kBadNetPath, "the call timed out: no answer from the host within %u s", s->timeout_seconds);
  return fail(s, kBadNetPath, "the connection to the host failed during a call on %s (%s)", kInterface[which].name,
              nt_errstr(st));
}

/* A session on the user's ticket. The ticket is not delegated to the host:
 * no host needs it to serve these calls, and a forwarded ticket would let
 * the host act as the user anywhere (a ticket that may not be forwarded
 * would even fail the logon). */
static void use_ticket(struct RpcSession *s) {
  s->kerberos = true;
  lpcfg_set_cmdline(s->lp, "gensec_gssapi:delegation", "no");
  lpcfg_set_cmdline(s->lp, "gensec_gssapi:delegation_by_kdc_policy", "no");
}

/* A password logon: Samba gets the password's NT hash, never the password
 * (its own conversion would leave a freed copy of it in the heap). */
static uint32_t use_password_hash(struct RpcSession *s, const char *password) {
  struct samr_Password hash;
  if (nt_hash_of(password, hash.hash) != 0) return fail(s, 1326, "the password is not UTF-8 text");
  const bool set = cli_credentials_set_nt_hash(s->creds, &hash, CRED_SPECIFIED);
  explicit_bzero(&hash, sizeof hash);
  return set ? kSuccess : kNotEnoughMemory;
}

/* Closing a session never waits on the host: its connection is dropped
 * (the host releases the pipes and handles with it). */
static void close_session(struct RpcSession *s) {
  if (s == NULL) return;
  drop_connections(s->mem);
  talloc_free(s->mem);
  free(s);
}

uint32_t rpc_open(const struct RpcLogin *login, struct RpcSession **session, char reason[RPC_REASON_SIZE]) {
  *session = NULL;
  reason[0] = '\0';
  enter();
  pthread_once(&g_once, init_once);
  struct RpcSession *s = NT_STATUS_IS_OK(g_init_status) ? calloc(1, sizeof *s) : NULL;
  if (s == NULL) {
    leave();
    snprintf(reason, RPC_REASON_SIZE, "Samba's client libraries cannot be used");
    return kBadNetPath;
  }
  s->mem = talloc_new(NULL);
  s->ev = s->mem ? tevent_context_init(s->mem) : NULL;
  s->lp = s->mem ? loadparm_init(s->mem) : NULL;
  s->creds = s->mem ? cli_credentials_init(s->mem) : NULL;
  s->address = s->mem ? talloc_strdup(s->mem, login->address) : NULL;
  if (s->ev == NULL || s->lp == NULL || s->creds == NULL || s->address == NULL) {
    close_session(s);
    leave();
    return kNotEnoughMemory;
  }
  tevent_set_trace_callback(s->ev, around_waits, NULL);
  s->privacy = login->privacy;
  s->timeout_seconds = login->timeout_seconds;
  s->deadline = timeval_current_ofs_msec(login->milliseconds);
  lpcfg_set_cmdline(s->lp, "log level", "0");
  if (login->port != 0) {
    char port[16];
    snprintf(port, sizeof port, "%u", login->port);
    lpcfg_set_cmdline(s->lp, "smb ports", port);
  }
  cli_credentials_set_conf(s->creds, s->lp);
  uint32_t code = kSuccess;
  if (login->use_kerberos) {
    use_ticket(s);
    const char *error = NULL;
    if (cli_credentials_set_ccache(s->creds, s->lp, login->ccache, CRED_SPECIFIED, &error) != 0)
      code = fail(s, 1326, "no usable Kerberos ticket");
    cli_credentials_set_kerberos_state(s->creds, CRED_USE_KERBEROS_REQUIRED, CRED_SPECIFIED);
  } else {
    cli_credentials_set_kerberos_state(s->creds, CRED_USE_KERBEROS_DISABLED, CRED_SPECIFIED);
    if (login->domain != NULL && login->domain[0] != '\0')
      cli_credentials_set_domain(s->creds, login->domain, CRED_SPECIFIED);
    cli_credentials_set_username(s->creds, login->user ? login->user : "", CRED_SPECIFIED);
    code = use_password_hash(s, login->password ? login->password : "");
  }
  if (code == kSuccess) code = bind_pipe(s, login->first == kRpcAtsvc ? kRpcSvcctl : login->first);
  if (code == kSuccess) {
    ++g_sessions;
    *session = s;
  } else {
    snprintf(reason, RPC_REASON_SIZE, "%s", s->reason);
    close_session(s);
  }
  leave();
  return code;
}

void rpc_close(struct RpcSession *s) {
  enter();
  close_session(s);
  leave();
}

int rpc_broken(const struct RpcSession *s) { return s->broken; }

void rpc_begin_call(struct RpcSession *s, unsigned milliseconds) {
  s->deadline = timeval_current_ofs_msec(milliseconds);
  s->reason[0] = '\0';
}

const char *rpc_reason(const struct RpcSession *s) { return s->reason; }

unsigned long rpc_sessions_opened(void) {
  enter();
  const unsigned long n = g_sessions;
  leave();
  return n;
}

void rpc_end_process(void) { enter(); }

static char *copy_text(const char *text) { return strdup(text != NULL ? text : ""); }

uint32_t rpc_job_add(struct RpcSession *s, const char *server, const struct RpcJob *job, uint32_t *job_id) {
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobInfo info = {job->job_time, job->days_of_month, job->days_of_week, job->flags, job->command};
  struct atsvc_JobAdd r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.job_info = &info;
  r.out.job_id = job_id;
  uint32_t code = call(s, kRpcAtsvc, NDR_ATSVC_JOBADD, mem, &r);
  /* The service's result is a NET_API_STATUS, though the IDL types it NTSTATUS. */
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  talloc_free(mem);
  leave();
  return code;
}

uint32_t rpc_job_del(struct RpcSession *s, const char *server, uint32_t min_id, uint32_t max_id) {
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobDel r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.min_job_id = min_id;
  r.in.max_job_id = max_id;
  uint32_t code = call(s, kRpcAtsvc, NDR_ATSVC_JOBDEL, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  talloc_free(mem);
  leave();
  return code;
}

void rpc_free_jobs(struct RpcJob *jobs, uint32_t count) {
  if (jobs == NULL) return;
  for (uint32_t i = 0; i < count; ++i) free(jobs[i].command);
  free(jobs);
}

uint32_t rpc_job_enum(struct RpcSession *s, const char *server, uint32_t preferred_max_len, uint32_t *resume,
                      struct RpcJob **jobs, uint32_t *count, uint32_t *total) {
  *jobs = NULL;
  *count = *total = 0;
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_enum_ctr ctr = {0, NULL};
  struct atsvc_JobEnum r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.preferred_max_len = preferred_max_len;
  r.in.ctr = r.out.ctr = &ctr;
  r.in.resume_handle = r.out.resume_handle = resume;
  r.out.total_entries = total;
  uint32_t code = call(s, kRpcAtsvc, NDR_ATSVC_JOBENUM, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  /* The reply's resume handle is a unique pointer: NDR pulls it into memory
   * of its own, not into *resume. */
  if (resume != NULL && r.out.resume_handle != NULL && r.out.resume_handle != resume) *resume = *r.out.resume_handle;
  if ((code == kSuccess || code == kMoreData) && ctr.entries_read > 0) {
    /* A broken host may count records it does not send. */
    struct RpcJob *out = NULL;
    if (ctr.first_entry == NULL) {
      code = fail(s, kBadNetPath, "the host counted jobs it did not send");
    } else {
      out = calloc(ctr.entries_read, sizeof *out);
      if (out == NULL) code = kNotEnoughMemory;
    }
    for (uint32_t i = 0; out != NULL && i < ctr.entries_read; ++i) {
      const struct atsvc_JobEnumInfo *e = &ctr.first_entry[i];
      out[i] =
          (struct RpcJob){e->job_id, e->job_time, e->days_of_month, e->days_of_week, e->flags, copy_text(e->command)};
      if (out[i].command == NULL) {
        rpc_free_jobs(out, i);
        out = NULL;
        code = kNotEnoughMemory;
      }
    }
    if (out != NULL) {
      *jobs = out;
      *count = ctr.entries_read;
    }
  }
  if (code != kSuccess && code != kMoreData) *total = 0;
  talloc_free(mem);
  leave();
  return code;
}

uint32_t rpc_job_get_info(struct RpcSession *s, const char *server, uint32_t job_id, struct RpcJob *job) {
  memset(job, 0, sizeof *job);
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobInfo *info = NULL;
  struct atsvc_JobGetInfo r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.job_id = job_id;
  r.out.job_info = &info;
  uint32_t code = call(s, kRpcAtsvc, NDR_ATSVC_JOBGETINFO, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  if (code == kSuccess && info == NULL) code = fail(s, kBadNetPath, "the host answered without the job's record");
  if (code == kSuccess) {
    *job = (struct RpcJob){job_id,      info->job_time,          info->days_of_month, info->days_of_week,
                           info->flags, copy_text(info->command)};
    if (job->command == NULL) code = kNotEnoughMemory;
  }
  talloc_free(mem);
  leave();
  return code;
}

/* The service controller's codes as the LAN Manager service functions give
 * them for an NT service. */
static uint32_t service_code(WERROR result) {
  switch (W_ERROR_V(result)) {
    case 1060: /* ERROR_SERVICE_DOES_NOT_EXIST */
      return kBadServiceName;
    case 1056: /* ERROR_SERVICE_ALREADY_RUNNING */
      return kServiceInstalled;
    case 1062: /* ERROR_SERVICE_NOT_ACTIVE */
      return kServiceNotInstalled;
    case 1052: /* ERROR_INVALID_SERVICE_CONTROL */
    case 1061: /* ERROR_SERVICE_CANNOT_ACCEPT_CTRL */
      return kServiceCtlNotValid;
    default:
      return W_ERROR_V(result);
  }
}

static uint32_t open_manager(struct RpcSession *s, TALLOC_CTX *mem, const char *server) {
  if (s->has_manager) return kSuccess;
  struct svcctl_OpenSCManagerW r;
  memset(&r, 0, sizeof r);
  r.in.MachineName = server;
  r.in.access_mask = kScManagerConnect;
  r.out.handle = &s->manager;
  uint32_t code = call(s, kRpcSvcctl, NDR_SVCCTL_OPENSCMANAGERW, mem, &r);
  if (code == kSuccess) code = service_code(r.out.result);
  s->has_manager = code == kSuccess;
  return code;
}

/* A kept handle of the service with at least `needed` rights, opened when
 * there is none: with every right the calls use, so that later calls find it
 * open, and with only `needed` when the account may not have them all. */
static uint32_t service_handle(struct RpcSession *s, TALLOC_CTX *mem, const char *server, const char *name,
                               uint32_t needed, struct policy_handle **handle) {
  bool known = false;
  for (size_t i = 0; i < s->service_count; ++i) {
    if (strcasecmp(s->services[i].name, name) != 0) continue;
    known = true;
    if ((s->services[i].access & needed) == needed) {
      *handle = &s->services[i].handle;
      return kSuccess;
    }
  }
  uint32_t code = open_manager(s, mem, server);
  if (code != kSuccess) return code;
  const uint32_t tries[2] = {kServiceEveryRight | needed, needed};
  struct policy_handle opened;
  uint32_t access = 0;
  for (int i = known ? 1 : 0; i < 2; ++i) {
    struct svcctl_OpenServiceW r;
    memset(&r, 0, sizeof r);
    memset(&opened, 0, sizeof opened);
    r.in.scmanager_handle = &s->manager;
    r.in.ServiceName = name;
    r.in.access_mask = access = tries[i];
    r.out.handle = &opened;
    code = call(s, kRpcSvcctl, NDR_SVCCTL_OPENSERVICEW, mem, &r);
    if (code == kSuccess) code = service_code(r.out.result);
    if (code != kAccessDenied) break;
  }
  if (code != kSuccess) return code;
  struct ServiceHandle *grown = talloc_realloc(s->mem, s->services, struct ServiceHandle, s->service_count + 1);
  if (grown == NULL) return kNotEnoughMemory;
  s->services = grown;
  struct ServiceHandle *kept = &s->services[s->service_count];
  kept->name = talloc_strdup(s->services, name);
  if (kept->name == NULL) return kNotEnoughMemory;
  kept->access = access;
  kept->handle = opened;
  ++s->service_count;
  *handle = &kept->handle;
  return kSuccess;
}

typedef uint32_t (*ServiceBody)(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context);

/* Runs `body` on a kept service handle. A handle the host no longer knows
 * (its service controller restarted) is forgotten and opened again once. */
static uint32_t with_service(struct RpcSession *s, const char *server, const char *name, uint32_t needed,
                             ServiceBody body, void *context) {
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  uint32_t code = kSuccess;
  for (int attempt = 0; attempt < 2; ++attempt) {
    struct policy_handle *service = NULL;
    code = service_handle(s, mem, server, name, needed, &service);
    if (code == kSuccess) code = body(s, mem, service, context);
    if (code != kInvalidHandle || s->broken) break;
    TALLOC_FREE(s->services);
    s->service_count = 0;
    s->has_manager = false;
  }
  talloc_free(mem);
  leave();
  return code;
}

static uint32_t query_body(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context) {
  struct SERVICE_STATUS status;
  memset(&status, 0, sizeof status);
  struct svcctl_QueryServiceStatus r;
  memset(&r, 0, sizeof r);
  r.in.handle = service;
  r.out.service_status = &status;
  uint32_t code = call(s, kRpcSvcctl, NDR_SVCCTL_QUERYSERVICESTATUS, mem, &r);
  if (code == kSuccess) code = service_code(r.out.result);
  if (code == kSuccess) *(struct RpcService *)context = (struct RpcService){status.state, status.controls_accepted};
  return code;
}

uint32_t rpc_service_query(struct RpcSession *s, const char *server, const char *service, struct RpcService *status) {
  return with_service(s, server, service, kServiceQueryStatus, query_body, status);
}

static uint32_t start_body(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context) {
  (void)context;
  struct svcctl_StartServiceW r;
  memset(&r, 0, sizeof r);
  r.in.handle = service;
  uint32_t code = call(s, kRpcSvcctl, NDR_SVCCTL_STARTSERVICEW, mem, &r);
  return code == kSuccess ? service_code(r.out.result) : code;
}

uint32_t rpc_service_start(struct RpcSession *s, const char *server, const char *service) {
  return with_service(s, server, service, kServiceStart, start_body, NULL);
}

struct ControlContext {
  uint32_t control;
  struct RpcService *status;
};

static uint32_t control_body(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context) {
  struct ControlContext *c = context;
  struct SERVICE_STATUS status;
  memset(&status, 0, sizeof status);
  struct svcctl_ControlService r;
  memset(&r, 0, sizeof r);
  r.in.handle = service;
  r.in.control = (enum SERVICE_CONTROL)c->control;
  r.out.service_status = &status;
  uint32_t code = call(s, kRpcSvcctl, NDR_SVCCTL_CONTROLSERVICE, mem, &r);
  if (code == kSuccess) code = service_code(r.out.result);
  if (code == kSuccess) *c->status = (struct RpcService){status.state, status.controls_accepted};
  return code;
}

uint32_t rpc_service_control(struct RpcSession *s, const char *server, const char *service, uint32_t control,
                             struct RpcService *status) {
  /* Servers check the right to query the status for an interrogate too. */
  uint32_t access = kServiceQueryStatus | kServiceInterrogate;
  if (control == 1) access = kServiceStop;
  if (control == 2 || control == 3) access = kServicePauseContinue;
  struct ControlContext context = {control, status};
  return with_service(s, server, service, access, control_body, &context);
}

uint32_t rpc_workstation_info(struct RpcSession *s, const char *server, struct RpcWorkstation *info) {
  memset(info, 0, sizeof *info);
  enter();
  TALLOC_CTX *mem = talloc_new(s->mem);
  union velmora_wkssvc_info out;
  memset(&out, 0, sizeof out);
  struct velmora_wkssvc_get_info r;
  memset(&r, 0, sizeof r);
  r.in.server_name = server;
  r.in.level = 100;
  r.out.info = &out;
  uint32_t code = call(s, kRpcWkssvc, VELMORA_NDR_WKSSVC_NETWKSTAGETINFO, mem, &r);
  if (code == kSuccess) code = W_ERROR_V(r.out.result);
  if (code == kSuccess && out.info100 == NULL) code = fail(s, kBadNetPath, "the host answered without its record");
  if (code == kSuccess) {
    info->platform_id = out.info100->platform_id;
    info->version_major = out.info100->version_major;
    info->version_minor = out.info100->version_minor;
    info->computer_name = copy_text(out.info100->server_name);
    info->lan_group = copy_text(out.info100->domain_name);
    if (info->computer_name == NULL || info->lan_group == NULL) {
      rpc_free_workstation(info);
      code = kNotEnoughMemory;
    }
  }
  talloc_free(mem);
  leave();
  return code;
}

void rpc_free_workstation(struct RpcWorkstation *info) {
  free(info->computer_name);
  free(info->lan_group);
  info->computer_name = info->lan_group = NULL;
}
