// SPDX-License-Identifier: GPL-3.0-or-later
// The user's Kerberos ticket cache, looked at before a session uses it:
// Samba takes a missing or empty cache for a usable one and only fails when
// it has already connected to the host.
#ifndef VELMORA_PLATFORM_REALNET_KERBEROS_TICKET_H
#define VELMORA_PLATFORM_REALNET_KERBEROS_TICKET_H

#include <string>

namespace standin::realnet {

enum class TicketState { kUsable, kNone, kExpired };

// Samba renews a ticket with less than this left, which needs a password:
// such a ticket is as good as expired.
constexpr long kTicketMarginSeconds = 300;

// The state of the cache named (empty: Kerberos's default, $KRB5CCNAME
// included); `detail` names the cache and, when there is one, its principal
// and when its ticket ends.
TicketState CheckTicketCache(const std::string &ccache, std::string *detail);

}  // namespace standin::realnet

#endif
