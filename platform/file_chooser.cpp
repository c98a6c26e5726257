#include "platform/file_chooser.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

namespace {

QString Choose(QWidget* parent, const QString& title, const QString& where, const QString& filter,
               bool save) {
    QFileDialog dialog(parent, title, where, filter);
    dialog.setObjectName(QStringLiteral("FileChooser"));
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setViewMode(QFileDialog::Detail);
    dialog.resize(640, 400);
    if (parent) {
        // Over the dialog that asked, not wherever the window system puts a new window.
        QRect r(QPoint(), dialog.size());
        r.moveCenter(parent->window()->frameGeometry().center());
        dialog.move(r.topLeft());
    }
    // The detail columns take the width their texts need (translated headers, dates), the name
    // column the rest.
    QTimer::singleShot(0, &dialog, [&dialog] {
        for (QTreeView* view : dialog.findChildren<QTreeView*>()) {
            QHeaderView* header = view->header();
            for (int c = 1; c < header->count(); ++c)
                header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
            header->setSectionResizeMode(0, QHeaderView::Stretch);
        }
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().first();
}

}  // namespace

QString QtFileChooser::chooseOpenFile(QWidget* parent, const QString& title, const QString& folder,
                                      const QString& filter) {
    return Choose(parent, title, folder, filter, false);
}

QString QtFileChooser::chooseSaveFile(QWidget* parent, const QString& title,
                                      const QString& suggested, const QString& filter) {
    return Choose(parent, title, suggested, filter, true);
}
