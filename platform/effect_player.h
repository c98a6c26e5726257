#pragma once
// The part of the sounds that needs the sound system (Qt Multimedia, and through it the sound
// server's client library). It is built as a module of its own, pingrove-sound.so, and loaded at
// the first sound: a start pays neither for loading those libraries nor for the sound server.
#include <QString>
#include <functional>

class IEffectPlayer {
public:
    virtual ~IEffectPlayer() = default;
    // Starts the WAV file in the background; `failed` runs on this thread if it cannot be played.
    virtual void play(const QString& path, std::function<void()> failed) = 0;
    // Whether the last sound is still loading or playing.
    virtual bool busy() const = 0;
};

// The module's file name and its one entry point, which makes a player.
inline constexpr char kEffectPlayerModule[] = "pingrove-sound.so";
inline constexpr char kCreateEffectPlayer[] = "pingrove_create_effect_player";
using CreateEffectPlayer = IEffectPlayer* (*)();
