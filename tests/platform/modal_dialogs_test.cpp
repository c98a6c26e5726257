// The message boxes and the file choosers with Qt's own dialogs on the offscreen platform,
// answered as a user answers them: by keys, while the call waits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "test_support.h"

namespace {

// Answers the dialogs that come up, one step each, in order; a step that is not for the dialog in
// front (it says false) is tried again, and a dialog answered once is left to take its answer.
class Answers {
public:
    explicit Answers(std::deque<std::function<bool(QWidget*)>> steps) : steps_(std::move(steps)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || !modal->isVisible() || modal == answered_) return;
            if (!steps_.empty()) {
                if (steps_.front()(modal)) {
                    steps_.pop_front();
                    answered_ = modal;
                }
            } else if (++unexpected_ == 100) {
                modal->close();  // a dialog nobody expected: the call ends, and the test fails
            }
        });
        timer_.start(10);
    }
    bool allGiven() const { return steps_.empty(); }

private:
    std::deque<std::function<bool(QWidget*)>> steps_;
    QPointer<QWidget> answered_;
    int unexpected_ = 0;
    QTimer timer_;
};

// A key goes to the dialog after the step, which may open the next dialog and wait in it.
void Later(QWidget* w, std::function<void(QWidget*)> press) {
    QTimer::singleShot(0, w, [w, press] { press(w); });
}

std::function<bool(QWidget*)> Key(Qt::Key key, const char* kind = "QMessageBox",
                                  std::function<void(QWidget*)> look = {}) {
    return [key, kind, look](QWidget* w) {
        if (!w->inherits(kind)) return false;
        if (look) look(w);
        Later(w->focusWidget() ? w->focusWidget() : w,
              [key](QWidget* f) { QTest::keyClick(f, key); });
        return true;
    };
}

// Types a name into the file dialog and presses Enter.
std::function<bool(QWidget*)> Name(const QString& name) {
    return [name](QWidget* w) {
        auto* edit = w->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!w->inherits("QFileDialog") || !edit) return false;
        // Typed as a user types it: with the focus, which lets go of the file selected before.
        QApplication::setActiveWindow(w);
        edit->setFocus();
        edit->setText(name);
        Later(edit, [](QWidget* e) { QTest::keyClick(e, Qt::Key_Return); });
        return true;
    };
}

TEST(MessageBox, JapaneseButtonsYesByDefaultAndNeverYesWhenClosed) {
    QtMessageBox boxes;
    QStringList seen;
    const auto look = [&](QWidget* w) {
        auto* box = static_cast<QMessageBox*>(w);
        for (QAbstractButton* b : box->buttons()) seen << b->text();
        seen << QString::number(box->icon()) << box->windowTitle() << box->text();
        if (box->defaultButton()) seen << u'*' + box->defaultButton()->text();
    };
    Answers answers({Key(Qt::Key_Return, "QMessageBox", look), Key(Qt::Key_Escape),
                     Key(Qt::Key_Return, "QMessageBox", look),
                     Key(Qt::Key_Escape, "QMessageBox", look)});
    EXPECT_TRUE(
        boxes.askYesNo(nullptr, QStringLiteral("ピングローブ"), QStringLiteral("終了しますか？")));
    EXPECT_FALSE(boxes.askYesNo(nullptr, QStringLiteral("ピングローブ"), QStringLiteral("?")));
    boxes.inform(nullptr, QStringLiteral("ピングローブ"), QStringLiteral("info"));
    boxes.showError(nullptr, QStringLiteral("ピングローブ"), QStringLiteral("error"));
    EXPECT_TRUE(answers.allGiven());
    EXPECT_EQ(seen.join(u' ').toStdString(),
              "はい(&Y) いいえ(&N) 4 ピングローブ 終了しますか？ *はい(&Y) "
              "OK 0 ピングローブ info OK 3 ピングローブ error");
}

TEST(FileChooser, TheConfirmedFilesFullPathNothingWhenCancelledAndAQuestionBeforeReplacing) {
    TempDir dir;
    WriteFileBytes(dir.path("chime.wav"), "RIFF");
    const QString folder = QString::fromStdString(dir.path());
    QtFileChooser chooser;
    const QString filter = QStringLiteral("WAV (*.wav)");
    {
        Answers answers({Name(QStringLiteral("chime.wav"))});
        EXPECT_EQ(chooser.chooseOpenFile(nullptr, QStringLiteral("開く"), folder, filter),
                  folder + QStringLiteral("/chime.wav"));
    }
    {
        // A name that is not there is refused; closed, the chooser gives nothing.
        Answers answers({Name(QStringLiteral("missing.wav")), Key(Qt::Key_Return),
                         Key(Qt::Key_Escape, "QFileDialog")});
        EXPECT_EQ(chooser.chooseOpenFile(nullptr, QStringLiteral("開く"), folder, filter),
                  QString());
    }
    // Saving over a file asks first; いいえ goes back to the chooser.
    Answers answers(
        {Name(QStringLiteral("chime.wav")), Key(Qt::Key_Escape), Name(QStringLiteral("new.wav"))});
    EXPECT_EQ(
        chooser.chooseSaveFile(nullptr, QStringLiteral("保存"), folder + "/chime.wav", filter),
        folder + QStringLiteral("/new.wav"));
    EXPECT_TRUE(answers.allGiven()) << "no question before replacing a file";
}

}  // namespace
