#include "platform/profile_file.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace {

struct Lines {
    QStringList lines;
    QString eol = QStringLiteral("\n");
};

Lines ReadLines(const QString& path) {
    Lines out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return out;
    QString text = QString::fromUtf8(f.readAll());
    if (text.contains(QLatin1String("\r\n"))) out.eol = QStringLiteral("\r\n");
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    out.lines = text.split(QLatin1Char('\n'));
    if (!out.lines.isEmpty() && out.lines.last().isEmpty()) out.lines.removeLast();
    return out;
}

// The section name of a "[name]" line, or null.
QString SectionOf(const QString& line) {
    QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return QString();
}

bool IsKeyLine(const QString& line, const QString& key, QString* value) {
    qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0) return false;
    if (line.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0) return false;
    if (value) *value = line.mid(eq + 1).trimmed();
    return true;
}

bool IsComment(const QString& line) {
    QString t = line.trimmed();
    return t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

}  // namespace

QString IniProfileFile::ReadString(const QString& section, const QString& key, const QString& def) {
    Lines file = ReadLines(path_);
    bool inSection = false;
    for (const QString& line : file.lines) {
        QString s = SectionOf(line);
        if (!s.isNull()) {
            inSection = s.compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        QString value;
        if (inSection && !IsComment(line) && IsKeyLine(line, key, &value)) return value.left(2047);
    }
    return def;
}

bool IniProfileFile::WriteStrings(const QString& section,
                                  const std::vector<std::pair<QString, QString>>& values) {
    Lines file = ReadLines(path_);
    QStringList& lines = file.lines;
    qsizetype begin = -1, end = lines.size();  // the section's lines are (begin, end)
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString s = SectionOf(lines[i]);
        if (s.isNull()) continue;
        if (begin >= 0) {
            end = i;
            break;
        }
        if (s.compare(section, Qt::CaseInsensitive) == 0) begin = i;
    }
    if (begin < 0) {
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        begin = lines.size() - 1;
        end = lines.size();
    }
    for (const auto& [key, value] : values) {
        const QString line = key + QLatin1Char('=') + value;
        bool replaced = false;
        for (qsizetype i = begin + 1; i < end && !replaced; ++i) {
            if (!IsComment(lines[i]) && IsKeyLine(lines[i], key, nullptr)) {
                lines[i] = line;
                replaced = true;
            }
        }
        if (replaced) continue;
        qsizetype at = end;  // after the section's last non-blank line
        while (at > begin + 1 && lines[at - 1].trimmed().isEmpty()) --at;
        lines.insert(at, line);
        ++end;
    }
    QSaveFile out(path_);
    if (!out.open(QIODevice::WriteOnly)) return false;
    QByteArray bytes = (lines.join(file.eol) + file.eol).toUtf8();
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
