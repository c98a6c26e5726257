#pragma once
// AddTargetDialog (the design's TForm3): four octets and an optional name. It keeps its values
// between showings. The main window decides what is a duplicate; the dialog only shows the blinking
// message in its group's caption.
#include <QDialog>
#include <QTimer>
#include <functional>
#include <optional>

#include "settings/target_list_file.h"

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
    // Shows the dialog until the user cancels or enters an address that is no duplicate: a
    // duplicate beeps, blinks its message and shows the dialog again with what was entered.
    // Null when cancelled.
    std::optional<Target> AskForNewTarget(const std::function<bool(const QString&)>& isDuplicate,
                                          const std::function<void()>& beep);
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
