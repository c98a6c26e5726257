#pragma once
// A number field with up/down buttons. Its value is read from its text: text that is no integer
// reads as the minimum and the field shows the minimum from then on; a number outside the range,
// typed or read, is brought to the nearest bound (999 in an octet is 255, 0 as the interval is 1).
#include <QSpinBox>
#include <functional>

class SpinEdit : public QSpinBox {
    Q_OBJECT
public:
    SpinEdit(int minimum, int maximum, QWidget* parent = nullptr);
    int number();
    // Text that is no number, before it is refused (a typed "." after the digits, a pasted
    // address): the owner may make something of it.
    std::function<void(const QString& text)> onOtherText;

protected:
    // Any number may be typed, also one outside the range; QSpinBox alone refuses the keystroke
    // that leaves the range, or puts the old value back when the field loses the focus.
    QValidator::State validate(QString& text, int& pos) const override;
    int valueFromText(const QString& text) const override;
};
