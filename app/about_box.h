#pragma once
#include <QDialog>

// TAboutBox: the program icon, the product name and the version, closed by OK.
class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
};
