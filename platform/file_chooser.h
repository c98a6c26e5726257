#pragma once
// The file choosers: the confirmed file's full path, or null when the user cancelled.
#include <QString>

class QWidget;

class IFileChooser {
public:
    virtual ~IFileChooser() = default;
    virtual QString chooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                                   const QString& filter) = 0;
    // `suggested`: the folder and name offered; the chooser asks before replacing a file.
    virtual QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                                   const QString& filter) = 0;
};

class QtFileChooser : public IFileChooser {
public:
    QString chooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                           const QString& filter) override;
    QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                           const QString& filter) override;
};
