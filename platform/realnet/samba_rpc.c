/* See samba_rpc.h. Only Samba's public client libraries are used:
 * dcerpc_pipe_connect and dcerpc_secondary_auth_connection (libdcerpc), the
 * generic dcerpc_binding_handle_call (libdcerpc-binding) and the interface
 * tables of libndr-standard. */
#include "samba_rpc.h"

#include <stdbool.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <pthread.h>
#include <talloc.h>
#include <tevent.h>
#include <core/ntstatus.h>
#include <core/werror.h>
#include <util/time.h>
#include <util/data_blob.h>
#include <util/debug.h>
#include <param.h>
#include <credentials.h>
#include <dcerpc.h>
#include <rpc_common.h>
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

enum {
  kSuccess = 0,
  kAccessDenied = 5,
  kNotEnoughMemory = 8,
  kBadNetPath = 53,
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
};

struct RpcSession {
  TALLOC_CTX *mem;
  struct tevent_context *ev;
  struct loadparm_context *lp;
  struct cli_credentials *creds;
  struct dcerpc_pipe *atsvc, *svcctl, *wkssvc;
  bool broken;
};

static pthread_once_t g_once = PTHREAD_ONCE_INIT;
static NTSTATUS g_init_status;
static pthread_mutex_t g_count_lock = PTHREAD_MUTEX_INITIALIZER;
static unsigned long g_sessions;

/* Samba's diagnostics would land on the terminal the program draws on, and
 * could name the account: they are dropped. */
static void drop_debug(void *private_ptr, int level, const char *msg) {
  (void)private_ptr;
  (void)level;
  (void)msg;
}

static void init_once(void) {
  debug_set_callback(NULL, drop_debug);
  g_init_status = dcerpc_init();
}

/* How NETAPI32 reports a failure to reach, log on to or talk to a computer:
 * the account's own problems as the platform's logon codes, a refusal as
 * access denied, every other transport failure as a path not found. */
