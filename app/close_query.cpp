#include "app/close_query.h"

#include <exception>

#include "app/program_info.h"
#include "platform/message_box.h"

CloseQuery::CloseQuery(IMessageBox& messages, QWidget* owner, Steps steps)
    : messages_(messages), owner_(owner), steps_(std::move(steps)) {}

bool CloseQuery::ask() {
    if (!messages_.askYesNo(owner_, ProductName(), QStringLiteral("終了しますか？"))) return false;
    steps_.stopScans();
    try {
        steps_.save();
        if (const QString note = steps_.savedNote(); !note.isEmpty())
            messages_.inform(owner_, ProductName(), note);
        return true;
    } catch (const std::exception& e) {
        messages_.showError(owner_, ProductName(), QString::fromUtf8(e.what()));
        // A file that cannot be written must not keep the user in a window that never closes.
        return messages_.askYesNo(owner_, ProductName(),
                                  QStringLiteral("保存せずに終了しますか？"));
    }
}

void CloseQuery::closeUnasked() {
    steps_.stopScans();
    try {
        steps_.save();
    } catch (const std::exception&) {
        // Nobody can be asked now; the files that could not be written keep their old content.
    }
}
