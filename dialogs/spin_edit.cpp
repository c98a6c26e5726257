#include "dialogs/spin_edit.h"

#include <QLineEdit>
#include <algorithm>
#include <optional>

namespace {

// The number a text of digits (with an optional sign) stands for, brought into [lo, hi]; null
// for any other text. Full-width digits, as a Japanese input method gives them, are digits too.
// Digits beyond what an integer holds still count as "very large".
std::optional<int> Clamped(const QString& text, int lo, int hi) {
    QString t = text.trimmed();
    for (QChar& c : t)
        if (c.unicode() >= u'０' && c.unicode() <= u'９') c = QChar(c.unicode() - u'０' + u'0');
    qsizetype i = (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) ? 1 : 0;
    if (i == t.size()) return std::nullopt;
    for (qsizetype k = i; k < t.size(); ++k)
        if (t[k].unicode() < '0' || t[k].unicode() > '9') return std::nullopt;
    bool ok = false;
    const qlonglong v = t.toLongLong(&ok, 10);
    if (!ok) return t.startsWith(QLatin1Char('-')) ? lo : hi;
    return static_cast<int>(std::clamp<qlonglong>(v, lo, hi));
}

}  // namespace

SpinEdit::SpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setValue(minimum);
}

QValidator::State SpinEdit::validate(QString& text, int&) const {
    const QString t = text.trimmed();
    if (t.isEmpty() || t == QLatin1String("-") || t == QLatin1String("+"))
        return QValidator::Intermediate;
    if (Clamped(t, minimum(), maximum())) return QValidator::Acceptable;
    if (onOtherText) onOtherText(t);
    return QValidator::Invalid;
}

int SpinEdit::valueFromText(const QString& text) const {
    return Clamped(text, minimum(), maximum()).value_or(minimum());
}

int SpinEdit::number() {
    const std::optional<int> v = Clamped(lineEdit()->text(), minimum(), maximum());
    const int value = v.value_or(minimum());
    setValue(value);
    lineEdit()->setText(QString::number(value));
    return value;
}
