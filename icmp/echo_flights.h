#pragma once
// The two kinds of IEchoFlight: datagram ICMP and ICMPv6 sockets of the program's own (a raw ICMP
// one where the datagram kind is refused and the program may open raw sockets itself), and the
// helper's socket pair, on which the helper's notes and forwarded packets of many requests
// arrive mixed. Plain system calls.
#include <memory>
#include <vector>

#include "icmp/echo_service.h"

class RelayLink;

std::unique_ptr<IEchoFlight> openSocketFlight(const std::vector<uint8_t>& data);
std::unique_ptr<IEchoFlight> openRelayFlight(std::shared_ptr<RelayLink> relay,
                                             const std::vector<uint8_t>& data);
