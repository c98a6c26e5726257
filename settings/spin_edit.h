#pragma once
// A number field with up/down buttons. Its value is read from its text: text that is no integer
// reads as the minimum and the field shows the minimum from then on; a number outside the range is
// brought to the nearest bound.
#include <QSpinBox>

class TSpinEdit : public QSpinBox {
    Q_OBJECT
public:
    TSpinEdit(int minimum, int maximum, QWidget* parent = nullptr);
    int Value();
};
