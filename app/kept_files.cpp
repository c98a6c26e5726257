#include "app/kept_files.h"

#include <QStringList>
#include <stdexcept>

#include "app/status_texts.h"

QString KeptFiles::notReadMessage() const {
    QStringList lines;
    const texts::ReadLimits settingsLimits{KeptFile::kSizeLimit, 0,
                                           settings_.readPath() == settings_.writePath()};
    const texts::ReadLimits listLimits{TargetListFile::kSizeLimit, TargetListFile::kRowLimit, true};
    for (const QString& line :
         {texts::notRead(settings_.startResult(), settings_.readPath(), settingsLimits),
          texts::notRead(targetList_.startResult(), targetList_.path(), listLimits)})
        if (!line.isEmpty()) lines << line;
    return lines.join(QLatin1Char('\n'));
}

void KeptFiles::save(const WindowSettings& settings, const std::vector<Target>& targets) {
    // Both files are tried, whichever fails: one that cannot be written must not cost the other
    // its save. Every failure is told in one message.
    const QString cannotWrite = QStringLiteral("%1 に書き込めません");
    QStringList failed;
    if (!settings_.save(settings)) failed << cannotWrite.arg(settings_.writePath());
    if (!targetList_.save(targets)) failed << cannotWrite.arg(targetList_.failedPath());
    if (!failed.isEmpty()) throw std::runtime_error(failed.join(QLatin1Char('\n')).toStdString());
}

QString KeptFiles::savedNote() const {
    QStringList notes;
    if (const QString moved = settings_.movedAsidePath(); !moved.isEmpty())
        notes << QStringLiteral("読み込めなかった元の設定ファイルを %1 に残しました。").arg(moved);
    if (targetList_.backupWritten())
        notes << (targetList_.startResult() == ReadResult::Read
                      ? QStringLiteral("保存できない内容があったため、元の偵察先リストを %1 に"
                                       "残しました。")
                      : QStringLiteral("読み込めなかった元の偵察先リストを %1 に残しました。"))
                     .arg(targetList_.backupPath());
    return notes.join(QLatin1Char('\n'));
}
