#include "settings/settings_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "platform/dialog_parts.h"
#include "platform/file_chooser.h"
#include "platform/sound.h"
#include "settings/spin_edit.h"

SettingsDialog::SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder,
                               QWidget* parent)
    : QDialog(parent), sound_(sound), chooser_(chooser), soundFolder_(std::move(soundFolder)) {
    MakeFixedDialog(this, "Form4", QSize(349, 169));
    setWindowTitle(QStringLiteral("設定"));
    Button1 = MakeButton(this, "Button1", QStringLiteral("ＯＫ"), QRect(160, 136, 75, 25));
    Button2 = MakeButton(this, "Button2", QStringLiteral("キャンセル"), QRect(240, 136, 75, 25));
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    group->setGeometry(16, 8, 321, 121);
    CheckBox2 = new QCheckBox(QStringLiteral("自動偵察をおこなう。"), group);
    CheckBox2->setObjectName("CheckBox2");
    CheckBox2->setGeometry(16, 24, 281, 17);
    Label1 = new QLabel(QStringLiteral("偵察間隔（分単位）"), group);
    Label1->setObjectName("Label1");
    Label1->move(56, 56);
    Label1->adjustSize();
    CSpinEdit1 = new SpinEdit(1, 60, group);
    CSpinEdit1->setObjectName("CSpinEdit1");
    CSpinEdit1->setGeometry(160, 48, 41, 21);
    CheckBox1 = new QCheckBox(QStringLiteral("ＩＰ接続発見時に音を鳴らす。"), group);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setGeometry(16, 88, 169, 17);
    Button3 = MakeButton(group, "Button3", QStringLiteral("音選択..."), QRect(192, 80, 75, 25));
    BitBtn1 = MakeButton(group, "BitBtn1", QString(), QRect(272, 80, 41, 25));
    BitBtn1->setIcon(QIcon(QStringLiteral(":/icons/play.svg")));
    BitBtn1->setToolTip(QStringLiteral("音を鳴らす"));
    BitBtn1->setAccessibleName(BitBtn1->toolTip());
    Label1->setBuddy(CSpinEdit1);
    CSpinEdit1->setAccessibleName(Label1->text());
    connect(CheckBox1, &QCheckBox::clicked, this, &SettingsDialog::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &SettingsDialog::CheckBox2Click);
    connect(Button3, &QPushButton::clicked, this, &SettingsDialog::Button3Click);
    connect(BitBtn1, &QPushButton::clicked, this, &SettingsDialog::BitBtn1Click);

    setTabOrder(Button1, Button2);
    setTabOrder(Button2, CheckBox2);
    setTabOrder(CheckBox2, CSpinEdit1);
    setTabOrder(CSpinEdit1, Button3);
    setTabOrder(Button3, CheckBox1);
    setTabOrder(CheckBox1, BitBtn1);
}

void SettingsDialog::FormShow(bool soundOn, int intervalMinutes, bool autoScanOn,
                              const QString& soundFile) {
    soundFile_ = soundFile;
    CheckBox1->setChecked(soundOn);
    CheckBox1Click();
    CSpinEdit1->setValue(std::clamp(intervalMinutes, 1, 60));
    CheckBox2->setChecked(autoScanOn);
    CheckBox2Click();
}

bool SettingsDialog::SoundOn() const {
    return CheckBox1->isChecked();
}
bool SettingsDialog::AutoScanOn() const {
    return CheckBox2->isChecked();
}
int SettingsDialog::Interval() {
    return CSpinEdit1->Value();
}

void SettingsDialog::CheckBox1Click() {
    Button3->setEnabled(CheckBox1->isChecked());
    BitBtn1->setEnabled(CheckBox1->isChecked());
}

void SettingsDialog::CheckBox2Click() {
    CSpinEdit1->setEnabled(CheckBox2->isChecked());
    Label1->setEnabled(CheckBox2->isChecked());
}

void SettingsDialog::Button3Click() {
    QString path = chooser_.ChooseOpenFile(this, QStringLiteral("音選択"), soundFolder_,
                                           QStringLiteral("メディアファイル (*.wav)"));
    if (path.isEmpty()) return;
    soundFile_ = path;
    emit SoundFileChosen(path);
}

void SettingsDialog::BitBtn1Click() {
    sound_.PlayAsyncNoStop(soundFile_);
}
