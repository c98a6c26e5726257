#include "app/program.h"
#include "platform/icmp_privilege.h"

int main(int argc, char** argv) {
    // Before anything else: the only moment the program may hold a capability.
    const int rawIcmpSocket = OpenIcmpThenDropPrivileges();
    return RunProgram(argc, argv, rawIcmpSocket);
}
