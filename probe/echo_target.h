#pragma once
// What a target's text names, read the one way both kinds of all scan read it: without the
// characters of codes 0 to 32 around it, an IPv4 address in the classic inet_addr forms (short
// forms, octal and hex parts), else an IPv6 address with its zone, else a host name to look up;
// a text longer than 255 characters names nothing. Plain C++.
#include <optional>
#include <string>

#include "icmp/echo_service.h"

struct EchoTarget {
    std::optional<EchoDestination> destination;  // an address text
    bool needsLookUp = false;                    // a name
    std::string text;                            // trimmed
};
EchoTarget readTarget(const std::string& text);

// A name's first IPv4 address, else its first IPv6 address. The resolver may wait for a name
// server: never on the UI thread.
std::optional<EchoDestination> lookUpTarget(IEchoService& echo, const std::string& name);

// Leading and trailing characters with codes 0 to 32 removed.
std::string trimTarget(const std::string& text);
