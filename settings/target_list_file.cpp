#include "settings/target_list_file.h"

#include <QFile>

#include "platform/cp932.h"
#include "table/mlb2.h"

namespace {

QString Text(const std::string* value) {
    return value ? cp932::Decode(*value) : QString();
}

std::string Bytes(const QString& text, const std::optional<std::string>& original) {
    if (original && cp932::Decode(*original) == text) return *original;
    if (auto b = cp932::Encode(text)) return *b;
    return text.toUtf8().toStdString();  // no code page 932 form: better its UTF-8 than nothing
}

}  // namespace

std::vector<TTarget> TTargetListFile::Load() const {
    TMlb2 t;
    t.Clear();
    t.LoadFromFile(QFile::encodeName(path_).toStdString());
    std::vector<TTarget> out;
    t.MoveTo(1);
    while (!t.Eof()) {
        const std::string* ip = t.GetValue("IP");
        const std::string* name = t.GetValue("Name");
        TTarget target{Text(ip), Text(name), std::nullopt, std::nullopt};
        if (ip) target.ipBytes = *ip;
        if (name) target.nameBytes = *name;
        out.push_back(std::move(target));
        t.Next();
    }
    return out;
}

bool TTargetListFile::Save(const std::vector<TTarget>& targets) const {
    TMlb2 t;
    t.Clear();
    t.AddField("IP");
    t.AddField("Name");
    for (const TTarget& target : targets) {
        t.Append();
        t.Next();
        t.SetValue("IP", Bytes(target.ip, target.ipBytes));
        t.SetValue("Name", Bytes(target.name, target.nameBytes));
    }
    return t.SaveToFile(QFile::encodeName(path_).toStdString());
}
