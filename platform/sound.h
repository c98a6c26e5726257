#pragma once
// Event sounds: a WAV file played in the background that never cuts off a sound of the program that
// is still playing (a request meanwhile is dropped), and the platform's alert beep, which also
// stands in for a file that cannot be found or played.
#include <QString>

class ISound {
public:
    virtual ~ISound() = default;
    virtual void playAsyncNoStop(const QString& file) = 0;
    // The same for a sound that must not be lost: played once the sound still playing has ended
    // (the last such request waits; a later one takes its place).
    virtual void playWhenFree(const QString& file) = 0;
    virtual void beep() = 0;
    // Whether `file` (a path, or a bare name looked up as a sound is) is there and a WAV file the
    // player can play: a file that is not is played as the beep.
    virtual bool canPlay(const QString& file) const = 0;
};
