#pragma once
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "platform/effect_player.h"
#include "platform/sound.h"

// Plays through the effect player of the module pingrove-sound.so, found in the first of
// `moduleDirs` that has it and loaded when the first sound is asked for; without it every sound
// is the beep. Bare names of sounds are looked up in `searchDirs`, in order.
class QtSound : public QObject, public ISound {
    Q_OBJECT
public:
    QtSound(QStringList searchDirs, const QStringList& moduleDirs, QObject* parent = nullptr);
    ~QtSound() override;
    void playAsyncNoStop(const QString& file) override;
    void playWhenFree(const QString& file) override;
    void beep() override;
    bool canPlay(const QString& file) const override;
    QString resolve(const QString& file) const;
    bool busy() const;
    // Whether the sound system has been loaded (by the first sound).
    bool playerLoaded() const { return player_ != nullptr; }

private:
    IEffectPlayer* player();

    QStringList searchDirs_;
    QString modulePath_;
    std::unique_ptr<IEffectPlayer> player_;
    bool playerMissing_ = false;
    QString waiting_;  // for playWhenFree
    QTimer waitTimer_;
};
