#pragma once
// The options the user sets in the settings dialog, kept in the settings file. One value,
// read and written as a whole; the interval's text is read as minutes here and nowhere else.
#include <QString>

struct Options {
    bool soundOn = true;                               // CBX1: play the sound on an answer
    bool autoScanOn = true;                            // CBX2: scan all every N minutes
    QString intervalText = QStringLiteral("15");       // MIN: N, as the file spells it
    QString soundFile = QStringLiteral("chimes.wav");  // DF: the sound, a path or a bare name
    bool notifyOn = true;  // CBX3: a desktop notification when a target comes online unseen

    // The interval in minutes: text that is no decimal integer counts as 15.
    int intervalMinutes() const;
    bool operator==(const Options&) const = default;
};
