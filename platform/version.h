#pragma once
// The operating-system family the tray pictures are chosen by. Linux reports the "NT" family.
#include <string>

int platformId();
// 1 gives "98", 2 gives "NT", anything else "98".
std::string osFamilyFromPlatformId(int id);
