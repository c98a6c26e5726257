#include "icmp/icmp_privilege.h"

#include <linux/capability.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>

namespace {

void DropAllCapabilities() {
    // EINVAL from kernels without ambient capabilities: then there is nothing to clear.
    ::prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0);
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    // Lowering every set never needs privilege, so this cannot be refused; checked all the same,
    // since going on with the capability would defeat the point.
    if (::syscall(SYS_capset, &header, data) != 0) {
        std::perror("pingrove: cannot drop capabilities");
        ::_exit(1);
    }
}

}  // namespace

RawIcmpSockets openIcmpThenDropPrivileges() {
    RawIcmpSockets raw;
    int dgram = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (dgram >= 0) {
        ::close(dgram);  // every probe can open its own; no privilege involved
    } else {
        // EACCES above: ping_group_range leaves us out. EPERM here: neither root nor CAP_NET_RAW;
        // the probe then reports that no echo socket can be had.
        raw.v4 = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
        // No IPv6 (disabled at boot) only takes IPv6 targets away.
        if (raw.v4 >= 0) raw.v6 = ::socket(AF_INET6, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    }
    DropAllCapabilities();
    return raw;
}
