#include "settings/settings_file.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

#include "files/atomic_file.h"
#include "settings/profile_file.h"

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

// A program under /usr belongs to the system, whoever runs it: a file written beside it would
// outlive the package and hand one user's settings to every other.
bool Installed(const QString& folder) {
    return folder == QLatin1String("/usr") || folder.startsWith(QLatin1String("/usr/"));
}

}  // namespace

SettingsFile::SettingsFile(const QString& executable) {
    QFileInfo exe(executable);
    QString name = exe.fileName();
    qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0) name.truncate(dot);
    name += QStringLiteral(".INI");
    const QString beside = exe.absolutePath() + "/" + name;
    if (!Installed(exe.absolutePath()) && FolderWritable(exe.absolutePath())) {
        readPath_ = writePath_ = beside;
    } else {
        perUser_ = true;
        writePath_ = UserConfigPath(name);
        readPath_ = QFileInfo::exists(writePath_) ? writePath_ : beside;
    }
    written_ = KeptFile(QFile::encodeName(writePath_).toStdString());
}

int SettingsFile::parseInteger(const QString& text, int def) {
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

bool SettingsFile::parseBool(const QString& text, bool def) {
    return parseInteger(text, def ? 1 : 0) != 0;
}

WindowSettings SettingsFile::load() {
    const FileRead file =
        readPath_ == writePath_
            ? written_.load()
            : readRegularFile(QFile::encodeName(readPath_).toStdString(), KeptFile::kSizeLimit);
    startResult_ = file.result;
    WindowSettings s;
    std::vector<QString> keys = {"Left",  "Top",  "Width", "Height", "WindowState",
                                 "MIN",   "CBX1", "CBX2",  "DF",     "CBX3",
                                 "FAILS", "CBX4", "CBX5",  "DF2",    "LCShow"};
    for (int i = 0; i < kAllColumnCount; ++i) keys.push_back(QStringLiteral("LCWidth%1").arg(i));
    const std::map<QString, QString> values = IniProfileFile::valuesIn(file.data, kSection, keys);
    auto text = [&](const QString& key, const QString& def) {
        const auto v = values.find(key);
        return v == values.end() ? def : v->second;
    };
    auto integer = [&](const QString& key, int def) { return parseInteger(text(key, {}), def); };
    s.left = integer("Left", s.left);
    s.top = integer("Top", s.top);
    s.width = integer("Width", s.width);
    s.height = integer("Height", s.height);
    s.windowState = integer("WindowState", s.windowState);
    for (int i = 0; i < kAllColumnCount; ++i)
        s.columnWidths[i] = integer(QStringLiteral("LCWidth%1").arg(i), s.columnWidths[i]);
    s.shownColumns = parseShownColumns(text(QStringLiteral("LCShow"), {}));
    Options& o = s.options;
    o.intervalText = text(QStringLiteral("MIN"), o.intervalText);
    o.soundOn = parseBool(text(QStringLiteral("CBX1"), {}), o.soundOn);
    o.autoScanOn = parseBool(text(QStringLiteral("CBX2"), {}), o.autoScanOn);
    o.notifyOn = parseBool(text(QStringLiteral("CBX3"), {}), o.notifyOn);
    o.soundFile = text(QStringLiteral("DF"), o.soundFile);
    o.failsToConfirm = std::clamp(integer(QStringLiteral("FAILS"), o.failsToConfirm),
                                  Options::kMinFails, Options::kMaxFails);
    o.allAtOnce = parseBool(text(QStringLiteral("CBX4"), {}), o.allAtOnce);
    o.offlineSoundOn = parseBool(text(QStringLiteral("CBX5"), {}), o.offlineSoundOn);
    o.offlineSoundFile = text(QStringLiteral("DF2"), o.offlineSoundFile);
    return s;
}

std::vector<int> SettingsFile::parseShownColumns(const QString& text) {
    std::vector<int> columns;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int c = part.trimmed().toInt(&ok, 10);
        if (ok && c >= kFirstFactColumn && c < kAllColumnCount) columns.push_back(c);
    }
    std::sort(columns.begin(), columns.end());
    columns.erase(std::unique(columns.begin(), columns.end()), columns.end());
    return columns;
}

QString SettingsFile::shownColumnsText(const std::vector<int>& columns) {
    QStringList parts;
    for (int c : columns) parts.append(QString::number(c));
    return parts.join(QLatin1Char(','));
}

QString SettingsFile::movedAsidePath() const {
    return QFile::decodeName(written_.backup().c_str());
}

bool SettingsFile::save(const WindowSettings& s) {
    if (!written_.prepareReplacement()) return false;
    // The per-user folder, the first time.
    makePrivateFolders(QFile::encodeName(QFileInfo(writePath_).absolutePath()).toStdString());
    std::vector<std::pair<QString, QString>> values = {
        {"Left", QString::number(s.left)},
        {"Top", QString::number(s.top)},
        {"Width", QString::number(s.width)},
        {"Height", QString::number(s.height)},
        {"WindowState", QString::number(s.windowState)},
    };
    for (int i = 0; i < kColumnCount; ++i)
        values.emplace_back(QStringLiteral("LCWidth%1").arg(i), QString::number(s.columnWidths[i]));
    values.emplace_back("MIN", s.options.intervalText);
    values.emplace_back("CBX1", s.options.soundOn ? "1" : "0");
    values.emplace_back("CBX2", s.options.autoScanOn ? "1" : "0");
    values.emplace_back("DF", s.options.soundFile);
    values.emplace_back("CBX3", s.options.notifyOn ? "1" : "0");
    values.emplace_back("FAILS", QString::number(s.options.failsToConfirm));
    values.emplace_back("CBX4", s.options.allAtOnce ? "1" : "0");
    values.emplace_back("CBX5", s.options.offlineSoundOn ? "1" : "0");
    values.emplace_back("DF2", s.options.offlineSoundFile);
    values.emplace_back("LCShow", shownColumnsText(s.shownColumns));
    for (int i = kColumnCount; i < kAllColumnCount; ++i)
        values.emplace_back(QStringLiteral("LCWidth%1").arg(i), QString::number(s.columnWidths[i]));
    return IniProfileFile(writePath_).writeStrings(kSection, values);
}
