#pragma once
// SettingsDialog: auto scan and its interval, the sound switch, choosing and trying the sound
// file. A sound file chosen is taken at once, also when the dialog is then cancelled
// (soundFileChosen); the rest only on OK.
//
// Where the design's names are found (they stay as object names):
//   TForm4 SettingsDialog (Form4)   FormShow + ShowModal ask   CheckBox1 soundBox_
//   CheckBox2 autoScanBox_   CSpinEdit1 intervalEdit_   Label1 intervalLabel_   Button1 okButton_
//   Button2 cancelButton_   Button3 chooseButton_ (chooseSound)   BitBtn1 playButton_ (playSound)
//   CheckBox1Click soundSwitched   CheckBox2Click autoScanSwitched
#include <QDialog>
#include <optional>

#include "settings/options.h"

class QCheckBox;
class QLabel;
class QPushButton;
class SpinEdit;
class ISound;
class IFileChooser;

class SettingsDialog : public QDialog {
    Q_OBJECT
public:
    // `playIcon` is the play button's picture, drawn by the caller like every other picture (read
    // from an SVG file here, Qt would load its SVG icon engine plugin for this one).
    SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder, const QIcon& playIcon,
                   QWidget* parent = nullptr);

    // Shows the options (the interval brought into 1..60 minutes) until OK or cancel. The
    // options chosen, the interval written as a plain number; nothing when cancelled.
    std::optional<Options> ask(const Options& current);

signals:
    void soundFileChosen(const QString& path);

private:
    void soundSwitched();
    void autoScanSwitched();
    void chooseSound();
    void playSound();

    ISound& sound_;
    IFileChooser& chooser_;
    QString soundFolder_;
    QString soundFile_;
    QCheckBox* soundBox_;
    QCheckBox* autoScanBox_;
    QCheckBox* notifyBox_;  // an addition beside the design: CheckBox3
    QLabel* intervalLabel_;
    SpinEdit* intervalEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QPushButton* chooseButton_;
    QPushButton* playButton_;
};
