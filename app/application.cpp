#include "app/application.h"

#include <QMessageBox>

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {
    ShowError = [](const QString& text) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("ピングローブ"), text,
                        QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    };
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowError(QString::fromUtf8(e.what()));
    } catch (...) {
        ShowError(QStringLiteral("不明なエラーが発生しました。"));
    }
    return false;
}
