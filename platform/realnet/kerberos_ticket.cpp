// SPDX-License-Identifier: GPL-3.0-or-later
#include "kerberos_ticket.h"

#include <krb5.h>

#include <ctime>

namespace standin::realnet {

TicketState CheckTicketCache(const std::string &ccache, std::string *detail) {
  krb5_context context = nullptr;
  if (krb5_init_context(&context) != 0) {
    *detail = "Kerberos cannot be used on this machine";
    return TicketState::kNone;
  }
  krb5_ccache cache = nullptr;
  const krb5_error_code opened =
      ccache.empty() ? krb5_cc_default(context, &cache) : krb5_cc_resolve(context, ccache.c_str(), &cache);
  *detail =
      "the ticket cache " +
      (opened == 0 ? std::string(krb5_cc_get_type(context, cache)) + ":" + krb5_cc_get_name(context, cache) : ccache);
  krb5_principal principal = nullptr;
  TicketState state = TicketState::kNone;
  if (opened != 0 || krb5_cc_get_principal(context, cache, &principal) != 0) {
    *detail += " holds no ticket";
  } else {
    char *name = nullptr;
    if (krb5_unparse_name(context, principal, &name) == 0) *detail += " of " + std::string(name);
    krb5_free_unparsed_name(context, name);
    // The latest end of a real ticket (not the cache's own configuration
    // entries).
    krb5_timestamp latest = 0;
    bool any = false;
    krb5_cc_cursor cursor = nullptr;
    if (krb5_cc_start_seq_get(context, cache, &cursor) == 0) {
      krb5_creds creds;
      while (krb5_cc_next_cred(context, cache, &cursor, &creds) == 0) {
        if (!krb5_is_config_principal(context, creds.server)) {
          any = true;
          if (creds.times.endtime > latest) latest = creds.times.endtime;
        }
        krb5_free_cred_contents(context, &creds);
      }
      krb5_cc_end_seq_get(context, cache, &cursor);
    }
    const time_t now = std::time(nullptr);
    if (!any) {
      *detail += " holds no ticket";
    } else if (static_cast<time_t>(static_cast<uint32_t>(latest)) <= now + kTicketMarginSeconds) {
      state = TicketState::kExpired;
      *detail += latest <= now ? " holds an expired ticket" : " holds a ticket that expires within 5 minutes";
    } else {
      state = TicketState::kUsable;
    }
    krb5_free_principal(context, principal);
  }
  if (cache != nullptr) krb5_cc_close(context, cache);
  krb5_free_context(context);
  return state;
}

}  // namespace standin::realnet
