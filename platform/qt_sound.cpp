#include "platform/qt_sound.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>

#include "platform/wave_format.h"

QtSound::QtSound(QStringList searchDirs, const QStringList& moduleDirs, QObject* parent)
    : QObject(parent), searchDirs_(std::move(searchDirs)) {
    // A short event sound ends within a second or two; asking ten times a second costs nothing.
    waitTimer_.setInterval(100);
    connect(&waitTimer_, &QTimer::timeout, this, [this] {
        if (busy()) return;
        waitTimer_.stop();
        playAsyncNoStop(std::exchange(waiting_, QString()));
    });
    // Found now, loaded at the first sound.
    for (const QString& dir : moduleDirs) {
        const QFileInfo module(QDir(dir).filePath(QString::fromLatin1(kEffectPlayerModule)));
        if (module.isFile()) {
            modulePath_ = module.absoluteFilePath();
            break;
        }
    }
}

QtSound::~QtSound() = default;

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

bool QtSound::canPlay(const QString& file) const {
    const QString path = resolve(file);
    if (path.isEmpty()) return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    // The format chunk comes early; a long list of tags before it is read past up to 64 KB.
    const QByteArray head = f.read(64 * 1024);
    return isPlayableWave(std::string_view(head.constData(), static_cast<size_t>(head.size())));
}

bool QtSound::busy() const {
    return player_ && player_->busy();
}

IEffectPlayer* QtSound::player() {
    if (player_ || playerMissing_) return player_.get();
    // Never unloaded: the sound system keeps threads of its own.
    QLibrary module(modulePath_);
    if (auto create = reinterpret_cast<CreateEffectPlayer>(module.resolve(kCreateEffectPlayer)))
        player_.reset(create());
    playerMissing_ = !player_;
    return player_.get();
}

void QtSound::playAsyncNoStop(const QString& file) {
    if (busy()) return;
    const QString path = resolve(file);
    if (path.isEmpty() || !player()) {
        beep();
        return;
    }
    player_->play(path, [this] { beep(); });
}

void QtSound::playWhenFree(const QString& file) {
    if (!busy()) {
        playAsyncNoStop(file);
        return;
    }
    waiting_ = file;
    waitTimer_.start();
}

void QtSound::beep() {
    QApplication::beep();
}
