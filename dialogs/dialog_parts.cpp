#include "dialogs/dialog_parts.h"

#include <QDialog>
#include <QPushButton>

void makeFixedDialog(QDialog* dialog, const char* name, QSize clientSize) {
    dialog->setObjectName(name);
    dialog->setFixedSize(clientSize);
    dialog->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& text, QRect geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(name);
    b->setGeometry(geometry);
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}
