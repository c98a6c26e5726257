#include "dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "dialogs/dialog_parts.h"
#include "dialogs/spin_edit.h"
#include "platform/file_chooser.h"
#include "platform/sound.h"

SettingsDialog::SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder,
                               const QIcon& playIcon, QWidget* parent)
    : QDialog(parent), sound_(sound), chooser_(chooser), soundFolder_(std::move(soundFolder)) {
    makeFixedDialog(this, "Form4", QSize(349, 169));
    setWindowTitle(QStringLiteral("設定"));
    okButton_ = makeButton(this, "Button1", QStringLiteral("ＯＫ"), QRect(160, 136, 75, 25));
    cancelButton_ =
        makeButton(this, "Button2", QStringLiteral("キャンセル"), QRect(240, 136, 75, 25));
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    group->setGeometry(16, 8, 321, 121);
    autoScanBox_ = new QCheckBox(QStringLiteral("自動偵察をおこなう。"), group);
    autoScanBox_->setObjectName("CheckBox2");
    autoScanBox_->setGeometry(16, 24, 281, 17);
    intervalLabel_ = new QLabel(QStringLiteral("偵察間隔（分単位）"), group);
    intervalLabel_->setObjectName("Label1");
    intervalLabel_->move(56, 56);
    intervalLabel_->adjustSize();
    intervalEdit_ = new SpinEdit(1, 60, group);
    intervalEdit_->setObjectName("CSpinEdit1");
    intervalEdit_->setGeometry(160, 48, 41, 21);
    soundBox_ = new QCheckBox(QStringLiteral("ＩＰ接続発見時に音を鳴らす。"), group);
    soundBox_->setObjectName("CheckBox1");
    soundBox_->setGeometry(16, 88, 169, 17);
    chooseButton_ =
        makeButton(group, "Button3", QStringLiteral("音選択..."), QRect(192, 80, 75, 25));
    playButton_ = makeButton(group, "BitBtn1", QString(), QRect(272, 80, 41, 25));
    playButton_->setIcon(playIcon);
    playButton_->setToolTip(QStringLiteral("音を鳴らす"));
    playButton_->setAccessibleName(playButton_->toolTip());
    intervalLabel_->setBuddy(intervalEdit_);
    intervalEdit_->setAccessibleName(intervalLabel_->text());
    // Beside the buttons, where the dialog had room: the designed controls keep their places.
    notifyBox_ = new QCheckBox(QStringLiteral("状態の変化を通知する"), this);
    notifyBox_->setObjectName("CheckBox3");
    notifyBox_->setGeometry(16, 140, 140, 17);
    notifyBox_->setToolTip(QStringLiteral(
        "ウィンドウが見えないときに偵察先がオンラインになったら、デスクトップに通知します"));
    connect(soundBox_, &QCheckBox::clicked, this, &SettingsDialog::soundSwitched);
    connect(autoScanBox_, &QCheckBox::clicked, this, &SettingsDialog::autoScanSwitched);
    connect(chooseButton_, &QPushButton::clicked, this, &SettingsDialog::chooseSound);
    connect(playButton_, &QPushButton::clicked, this, &SettingsDialog::playSound);

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, autoScanBox_);
    setTabOrder(autoScanBox_, intervalEdit_);
    setTabOrder(intervalEdit_, chooseButton_);
    setTabOrder(chooseButton_, soundBox_);
    setTabOrder(soundBox_, playButton_);
    setTabOrder(playButton_, notifyBox_);
}

std::optional<Options> SettingsDialog::ask(const Options& current) {
    soundFile_ = current.soundFile;
    soundBox_->setChecked(current.soundOn);
    soundSwitched();
    intervalEdit_->setValue(std::clamp(current.intervalMinutes(), 1, 60));
    autoScanBox_->setChecked(current.autoScanOn);
    autoScanSwitched();
    notifyBox_->setChecked(current.notifyOn);
    if (exec() != QDialog::Accepted) return std::nullopt;
    // Named, so that a field added to Options never takes another's value.
    return Options{.soundOn = soundBox_->isChecked(),
                   .autoScanOn = autoScanBox_->isChecked(),
                   .intervalText = QString::number(intervalEdit_->number()),
                   .soundFile = soundFile_,
                   .notifyOn = notifyBox_->isChecked()};
}

void SettingsDialog::soundSwitched() {
    chooseButton_->setEnabled(soundBox_->isChecked());
    playButton_->setEnabled(soundBox_->isChecked());
}

void SettingsDialog::autoScanSwitched() {
    intervalEdit_->setEnabled(autoScanBox_->isChecked());
    intervalLabel_->setEnabled(autoScanBox_->isChecked());
}

void SettingsDialog::chooseSound() {
    QString path = chooser_.chooseOpenFile(this, QStringLiteral("音選択"), soundFolder_,
                                           QStringLiteral("メディアファイル (*.wav)"));
    if (path.isEmpty()) return;
    soundFile_ = path;
    emit soundFileChosen(path);
}

void SettingsDialog::playSound() {
    sound_.playAsyncNoStop(soundFile_);
}
