#pragma once
// Event sounds: a WAV file played in the background that never cuts off a sound of the program that
// is still playing (a request meanwhile is dropped), and the platform's alert beep, which also
// stands in for a file that cannot be found or played.
#include <QString>

class ISound {
public:
    virtual ~ISound() = default;
    virtual void playAsyncNoStop(const QString& file) = 0;
    virtual void beep() = 0;
};
