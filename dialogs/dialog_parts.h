#pragma once
// Pieces every fixed-size dialog of the program is built from.
#include <QRect>
#include <QSize>
#include <QString>

class QDialog;
class QPushButton;
class QWidget;

// A dialog with a fixed border: a title and a close box, no resizing.
void makeFixedDialog(QDialog* dialog, const char* name, QSize clientSize);
// A push button placed at `geometry` that is never the default button.
QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry);