static uint32_t code_of_failure(NTSTATUS st) {
  static const struct {
    NTSTATUS status;
    uint32_t code;
  } kLogonCodes[] = {
      {NT_STATUS_LOGON_FAILURE, 1326},
      {NT_STATUS_WRONG_PASSWORD, 1326},
      {NT_STATUS_NO_SUCH_USER, 1326},
      {NT_STATUS_ACCOUNT_RESTRICTION, 1327},
      {NT_STATUS_INVALID_LOGON_HOURS, 1328},
      {NT_STATUS_INVALID_WORKSTATION, 1329},
      {NT_STATUS_PASSWORD_EXPIRED, 1330},
      {NT_STATUS_ACCOUNT_DISABLED, 1331},
      {NT_STATUS_ACCOUNT_EXPIRED, 1793},
      {NT_STATUS_PASSWORD_MUST_CHANGE, 1907},
      {NT_STATUS_ACCOUNT_LOCKED_OUT, 1909},
      {NT_STATUS_ACCESS_DENIED, kAccessDenied},
      {NT_STATUS_NETWORK_ACCESS_DENIED, kAccessDenied},
  };
  for (size_t i = 0; i < sizeof kLogonCodes / sizeof kLogonCodes[0]; ++i)
    if (NT_STATUS_EQUAL(st, kLogonCodes[i].status)) return kLogonCodes[i].code;
  /* Refused or unanswered connections, missing pipes, timeouts, protocol
   * errors; Samba even reports an unreachable named-pipe host as
   * NT_STATUS_NO_MEMORY. */
  return kBadNetPath;
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

static void wipe(const char *secret) {
  if (secret != NULL) explicit_bzero((char *)secret, strlen(secret));
}

unsigned long rpc_sessions_opened(void) {
  pthread_mutex_lock(&g_count_lock);
  unsigned long n = g_sessions;
  pthread_mutex_unlock(&g_count_lock);
  return n;
}

static uint32_t open_secondary(struct RpcSession *s, const struct RpcLogin *login, const char *pipe,
                               const struct ndr_interface_table *table, struct dcerpc_pipe **out) {
  struct dcerpc_binding *binding = NULL;
  const char *text =
      talloc_asprintf(s->mem, "ncacn_np:%s[\\pipe\\%s%s]", login->address, pipe, privacy_option(login->privacy));
  if (text == NULL) return kNotEnoughMemory;
  NTSTATUS st = dcerpc_parse_binding(s->mem, text, &binding);
  if (!NT_STATUS_IS_OK(st)) return kBadNetPath;
  st = dcerpc_secondary_auth_connection(s->atsvc, binding, table, s->creds, s->lp, s->mem, out);
  if (!NT_STATUS_IS_OK(st)) return code_of_failure(st);
  dcerpc_binding_handle_set_timeout((*out)->binding_handle, login->timeout_seconds);
  return kSuccess;
}

uint32_t rpc_open(const struct RpcLogin *login, struct RpcSession **session) {
  *session = NULL;
  pthread_once(&g_once, init_once);
  if (!NT_STATUS_IS_OK(g_init_status)) return kBadNetPath;
  struct RpcSession *s = calloc(1, sizeof *s);
  if (s == NULL) return kNotEnoughMemory;
  s->mem = talloc_new(NULL);
  s->ev = s->mem ? tevent_context_init(s->mem) : NULL;
  s->lp = s->mem ? loadparm_init(s->mem) : NULL;
  s->creds = s->mem ? cli_credentials_init(s->mem) : NULL;
  if (s->ev == NULL || s->lp == NULL || s->creds == NULL) {
    rpc_close(s);
    return kNotEnoughMemory;
  }
  lpcfg_set_cmdline(s->lp, "log level", "0");
  if (login->port != 0) {
    char port[16];
    snprintf(port, sizeof port, "%u", login->port);
    lpcfg_set_cmdline(s->lp, "smb ports", port);
  }
  cli_credentials_set_conf(s->creds, s->lp);
  if (login->use_kerberos) {
    const char *error = NULL;
    if (cli_credentials_set_ccache(s->creds, s->lp, login->ccache, CRED_SPECIFIED, &error) != 0) {
      rpc_close(s);
      return 1326;
    }
    cli_credentials_set_kerberos_state(s->creds, CRED_USE_KERBEROS_REQUIRED, CRED_SPECIFIED);
  } else {
    cli_credentials_set_kerberos_state(s->creds, CRED_USE_KERBEROS_DISABLED, CRED_SPECIFIED);
    if (login->domain != NULL && login->domain[0] != '\0')
      cli_credentials_set_domain(s->creds, login->domain, CRED_SPECIFIED);
    cli_credentials_set_username(s->creds, login->user ? login->user : "", CRED_SPECIFIED);
    cli_credentials_set_password(s->creds, login->password ? login->password : "", CRED_SPECIFIED);
  }

  const char *binding =
      talloc_asprintf(s->mem, "ncacn_np:%s[\\pipe\\atsvc%s]", login->address, privacy_option(login->privacy));
  uint32_t code = kNotEnoughMemory;
  if (binding != NULL) {
    NTSTATUS st = dcerpc_pipe_connect(s->mem, &s->atsvc, binding, &ndr_table_atsvc, s->creds, s->ev, s->lp);
    code = NT_STATUS_IS_OK(st) ? kSuccess : code_of_failure(st);
  }
  if (code == kSuccess) {
    pthread_mutex_lock(&g_count_lock);
    ++g_sessions;
    pthread_mutex_unlock(&g_count_lock);
    dcerpc_binding_handle_set_timeout(s->atsvc->binding_handle, login->timeout_seconds);
    code = open_secondary(s, login, "svcctl", &ndr_table_svcctl, &s->svcctl);
  }
  if (code == kSuccess) code = open_secondary(s, login, "wkssvc", &ndr_table_wkssvc, &s->wkssvc);
  /* Every pipe is bound: the password is not needed again. */
  wipe(cli_credentials_get_password(s->creds));
  if (code != kSuccess) {
    rpc_close(s);
    return code;
  }
  *session = s;
  return kSuccess;
}

void rpc_close(struct RpcSession *s) {
  if (s == NULL) return;
  talloc_free(s->mem);
  free(s);
}

int rpc_broken(const struct RpcSession *s) { return s->broken; }

/* Makes one call; a transport failure breaks the session. */
static uint32_t call(struct RpcSession *s, struct dcerpc_pipe *p, const struct ndr_interface_table *table,
                     uint32_t opnum, TALLOC_CTX *mem, void *r) {
  if (s->broken) return kBadNetPath;
  NTSTATUS st = dcerpc_binding_handle_call(p->binding_handle, NULL, table, opnum, mem, r);
  if (NT_STATUS_IS_OK(st)) return kSuccess;
  if (NT_STATUS_EQUAL(st, NT_STATUS_ACCESS_DENIED)) return kAccessDenied; /* a fault: the pipe stays usable */
  s->broken = true;
  return kBadNetPath;
}

static char *copy_text(const char *text) { return strdup(text != NULL ? text : ""); }

uint32_t rpc_job_add(struct RpcSession *s, const char *server, const struct RpcJob *job, uint32_t *job_id) {
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobInfo info = {job->job_time, job->days_of_month, job->days_of_week, job->flags, job->command};
  struct atsvc_JobAdd r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.job_info = &info;
  r.out.job_id = job_id;
  uint32_t code = call(s, s->atsvc, &ndr_table_atsvc, NDR_ATSVC_JOBADD, mem, &r);
  /* The service's result is a NET_API_STATUS, though the IDL types it NTSTATUS. */
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  talloc_free(mem);
  return code;
}

uint32_t rpc_job_del(struct RpcSession *s, const char *server, uint32_t min_id, uint32_t max_id) {
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobDel r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.min_job_id = min_id;
  r.in.max_job_id = max_id;
  uint32_t code = call(s, s->atsvc, &ndr_table_atsvc, NDR_ATSVC_JOBDEL, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  talloc_free(mem);
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
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_enum_ctr ctr = {0, NULL};
  struct atsvc_JobEnum r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.preferred_max_len = preferred_max_len;
  r.in.ctr = r.out.ctr = &ctr;
  r.in.resume_handle = r.out.resume_handle = resume;
  r.out.total_entries = total;
  uint32_t code = call(s, s->atsvc, &ndr_table_atsvc, NDR_ATSVC_JOBENUM, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  /* The reply's resume handle is a unique pointer: NDR pulls it into memory
   * of its own, not into *resume. */
  if (resume != NULL && r.out.resume_handle != NULL && r.out.resume_handle != resume) *resume = *r.out.resume_handle;
  if ((code == kSuccess || code == 234 /* ERROR_MORE_DATA */) && ctr.entries_read > 0) {
    struct RpcJob *out = calloc(ctr.entries_read, sizeof *out);
    if (out == NULL) code = kNotEnoughMemory;
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
  if (code != kSuccess && code != 234) *total = 0;
  talloc_free(mem);
  return code;
}

uint32_t rpc_job_get_info(struct RpcSession *s, const char *server, uint32_t job_id, struct RpcJob *job) {
  memset(job, 0, sizeof *job);
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct atsvc_JobInfo *info = NULL;
  struct atsvc_JobGetInfo r;
  memset(&r, 0, sizeof r);
  r.in.servername = server;
  r.in.job_id = job_id;
  r.out.job_info = &info;
  uint32_t code = call(s, s->atsvc, &ndr_table_atsvc, NDR_ATSVC_JOBGETINFO, mem, &r);
  if (code == kSuccess) code = NT_STATUS_V(r.out.result);
  if (code == kSuccess && info == NULL) code = kBadNetPath; /* a success without a record */
  if (code == kSuccess) {
    *job = (struct RpcJob){job_id,      info->job_time,          info->days_of_month, info->days_of_week,
                           info->flags, copy_text(info->command)};
    if (job->command == NULL) code = kNotEnoughMemory;
  }
  talloc_free(mem);
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

static void close_handle(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *handle) {
  struct svcctl_CloseServiceHandle r;
  memset(&r, 0, sizeof r);
  r.in.handle = r.out.handle = handle;
  call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_CLOSESERVICEHANDLE, mem, &r);
}

/* Opens the controller and the service, runs `body`, closes both. */
typedef uint32_t (*ServiceBody)(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context);

static uint32_t with_service(struct RpcSession *s, const char *server, const char *name, uint32_t access,
                             ServiceBody body, void *context) {
  TALLOC_CTX *mem = talloc_new(s->mem);
  struct policy_handle manager, service;
  memset(&manager, 0, sizeof manager);
  memset(&service, 0, sizeof service);
  struct svcctl_OpenSCManagerW open_manager;
  memset(&open_manager, 0, sizeof open_manager);
  open_manager.in.MachineName = server;
  open_manager.in.access_mask = kScManagerConnect;
  open_manager.out.handle = &manager;
  uint32_t code = call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_OPENSCMANAGERW, mem, &open_manager);
  if (code == kSuccess) code = service_code(open_manager.out.result);
  if (code == kSuccess) {
    struct svcctl_OpenServiceW open_service;
    memset(&open_service, 0, sizeof open_service);
    open_service.in.scmanager_handle = &manager;
    open_service.in.ServiceName = name;
    open_service.in.access_mask = access;
    open_service.out.handle = &service;
    code = call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_OPENSERVICEW, mem, &open_service);
    if (code == kSuccess) code = service_code(open_service.out.result);
    if (code == kSuccess) {
      code = body(s, mem, &service, context);
      close_handle(s, mem, &service);
    }
    close_handle(s, mem, &manager);
  }
  talloc_free(mem);
  return code;
}

static uint32_t query_body(struct RpcSession *s, TALLOC_CTX *mem, struct policy_handle *service, void *context) {
  struct SERVICE_STATUS status;
  memset(&status, 0, sizeof status);
  struct svcctl_QueryServiceStatus r;
  memset(&r, 0, sizeof r);
  r.in.handle = service;
  r.out.service_status = &status;
  uint32_t code = call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_QUERYSERVICESTATUS, mem, &r);
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
  uint32_t code = call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_STARTSERVICEW, mem, &r);
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
  uint32_t code = call(s, s->svcctl, &ndr_table_svcctl, NDR_SVCCTL_CONTROLSERVICE, mem, &r);
  if (code == kSuccess) code = service_code(r.out.result);
  if (code == kSuccess) *c->status = (struct RpcService){status.state, status.controls_accepted};
  return code;
}

