#include "platform/qt_sound.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

QtSound::QtSound(QStringList searchDirs, QObject* parent)
    : QObject(parent), searchDirs_(std::move(searchDirs)) {}

QString QtSound::resolve(const QString& file) const {
    if (file.isEmpty()) return {};
    QFileInfo info(file);
    if (info.isAbsolute() || file.contains(QLatin1Char('/')))
        return info.isFile() ? info.absoluteFilePath() : QString();
    for (const QString& dir : searchDirs_) {
        QFileInfo candidate(QDir(dir).filePath(file));
        if (candidate.isFile()) return candidate.absoluteFilePath();
    }
    return {};
}

bool QtSound::busy() const {
    return current_ && (current_->isPlaying() || current_->status() == QSoundEffect::Loading);
}

void QtSound::playAsyncNoStop(const QString& file) {
    if (busy()) return;
    if (current_) current_->deleteLater();
    QString path = resolve(file);
    if (path.isEmpty()) {
        beep();
        return;
    }
    auto* effect = new QSoundEffect(this);
    current_ = effect;
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect] {
        if (effect->status() == QSoundEffect::Error) {
            if (current_ == effect) current_ = nullptr;
            effect->deleteLater();
            beep();
        }
    });
    effect->setSource(QUrl::fromLocalFile(path));
    effect->play();
}

void QtSound::beep() {
    QApplication::beep();
}
