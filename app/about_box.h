#pragma once
#include <QDialog>

// AboutBox: the program icon, the product name and the version, closed by OK.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};
