#include "platform/file_chooser.h"

#include <QFileDialog>

QString QtFileChooser::ChooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                                      const QString& filter) {
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}
