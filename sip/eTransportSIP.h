#pragma once

// How SIP messages travel to a destination (RFC 3261 section 18). UDP is the default of every
// plain sip: address; TCP and TLS are streams, over which nothing is ever sent twice by us.
enum class eTransportSIP { UDP, TCP, TLS };
