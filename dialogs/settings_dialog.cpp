#include "dialogs/settings_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "dialogs/dialog_parts.h"
#include "dialogs/spin_edit.h"
#include "platform/file_chooser.h"
#include "platform/sound.h"

namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QPoint at) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(at);
    label->adjustSize();
    return label;
}

}  // namespace

SettingsDialog::SoundControls SettingsDialog::makeSound(QWidget* group, const SoundNames& names,
                                                        const QString& text, int boxWidth, int y) {
    // A row of the switch and the buttons, the file's name under it.
    SoundControls s;
    s.box = new QCheckBox(text, group);
    s.box->setObjectName(names.box);
    s.box->setGeometry(16, y + 8, boxWidth, 17);
    s.choose = makeButton(group, names.choose, QStringLiteral("音選択..."), QRect(192, y, 75, 25));
    s.play = makeButton(group, names.play, QString(), QRect(272, y, 41, 25));
    s.fileName = new QLabel(group);
    s.fileName->setObjectName(names.fileName);
    s.fileName->setGeometry(36, y + 30, 277, 17);
    return s;
}

SettingsDialog::SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder,
                               const QIcon& playIcon, QWidget* parent)
    : QDialog(parent), sound_(sound), chooser_(chooser), soundFolder_(std::move(soundFolder)) {
    // The designed controls keep their places; the group is taller by the sound's file name, and
    // the additions have a group of their own under it, over the buttons.
    makeFixedDialog(this, "Form4", QSize(349, 337));
    setWindowTitle(QStringLiteral("設定"));
    okButton_ = makeButton(this, "Button1", QStringLiteral("ＯＫ"), QRect(160, 304, 75, 25));
    cancelButton_ =
        makeButton(this, "Button2", QStringLiteral("キャンセル"), QRect(240, 304, 75, 25));
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton_, &QPushButton::clicked, this, &QDialog::reject);

    auto* group = new QGroupBox(this);
    group->setObjectName("GroupBox1");
    group->setGeometry(16, 8, 321, 137);
    autoScanBox_ = new QCheckBox(QStringLiteral("自動偵察をおこなう。"), group);
    autoScanBox_->setObjectName("CheckBox2");
    autoScanBox_->setGeometry(16, 24, 281, 17);
    intervalLabel_ = MakeLabel(group, "Label1", QStringLiteral("偵察間隔（分単位）"), {56, 56});
    intervalEdit_ = new SpinEdit(1, 60, group);
    intervalEdit_->setObjectName("CSpinEdit1");
    intervalEdit_->setGeometry(160, 48, 41, 21);
    online_ = makeSound(group, {"CheckBox1", "Button3", "BitBtn1", "SoundFileName"},
                        QStringLiteral("ＩＰ接続発見時に音を鳴らす。"), 169, 80);
    intervalLabel_->setBuddy(intervalEdit_);
    intervalEdit_->setAccessibleName(intervalLabel_->text());

    auto* more = new QGroupBox(this);
    more->setObjectName("GroupBox2");
    more->setGeometry(16, 152, 321, 142);
    allAtOnceBox_ = new QCheckBox(QStringLiteral("全偵察ですべての偵察先に一斉に送る"), more);
    allAtOnceBox_->setObjectName("CheckBox4");
    allAtOnceBox_->setGeometry(16, 14, 297, 17);
    allAtOnceBox_->setToolTip(QStringLiteral(
        "一覧の順に一つずつではなく、全偵察先に同時に ping を送ります（長い一覧向け）"));
    notifyBox_ = new QCheckBox(QStringLiteral("状態の変化を通知する"), more);
    notifyBox_->setObjectName("CheckBox3");
    notifyBox_->setGeometry(16, 36, 297, 17);
    notifyBox_->setToolTip(
        QStringLiteral("ウィンドウを見ていないときに偵察先がオンラインや"
                       "オフラインになったら、デスクトップに通知します"));
    MakeLabel(more, "Label2", QStringLiteral("連続"), {16, 63});
    failsEdit_ = new SpinEdit(Options::kMinFails, Options::kMaxFails, more);
    failsEdit_->setObjectName("CSpinEdit2");
    failsEdit_->setGeometry(46, 59, 37, 21);
    failsEdit_->setAccessibleName(
        QStringLiteral("連続 N 回応答がなければオフラインとして知らせる"));
    QLabel* failsText = MakeLabel(
        more, "Label3", QStringLiteral("回応答がなければオフラインとして知らせる"), {88, 63});
    failsText->setBuddy(failsEdit_);
    offline_ = makeSound(more, {"CheckBox5", "Button4", "BitBtn2", "OfflineSoundFileName"},
                         QStringLiteral("オフラインになったら音を鳴らす"), 175, 88);

    for (SoundControls* s : {&online_, &offline_}) {
        s->play->setIcon(playIcon);
        s->play->setToolTip(QStringLiteral("音を鳴らす"));
        s->play->setAccessibleName(s->play->toolTip());
        s->fileName->setTextFormat(Qt::PlainText);
    }
    online_.fileName->setAccessibleName(QStringLiteral("ＩＰ接続発見時の音"));
    offline_.fileName->setAccessibleName(QStringLiteral("オフラインの音"));
    wireSound(online_, &SettingsDialog::soundFileChosen);
    wireSound(offline_, &SettingsDialog::offlineSoundFileChosen);
    connect(autoScanBox_, &QCheckBox::clicked, this, &SettingsDialog::autoScanSwitched);

    setTabOrder(okButton_, cancelButton_);
    setTabOrder(cancelButton_, autoScanBox_);
    setTabOrder(autoScanBox_, intervalEdit_);
    setTabOrder(intervalEdit_, online_.choose);
    setTabOrder(online_.choose, online_.box);
    setTabOrder(online_.box, online_.play);
    setTabOrder(online_.play, allAtOnceBox_);
    setTabOrder(allAtOnceBox_, notifyBox_);
    setTabOrder(notifyBox_, failsEdit_);
    setTabOrder(failsEdit_, offline_.box);
    setTabOrder(offline_.box, offline_.choose);
    setTabOrder(offline_.choose, offline_.play);
}

