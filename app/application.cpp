#include "app/application.h"

#include "app/program_info.h"

#include "platform/message_box.h"

#include <new>

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    showError = [](const QString& text) {
        QtMessageBox().showError(QApplication::activeWindow(), ProductName(), text);
    };
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
        showError(QStringLiteral("メモリが足りません。"));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("不明なエラーが発生しました。"));
    }
    return false;
}
