#pragma once
// The operating-system family the tray pictures are chosen by. Linux reports the "NT" family.
#include <string>

int PlatformId();
// 1 gives "98", 2 gives "NT", anything else "98".
std::string OsFamilyFromPlatformId(int id);
