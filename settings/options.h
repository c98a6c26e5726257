#pragma once
// The options the user sets in the settings dialog, kept in the settings file. One value,
// read and written as a whole; the interval's text is read as minutes here and nowhere else.
#include <QString>

struct Options {
    bool soundOn = true;                               // CBX1: play the sound on an answer
    bool autoScanOn = true;                            // CBX2: scan all every N minutes
    QString intervalText = QStringLiteral("15");       // MIN: N, as the file spells it
    QString soundFile = QStringLiteral("chimes.wav");  // DF: the sound, a path or a bare name
    bool notifyOn = true;  // CBX3: a desktop notification when a target's state changes unseen
    // FAILS: scans in a row without an answer before a target counts as offline for the
    // notification, the tray's mark and the offline sound (the row's icon shows every probe).
    int failsToConfirm = 2;
    bool allAtOnce = false;       // CBX4: the all scan sends to every target at once
    bool offlineSoundOn = false;  // CBX5: a sound of its own when a target goes offline
    QString offlineSoundFile = QStringLiteral("offline.wav");  // DF2

    static constexpr int kMinFails = 1;
    static constexpr int kMaxFails = 10;

    // The interval in minutes: text that is no decimal integer counts as 15.
    int intervalMinutes() const;
    bool operator==(const Options&) const = default;
};
