#pragma once
// AddTargetDialog: four octets and an optional name. It keeps its values between showings. The
// main window decides what is a duplicate; the dialog only shows the blinking message in its
// group's caption.
//
// Where the design's names are found (they stay as object names):
//   TForm3 AddTargetDialog (Form3)   GroupBox1 group_   CSpinEdit1..4 octets_   Edit2 nameEdit_
//   Button1 okButton_   Button2 cancelButton_   Timer1 blinkTimer_   Timer1Timer blink
//   DuplicateAddress duplicateAddress_   MessageShown messageShown_
#include <QDialog>
#include <array>
#include <functional>
#include <optional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QTimer;
class SpinEdit;

// What the user enters: the address without leading zeros and the name, perhaps empty.
struct NewTarget {
    QString address;
    QString name;
};

class AddTargetDialog : public QDialog {
    Q_OBJECT
public:
    explicit AddTargetDialog(QWidget* parent = nullptr);

    // Shows the dialog until the user cancels or enters an address that is no duplicate: a
    // duplicate beeps, blinks its message every 700 ms and shows the dialog again with what was
    // entered. Nothing when cancelled.
    std::optional<NewTarget> ask(const std::function<bool(const QString&)>& isDuplicate,
                                 const std::function<void()>& beep);

private:
    // The four octets joined by ".", without leading zeros.
    QString addressText() const;
    // What an octet field makes of text that is no number: a dot typed after its digits (also
    // "．" and "。" from a Japanese input method) moves on to the next field, as people type
    // addresses; a whole dotted address (pasted) fills the four fields.
    void otherText(int field, const QString& text);
    // Remembers the refused address and starts the blink.
    void showDuplicate(const QString& address);
    // The end of every run: no message, blink stopped.
    void endRun();
    void blink();

    QGroupBox* group_;
    std::array<SpinEdit*, 4> octets_;
    QLineEdit* nameEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QTimer* blinkTimer_;
    QString duplicateAddress_;
    bool messageShown_ = false;
};
