#pragma once
// The two kinds of IEchoFlight: datagram ICMP and ICMPv6 sockets of the program's own (where
// net.ipv4.ping_group_range admits the user), and the helper's socket pair (outside it), on
// which the helper's notes and the packets it forwards for many requests arrive mixed. Plain
// system calls.
#include <memory>
#include <vector>

#include "icmp/echo_service.h"

class RelayLink;

std::unique_ptr<IEchoFlight> openSocketFlight(const std::vector<uint8_t>& data);
std::unique_ptr<IEchoFlight> openRelayFlight(std::shared_ptr<RelayLink> relay,
                                             const std::vector<uint8_t>& data);
