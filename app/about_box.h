#pragma once
#include <QDialog>

// AboutBox: the program icon, the product name and the version, closed by OK.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
    // Shows the box modally in the middle of the screen `window` is on: the box belongs to no
    // part of the window.
    void showCentredOnScreen(QWidget* window);
};
