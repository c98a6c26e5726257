#include "platform/version.h"

int platformId() {
    return 2;
}

std::string osFamilyFromPlatformId(int id) {
    return id == 2 ? "NT" : "98";
}
