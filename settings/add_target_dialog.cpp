#include "settings/add_target_dialog.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "platform/cp932.h"
#include "platform/dialog_parts.h"
#include "settings/spin_edit.h"

namespace {

// Only what code page 932 can hold may be typed, so nothing is lost or changed when the list
// file is written.
class Cp932Validator : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        return cp932::CanEncode(input) ? Acceptable : Invalid;
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
    MakeFixedDialog(this, "Form3", QSize(343, 183));
    Button1 = MakeButton(this, "Button1", QStringLiteral("ＯＫ"), QRect(168, 152, 75, 25));
    Button2 = MakeButton(this, "Button2", QStringLiteral("キャンセル"), QRect(248, 152, 75, 25));
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setGeometry(16, 16, 313, 129);
    MakeLabel(QStringLiteral("偵察先ＩＰアドレス　（例：127.0.0.1）"), GroupBox1, 16, 24, "Label1");
    const int lefts[4] = {16, 72, 127, 183};
    for (int i = 0; i < 4; ++i) {
        CSpinEdit[i] = new SpinEdit(0, 255, GroupBox1);
        CSpinEdit[i]->setObjectName(QStringLiteral("CSpinEdit%1").arg(i + 1));
        CSpinEdit[i]->setGeometry(lefts[i], 40, 45, 21);
        CSpinEdit[i]->setAccessibleName(QStringLiteral("偵察先ＩＰアドレス　第%1部").arg(i + 1));
    }
    const char* dotNames[3] = {"Label3", "Label4", "Label5"};
    for (int i = 0; i < 3; ++i)
        MakeLabel(QStringLiteral("．"), GroupBox1, lefts[i] + 45, 48, dotNames[i]);
    MakeLabel(QStringLiteral("偵察先名　（例：自分のパソコン）  ＊省略可"), GroupBox1, 16, 75,
              "Label2");
    Edit2 = new QLineEdit(GroupBox1);
    Edit2->setObjectName("Edit2");
    Edit2->setGeometry(16, 88, 289, 20);
    Edit2->setValidator(new Cp932Validator(Edit2));
    Edit2->setAccessibleName(QStringLiteral("偵察先名"));

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, CSpinEdit[0]);
    for (int i = 0; i < 3; ++i) setTabOrder(CSpinEdit[i], CSpinEdit[i + 1]);
    setTabOrder(CSpinEdit[3], Edit2);

    Timer1.setObjectName("Timer1");
    Timer1.setInterval(700);
    connect(&Timer1, &QTimer::timeout, this, &AddTargetDialog::Timer1Timer);
}

QString AddTargetDialog::AddressText() {
    QStringList parts;
    for (SpinEdit* s : CSpinEdit) parts << QString::number(s->Value());
    return parts.join(QLatin1Char('.'));
}

QString AddTargetDialog::NameText() const {
    return Edit2->text();
}

void AddTargetDialog::ShowDuplicate(const QString& address) {
    MessageShown = false;
    if (!Timer1.isActive()) Timer1.start();
    DuplicateAddress = address;
}

void AddTargetDialog::EndRun() {
    MessageShown = false;
    Timer1.stop();
    GroupBox1->setTitle(QString());
}

void AddTargetDialog::Timer1Timer() {
    GroupBox1->setTitle(
        MessageShown ? QString() : DuplicateAddress + QStringLiteral("は既に登録されています。"));
    MessageShown = !MessageShown;
}

std::optional<Target> AddTargetDialog::AskForNewTarget(
    const std::function<bool(const QString&)>& isDuplicate, const std::function<void()>& beep) {
    std::optional<Target> added;
    while (exec() == QDialog::Accepted) {
        const QString address = AddressText();
        if (isDuplicate(address)) {
            beep();
            ShowDuplicate(address);
            continue;  // the dialog comes back with what the user entered
        }
        added = Target{address, NameText(), std::nullopt, std::nullopt};
        break;
    }
    EndRun();
    return added;
}
