#pragma once
// The application object. An exception that escapes an event handler ends in notify(), whose
// message box shows its text; the program then goes on.
#include <QApplication>
#include <functional>

class Application : public QApplication {
    Q_OBJECT
public:
    Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // Shows an error text; a message box unless replaced (tests replace it).
    std::function<void(const QString&)> showError;
};
