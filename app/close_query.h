#pragma once
// The end of the program as the user meets it: "終了しますか？", the running scans stopped and
// waited for, both files saved. A save that fails is reported and the user may still go without
// saving, so no failure keeps the window open for good.
#include <QString>
#include <functional>

class IMessageBox;
class QWidget;

class CloseQuery {
public:
    struct Steps {
        std::function<void()> stopScans;     // asks the scans to stop and waits for a worker
        std::function<void()> save;          // raises an error naming the file that failed
        std::function<QString()> savedNote;  // a line to tell after a good save, or empty
    };
    CloseQuery(IMessageBox& messages, QWidget* owner, Steps steps);
    // True when the window may close.
    bool ask();
    // A session that ends without letting us ask: save what can be saved.
    void closeUnasked();

private:
    IMessageBox& messages_;
    QWidget* owner_;
    Steps steps_;
};
