#include "dialogs/add_target_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QValidator>
#include <algorithm>

#include "dialogs/dialog_parts.h"
#include "dialogs/spin_edit.h"
#include "settings/cp932.h"

namespace {

// Only what code page 932 can hold may be typed, so nothing is lost or changed when the list
// file is written.
class Cp932Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return cp932::canEncode(input) ? Acceptable : Invalid;
    }
};

QLabel* MakeLabel(const QString& text, QWidget* parent, int x, int y, const char* name) {
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->move(x, y);
    l->adjustSize();
    return l;
}

}  // namespace

AddTargetDialog::AddTargetDialog(QWidget* parent) : QDialog(parent) {
    makeFixedDialog(this, "Form3", QSize(343, 183));
    okButton_ = makeButton(this, "Button1", QStringLiteral("ＯＫ"), QRect(168, 152, 75, 25));
    cancelButton_ =
        makeButton(this, "Button2", QStringLiteral("キャンセル"), QRect(248, 152, 75, 25));
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    group_ = new QGroupBox(this);
    group_->setObjectName("GroupBox1");
    group_->setGeometry(16, 16, 313, 129);
    MakeLabel(QStringLiteral("偵察先ＩＰアドレス　（例：127.0.0.1）"), group_, 16, 24, "Label1");
    const int lefts[4] = {16, 72, 127, 183};
    for (int i = 0; i < 4; ++i) {
        octets_[i] = new SpinEdit(0, 255, group_);
        octets_[i]->setObjectName(QStringLiteral("CSpinEdit%1").arg(i + 1));
        octets_[i]->setGeometry(lefts[i], 40, 45, 21);
        octets_[i]->setAccessibleName(QStringLiteral("偵察先ＩＰアドレス　第%1部").arg(i + 1));
        octets_[i]->onOtherText = [this, i](const QString& text) { otherText(i, text); };
    }
    const char* dotNames[3] = {"Label3", "Label4", "Label5"};
    for (int i = 0; i < 3; ++i)
        MakeLabel(QStringLiteral("．"), group_, lefts[i] + 45, 48, dotNames[i]);
    MakeLabel(QStringLiteral("偵察先名　（例：自分のパソコン）  ＊省略可"), group_, 16, 75,
              "Label2");
    nameEdit_ = new QLineEdit(group_);
    nameEdit_->setObjectName("Edit2");
    nameEdit_->setGeometry(16, 88, 289, 20);
    nameEdit_->setValidator(new Cp932Validator(nameEdit_));
    nameEdit_->setAccessibleName(QStringLiteral("偵察先名"));

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, octets_[0]);
    for (int i = 0; i < 3; ++i) setTabOrder(octets_[i], octets_[i + 1]);
    setTabOrder(octets_[3], nameEdit_);

    blinkTimer_ = new QTimer(this);
    blinkTimer_->setObjectName("Timer1");
    blinkTimer_->setInterval(700);
    connect(blinkTimer_, &QTimer::timeout, this, &AddTargetDialog::blink);
}

QString AddTargetDialog::addressText() const {
    QStringList parts;
    for (SpinEdit* s : octets_) parts << QString::number(s->number());
    return parts.join(QLatin1Char('.'));
}

void AddTargetDialog::otherText(int field, const QString& text) {
    QString t = text;
    t.replace(QChar(0xFF0E), QLatin1Char('.')).replace(QChar(0x3002), QLatin1Char('.'));
    // Full-width digits, as a Japanese input method may give them, are digits too.
    for (QChar& c : t)
        if (c.unicode() >= 0xFF10 && c.unicode() <= 0xFF19) c = QChar(c.unicode() - 0xFF10 + '0');
    const QStringList parts = t.split(QLatin1Char('.'));
    const auto octet = [](const QString& p) {
        bool ok = false;
        const int v = p.toInt(&ok);
        return ok && !p.isEmpty() && p.size() <= 3 && v >= 0 && v <= 255 ? v : -1;
    };
    // After the refused keystroke has been handled: the field keeps what it had meanwhile.
    if (parts.size() == 4 &&
        std::all_of(parts.begin(), parts.end(), [&](const QString& p) { return octet(p) >= 0; })) {
        QTimer::singleShot(0, this, [this, parts, octet] {
            for (int i = 0; i < 4; ++i) octets_[i]->setValue(octet(parts[i]));
            octets_[3]->setFocus();
            octets_[3]->selectAll();
        });
    } else if (parts.size() == 2 && parts[1].isEmpty() && field < 3) {
        QTimer::singleShot(0, this, [this, field] {
            octets_[field + 1]->setFocus();
            octets_[field + 1]->selectAll();
        });
    }
}

void AddTargetDialog::showDuplicate(const QString& address) {
    messageShown_ = false;
    if (!blinkTimer_->isActive()) blinkTimer_->start();
    duplicateAddress_ = address;
}

void AddTargetDialog::endRun() {
    messageShown_ = false;
    blinkTimer_->stop();
    group_->setTitle(QString());
}

void AddTargetDialog::blink() {
    group_->setTitle(
        messageShown_ ? QString() : duplicateAddress_ + QStringLiteral("は既に登録されています。"));
    messageShown_ = !messageShown_;
}

std::optional<NewTarget> AddTargetDialog::ask(
    const std::function<bool(const QString&)>& isDuplicate, const std::function<void()>& beep) {
    std::optional<NewTarget> added;
    while (exec() == QDialog::Accepted) {
        const QString address = addressText();
        if (isDuplicate(address)) {
            beep();
            showDuplicate(address);
            continue;  // the dialog comes back with what the user entered
        }
        added = NewTarget{address, nameEdit_->text()};
        break;
    }
    endRun();
    return added;
}
