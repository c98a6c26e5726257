#pragma once
// SettingsDialog (the design's TForm4): auto scan and its interval, the sound switch, choosing
// and trying the sound file. It is filled from values the main window hands over and hands its
// results back; a chosen sound file is announced at once through SoundFileChosen.
#include <QDialog>

class QCheckBox;
class QLabel;
class QPushButton;
class SpinEdit;
class ISound;
class IFileChooser;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder,
                   QWidget* parent = nullptr);

    // Fills the controls at every showing.
    // `intervalMinutes` is brought into 1..60.
    void FormShow(bool soundOn, int intervalMinutes, bool autoScanOn, const QString& soundFile);
    bool SoundOn() const;
    bool AutoScanOn() const;
    int Interval();

    void CheckBox1Click();
    void CheckBox2Click();
    void Button3Click();
    void BitBtn1Click();

    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    QLabel* Label1;
    SpinEdit* CSpinEdit1;
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* BitBtn1;

signals:
    void SoundFileChosen(const QString& path);

private:
    ISound& sound_;
    IFileChooser& chooser_;
    QString soundFolder_;
    QString soundFile_;
};
