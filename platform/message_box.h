#pragma once
// Message boxes: a plain one with OK, the Yes/No question with its icon, and the error display.
#include <QString>

class QWidget;

class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual void Inform(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) = 0;
    virtual void ShowError(QWidget* parent, const QString& caption, const QString& text) = 0;
};

class QtMessageBox : public IMessageBox {
public:
    void Inform(QWidget* parent, const QString& caption, const QString& text) override;
    bool AskYesNo(QWidget* parent, const QString& caption, const QString& text) override;
    void ShowError(QWidget* parent, const QString& caption, const QString& text) override;
};
