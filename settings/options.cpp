#include "settings/options.h"

int Options::intervalMinutes() const {
    bool ok = false;
    const int minutes = intervalText.trimmed().toInt(&ok, 10);
    return ok ? minutes : 15;
}
