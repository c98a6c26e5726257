#include "settings/spin_edit.h"

#include <QLineEdit>

TSpinEdit::TSpinEdit(int minimum, int maximum, QWidget* parent) : QSpinBox(parent) {
    setRange(minimum, maximum);
    setValue(minimum);
}

int TSpinEdit::Value() {
    bool ok = false;
    int v = lineEdit()->text().trimmed().toInt(&ok, 10);
    if (!ok) {
        setValue(minimum());
        lineEdit()->setText(QString::number(minimum()));
        return minimum();
    }
    v = std::clamp(v, minimum(), maximum());
    setValue(v);
    return v;
}
