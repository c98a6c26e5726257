// The module pingrove-sound.so: the effect player on Qt Multimedia's QSoundEffect, made for short
// event sounds (it decodes PCM WAV and plays without blocking).
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

#include "platform/effect_player.h"

namespace {

// A new effect object per sound: one object given new sources repeatedly is known to crash
// Qt 6.4.
class SoundEffectPlayer : public IEffectPlayer {
public:
    ~SoundEffectPlayer() override { delete current_; }

    void play(const QString& path, std::function<void()> failed) override {
        if (current_) current_->deleteLater();
        auto* effect = new QSoundEffect;
        current_ = effect;
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [this, effect, failed] {
            if (effect->status() != QSoundEffect::Error) return;
            if (current_ == effect) current_ = nullptr;
            effect->deleteLater();
            failed();
        });
        effect->setSource(QUrl::fromLocalFile(path));
        effect->play();
    }

    bool busy() const override {
        return current_ && (current_->isPlaying() || current_->status() == QSoundEffect::Loading);
    }

private:
    QPointer<QSoundEffect> current_;
};

}  // namespace

extern "C" Q_DECL_EXPORT IEffectPlayer* pingrove_create_effect_player() {
    return new SoundEffectPlayer;
}
