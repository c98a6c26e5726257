#include "settings/settings_file.h"

#include <unistd.h>

#include <QDir>
#include <QFileInfo>

#include "platform/profile_file.h"

namespace {

const QString kSection = QStringLiteral("Form");

QString UserConfigPath(const QString& fileName) {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + "/.config";
    return base + "/pingrove/" + fileName;
}

bool FolderWritable(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
}

}  // namespace

TSettingsFile::TSettingsFile(const QString& executable) {
    QFileInfo exe(executable);
    QString name = exe.fileName();
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    name += QStringLiteral(".INI");
    const QString beside = exe.absolutePath() + "/" + name;
    if (FolderWritable(exe.absolutePath())) {
        readPath_ = writePath_ = beside;
    } else {
        writePath_ = UserConfigPath(name);
        readPath_ = QFileInfo::exists(writePath_) ? writePath_ : beside;
    }
}

int TSettingsFile::ParseInteger(const QString& text, int def) {
    bool ok = false;
    int v;
    if (text.size() > 2 && text[0] == QLatin1Char('0') &&
        (text[1] == QLatin1Char('x') || text[1] == QLatin1Char('X'))) {
        v = static_cast<int>(text.mid(2).toUInt(&ok, 16));
    } else {
        v = text.toInt(&ok, 10);
    }
    return ok ? v : def;
}

bool TSettingsFile::ParseBool(const QString& text, bool def) {
    return ParseInteger(text, def ? 1 : 0) != 0;
}

TFormSettings TSettingsFile::Load() const {
    IniProfileFile f(readPath_);
    TFormSettings s;
    auto integer = [&](const QString& key, int def) {
        return ParseInteger(f.ReadString(kSection, key, QString()), def);
    };
    s.Left = integer("Left", s.Left);
    s.Top = integer("Top", s.Top);
    s.Width = integer("Width", s.Width);
    s.Height = integer("Height", s.Height);
    s.WindowState = integer("WindowState", s.WindowState);
    for (int i = 0; i < 5; ++i)
        s.LCWidth[i] = integer(QStringLiteral("LCWidth%1").arg(i), s.LCWidth[i]);
    s.MIN = f.ReadString(kSection, QStringLiteral("MIN"), s.MIN);
    s.CBX1 = ParseBool(f.ReadString(kSection, QStringLiteral("CBX1"), QString()), s.CBX1);
    s.CBX2 = ParseBool(f.ReadString(kSection, QStringLiteral("CBX2"), QString()), s.CBX2);
    s.DF = f.ReadString(kSection, QStringLiteral("DF"), s.DF);
    return s;
}

bool TSettingsFile::Save(const TFormSettings& s) const {
    QDir().mkpath(QFileInfo(writePath_).absolutePath());
    std::vector<std::pair<QString, QString>> values = {
        {"Left", QString::number(s.Left)},
        {"Top", QString::number(s.Top)},
        {"Width", QString::number(s.Width)},
        {"Height", QString::number(s.Height)},
        {"WindowState", QString::number(s.WindowState)},
    };
    for (int i = 0; i < 5; ++i)
        values.emplace_back(QStringLiteral("LCWidth%1").arg(i), QString::number(s.LCWidth[i]));
    values.emplace_back("MIN", s.MIN);
    values.emplace_back("CBX1", s.CBX1 ? "1" : "0");
    values.emplace_back("CBX2", s.CBX2 ? "1" : "0");
    values.emplace_back("DF", s.DF);
    return IniProfileFile(writePath_).WriteStrings(kSection, values);
}
