#include "platform/message_box.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

// The desktop's own button texts would be English without Qt's translations installed.
void JapaneseButtons(QMessageBox& box) {
    if (auto* b = box.button(QMessageBox::Yes)) b->setText(QStringLiteral("はい(&Y)"));
    if (auto* b = box.button(QMessageBox::No)) b->setText(QStringLiteral("いいえ(&N)"));
    if (auto* b = box.button(QMessageBox::Ok)) b->setText(QStringLiteral("OK"));
}

}  // namespace

void QtMessageBox::inform(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, parent);
    JapaneseButtons(box);
    box.exec();
}

bool QtMessageBox::askYesNo(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                    parent);
    JapaneseButtons(box);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void QtMessageBox::showError(QWidget* parent, const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
    JapaneseButtons(box);
    box.exec();
}