uint32_t rpc_service_control(struct RpcSession *s, const char *server, const char *service, uint32_t control,
                             struct RpcService *status) {
  uint32_t access = kServiceInterrogate;
  if (control == 1) access = kServiceStop;
  if (control == 2 || control == 3) access = kServicePauseContinue;
  struct ControlContext context = {control, status};
  return with_service(s, server, service, access, control_body, &context);
}

uint32_t rpc_workstation_info(struct RpcSession *s, const char *server, struct RpcWorkstation *info) {
  memset(info, 0, sizeof *info);
  TALLOC_CTX *mem = talloc_new(s->mem);
  union velmora_wkssvc_info out;
  memset(&out, 0, sizeof out);
  struct velmora_wkssvc_get_info r;
  memset(&r, 0, sizeof r);
  r.in.server_name = server;
  r.in.level = 100;
  r.out.info = &out;
  uint32_t code = call(s, s->wkssvc, &ndr_table_wkssvc, VELMORA_NDR_WKSSVC_NETWKSTAGETINFO, mem, &r);
  if (code == kSuccess) code = W_ERROR_V(r.out.result);
  if (code == kSuccess && out.info100 == NULL) code = kBadNetPath;
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
  return code;
}

void rpc_free_workstation(struct RpcWorkstation *info) {
  free(info->computer_name);
  free(info->lan_group);
  info->computer_name = info->lan_group = NULL;
}
