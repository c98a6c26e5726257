#pragma once
// AddTargetDialog (the design's TForm3): four octets and an optional name. It keeps its values
// between showings. The main window decides what is a duplicate; the dialog only shows the blinking
// message in its group's caption.
#include <QDialog>
#include <QTimer>

class QGroupBox;
class QLineEdit;
class QPushButton;
class SpinEdit;

class AddTargetDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddTargetDialog(QWidget* parent = nullptr);

    // The four octets joined by ".", without leading zeros.
    QString AddressText();
    QString NameText() const;
    // Remembers the refused address and starts the 700 ms blink.
    void ShowDuplicate(const QString& address);
    // The end of every run: no message, blink stopped.
    void EndRun();
    void Timer1Timer();

    QString DuplicateAddress;
    bool MessageShown = false;

    QGroupBox* GroupBox1;
    SpinEdit* CSpinEdit[4];
    QLineEdit* Edit2;
    QPushButton* Button1;
    QPushButton* Button2;
    QTimer Timer1;
};
