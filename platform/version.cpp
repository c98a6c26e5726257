#include "platform/version.h"

int PlatformId() {
    return 2;
}

std::string OsFamilyFromPlatformId(int id) {
    return id == 2 ? "NT" : "98";
}
