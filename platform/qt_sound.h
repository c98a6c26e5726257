#pragma once
#include <QObject>
#include <QPointer>
#include <QStringList>

#include "platform/sound.h"

class QSoundEffect;

// Plays through Qt Multimedia's QSoundEffect, made for short event sounds: it decodes PCM WAV and
// plays without blocking. A new effect object per request (one object given new sources
// repeatedly is known to crash Qt 6.4). Bare names are looked up in `searchDirs`, in order.
class QtSound : public QObject, public ISound {
    Q_OBJECT
public:
    explicit QtSound(QStringList searchDirs, QObject* parent = nullptr);
    void playAsyncNoStop(const QString& file) override;
    void beep() override;
    QString resolve(const QString& file) const;
    bool busy() const;

private:
    QStringList searchDirs_;
    QPointer<QSoundEffect> current_;
};
