#pragma once
// TPingThread runs one probe of a select scan off the UI thread; what the probe changes in the
// window is carried to the UI thread by the window itself.
#include <QThread>

class TForm1;

class TPingThread : public QThread {
    Q_OBJECT
public:
    explicit TPingThread(TForm1& form) : form_(form) {}

protected:
    void run() override { Execute(); }

private:
    void Execute();
    TForm1& form_;
};
