#pragma once
// SettingsDialog: auto scan and its interval, the sound switch, choosing and trying the sound
// file; beside them the notification switch, how many scans without an answer make a target
// offline for what tells of trouble, the offline sound and the all scan at once. A sound file
// chosen is taken at once, also when the dialog is then cancelled (soundFileChosen,
// offlineSoundFileChosen); the rest only on OK. Each sound's file is named under its switch, with
// a word when the player could not play it.
//
// Where the design's names are found (they stay as object names):
//   TForm4 SettingsDialog (Form4)   FormShow + ShowModal ask   CheckBox1 soundBox_
//   CheckBox2 autoScanBox_   CSpinEdit1 intervalEdit_   Label1 intervalLabel_   Button1 okButton_
//   Button2 cancelButton_   CheckBox1, Button3, BitBtn1: online_ (its box, choose, play; their
//   handlers in wireSound)   CheckBox1Click soundSwitched   CheckBox2Click autoScanSwitched
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
    // `playIcon` is the play buttons' picture, drawn by the caller like every other picture (read
    // from an SVG file here, Qt would load its SVG icon engine plugin for this one).
    SettingsDialog(ISound& sound, IFileChooser& chooser, QString soundFolder, const QIcon& playIcon,
                   QWidget* parent = nullptr);

    // Shows the options (the interval brought into 1..60 minutes, the fails into 1..10) until OK
    // or cancel. The options chosen, the interval written as a plain number; nothing when
    // cancelled.
    std::optional<Options> ask(const Options& current);

signals:
    void soundFileChosen(const QString& path);
    void offlineSoundFileChosen(const QString& path);

private:
    // One sound: its switch, the buttons that choose and play its file, and the file's name.
    struct SoundControls {
        QCheckBox* box = nullptr;
        QPushButton* choose = nullptr;
        QPushButton* play = nullptr;
        QLabel* fileName = nullptr;
        QString file;
    };
    struct SoundNames {
        const char* box;
        const char* choose;
        const char* play;
        const char* fileName;
    };
    static SoundControls makeSound(QWidget* group, const SoundNames& names, const QString& text,
                                   int boxWidth, int y);
    // A sound's buttons and name are enabled exactly while its switch is on.
    static void soundSwitched(SoundControls& s);
    void autoScanSwitched();
    void wireSound(SoundControls& s, void (SettingsDialog::*chosen)(const QString&));
    void showFileName(SoundControls& s);

    ISound& sound_;
    IFileChooser& chooser_;
    QString soundFolder_;
    QCheckBox* autoScanBox_;
    QLabel* intervalLabel_;
    SpinEdit* intervalEdit_;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    SoundControls online_;  // CheckBox1, Button3, BitBtn1: the design's sound on an answer
    // Additions beside the design.
    QCheckBox* notifyBox_;     // CheckBox3
    QCheckBox* allAtOnceBox_;  // CheckBox4
    SpinEdit* failsEdit_;      // CSpinEdit2
    SoundControls offline_;    // CheckBox5, Button4, BitBtn2
};
