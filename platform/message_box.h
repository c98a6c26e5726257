#pragma once
// Message boxes: a plain one with OK, the Yes/No question with its icon, and the error display.
#include <QString>

class QWidget;

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void inform(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual bool askYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual void showError(QWidget* parent, const QString& caption, const QString& text) = 0;
};

class QtMessageBox : public IMessageBox {
public:
    void inform(QWidget* parent, const QString& caption, const QString& text) override;
    bool askYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void showError(QWidget* parent, const QString& caption, const QString& text) override;
};