void SettingsDialog::wireSound(SoundControls& s, void (SettingsDialog::*chosen)(const QString&)) {
    connect(s.box, &QCheckBox::toggled, this, [&s] { soundSwitched(s); });
    connect(s.choose, &QPushButton::clicked, this, [this, &s, chosen] {
        const QString path = chooser_.chooseOpenFile(this, QStringLiteral("音選択"), soundFolder_,
                                                     QStringLiteral("メディアファイル (*.wav)"));
        if (path.isEmpty()) return;
        s.file = path;
        showFileName(s);
        emit(this->*chosen)(path);
    });
    connect(s.play, &QPushButton::clicked, this, [this, &s] { sound_.playAsyncNoStop(s.file); });
}

void SettingsDialog::showFileName(SoundControls& s) {
    const QString name = QFileInfo(s.file).fileName();
    // Said at once: the player would give only the beep for it.
    const QString shown =
        sound_.canPlay(s.file) ? name : QStringLiteral("%1（再生できないファイルです）").arg(name);
    s.fileName->setText(
        s.fileName->fontMetrics().elidedText(shown, Qt::ElideMiddle, s.fileName->width()));
    s.fileName->setToolTip(s.file);
    s.fileName->setAccessibleDescription(shown);
}

std::optional<Options> SettingsDialog::ask(const Options& current) {
    online_.file = current.soundFile;
    online_.box->setChecked(current.soundOn);
    intervalEdit_->setValue(std::clamp(current.intervalMinutes(), 1, 60));
    autoScanBox_->setChecked(current.autoScanOn);
    autoScanSwitched();
    notifyBox_->setChecked(current.notifyOn);
    allAtOnceBox_->setChecked(current.allAtOnce);
    failsEdit_->setValue(
        std::clamp(current.failsToConfirm, Options::kMinFails, Options::kMaxFails));
    offline_.file = current.offlineSoundFile;
    offline_.box->setChecked(current.offlineSoundOn);
    for (SoundControls* s : {&online_, &offline_}) {
        soundSwitched(*s);  // also when the switch did not change
        showFileName(*s);
    }
    if (exec() != QDialog::Accepted) return std::nullopt;
    // Named, so that a field added to Options never takes another's value.
    return Options{.soundOn = online_.box->isChecked(),
                   .autoScanOn = autoScanBox_->isChecked(),
                   .intervalText = QString::number(intervalEdit_->number()),
                   .soundFile = online_.file,
                   .notifyOn = notifyBox_->isChecked(),
                   .failsToConfirm = failsEdit_->number(),
                   .allAtOnce = allAtOnceBox_->isChecked(),
                   .offlineSoundOn = offline_.box->isChecked(),
                   .offlineSoundFile = offline_.file};
}

void SettingsDialog::soundSwitched(SoundControls& s) {
    const bool on = s.box->isChecked();
    s.choose->setEnabled(on);
    s.play->setEnabled(on);
    s.fileName->setEnabled(on);
}

void SettingsDialog::autoScanSwitched() {
    intervalEdit_->setEnabled(autoScanBox_->isChecked());
    intervalLabel_->setEnabled(autoScanBox_->isChecked());
}
