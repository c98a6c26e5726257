#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "dialogs/spin_edit.h"
#include "window_fixture.h"

namespace {

// A control of a dialog, by its object name.
template <class T>
T* In(QWidget* dialog, const char* name) {
    return dialog->findChild<T*>(QString::fromLatin1(name));
}
void Click(QWidget* dialog, const char* button) {
    In<QAbstractButton>(dialog, button)->click();
}
SpinEdit* Octet(QWidget* d, int i) {
    return In<SpinEdit>(d, QStringLiteral("CSpinEdit%1").arg(i + 1).toLatin1().constData());
}
void Fill(AddTargetDialog* d, std::array<int, 4> octets, const QString& name) {
    for (int i = 0; i < 4; ++i) Octet(d, i)->setValue(octets[i]);
    In<QLineEdit>(d, "Edit2")->setText(name);
}
// What the 700 ms blink timer does when it fires.
void Blink(QWidget* d) {
    QMetaObject::invokeMethod(In<QTimer>(d, "Timer1"), "timeout", Qt::DirectConnection);
}

TEST_F(Window, AddTargetsAndSaveTheListByteExact) {
    Start();
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("偵察先の追加"));
        Fill(d, {192, 168, 0, 1}, QStringLiteral("ルータ"));
        Click(d, "Button1");
    });
    form->addTarget();
    ASSERT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "192.168.0.1");
    EXPECT_EQ(Cell(0, 1), QStringLiteral("ルータ"));
    EXPECT_EQ(Cell(0, 2), "0");
    EXPECT_EQ(Image(0), -1);
    EXPECT_EQ(List()->selectedRow(), Row(0));
    EXPECT_TRUE(Child<QToolButton>("SpeedButton5")->isEnabled());

    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        Fill(d, {10, 0, 0, 2}, QStringLiteral("a\"b"));
        Click(d, "Button1");
    });
    form->addTarget();
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        EXPECT_EQ(Octet(d, 0)->number(), 10);  // the values of the previous use
        EXPECT_EQ(Octet(d, 3)->number(), 2);   // the values of the previous use
        Fill(d, {0, 0, 0, 0}, QString());
        Click(d, "Button1");
    });
    form->addTarget();
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadFileBytes(ListPath()),
              "\"IP\";\"Name\"\r\n\"192.168.0.1\";\"\x83\x8B\x81\x5B\x83\x5E\"\r\n"
              "\"10.0.0.2\";\"a\"\"b\"\r\n\"0.0.0.0\";\"\"\r\n");
    Rebuild();  // the counts start from 0 again and the names come back
    ASSERT_EQ(List()->rowCount(), 3);
    EXPECT_EQ(Cell(0, 1), QStringLiteral("ルータ"));
    EXPECT_EQ(Cell(1, 1), QStringLiteral("a\"b"));
    EXPECT_EQ(Cell(2, 1), QString());
}

TEST_F(Window, DuplicateBeepsBlinksAndComesBack) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.1\";\"old\"\r\n");
    Timer()->start();
    int showings = 0;
    std::function<void(QWidget*)> step = [&](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        ++showings;
        if (showings == 1) {
            EXPECT_FALSE(Timer()->isActive());  // the countdown stands still
            Fill(d, {10, 0, 0, 1}, QStringLiteral("new"));
            WhenModal(step);
            Click(d, "Button1");
        } else {
            EXPECT_EQ(sound.beeps, 1);
            EXPECT_EQ(Octet(d, 3)->value(), 1);  // back with what was entered
            EXPECT_EQ(In<QLineEdit>(d, "Edit2")->text(), QStringLiteral("new"));
            EXPECT_TRUE(In<QGroupBox>(d, "GroupBox1")->title().isEmpty());
            Blink(d);  // what the 700 ms timer does
            EXPECT_EQ(In<QGroupBox>(d, "GroupBox1")->title(),
                      QStringLiteral("10.0.0.1は既に登録されています。"));
            Blink(d);
            EXPECT_TRUE(In<QGroupBox>(d, "GroupBox1")->title().isEmpty());
            Blink(d);
            EXPECT_TRUE(In<QTimer>(d, "Timer1")->isActive());
            EXPECT_EQ(In<QTimer>(d, "Timer1")->interval(), 700);
            Octet(d, 3)->setValue(2);
            Click(d, "Button1");
        }
    };
    WhenModal(step);
    form->addTarget();
    EXPECT_EQ(showings, 2);
    ASSERT_EQ(List()->rowCount(), 2);
    EXPECT_EQ(Cell(1, 0), "10.0.0.2");
    EXPECT_FALSE(In<QTimer>(form3.get(), "Timer1")->isActive());
    EXPECT_TRUE(In<QGroupBox>(form3.get(), "GroupBox1")->title().isEmpty());
    EXPECT_TRUE(Timer()->isActive());

    // A duplicate, then Cancel while the message blinks: the next opening starts without it.
    int openings = 0;
    std::function<void(QWidget*)> cancelled = [&](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        if (++openings == 1) {
            Fill(d, {10, 0, 0, 1}, QStringLiteral("again"));
            WhenModal(cancelled);
            Click(d, "Button1");
            return;
        }
        if (openings == 3) {
            EXPECT_FALSE(In<QTimer>(d, "Timer1")->isActive());
            EXPECT_TRUE(In<QGroupBox>(d, "GroupBox1")->title().isEmpty());
        } else {
            Blink(d);
        }
        Click(d, "Button2");
    };
    WhenModal(cancelled);
    form->addTarget();
    WhenModal(cancelled);
    form->addTarget();
    EXPECT_EQ(openings, 3);
}

TEST_F(Window, CancelAddsNothingAndLeadingZerosAreAnotherText) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.10\";\"\"\r\n\"010.0.0.1\";\"\"\r\n");
    Timer()->stop();  // auto scan off: the timer stays off whatever happens
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        Fill(d, {10, 0, 0, 1}, QString());
        Click(d, "Button2");
    });
    form->addTarget();
    EXPECT_EQ(List()->rowCount(), 2);
    EXPECT_FALSE(Timer()->isActive());
    WhenModal([](QWidget* w) { Click(w, "Button1"); });
    form->addTarget();
    EXPECT_EQ(List()->rowCount(), 3);  // 10.0.0.1 is neither 010.0.0.1 nor 10.0.0.10
    EXPECT_EQ(sound.beeps, 0);
    // Every control keeps its value: a cancelled use's values, OK untouched, are the new row.
    WhenModal([](QWidget* w) {
        Fill(qobject_cast<AddTargetDialog*>(w), {1, 22, 133, 244}, QStringLiteral("ルータ２"));
        Click(w, "Button2");
    });
    form->addTarget();
    WhenModal([](QWidget* w) { Click(w, "Button1"); });
    form->addTarget();
    ASSERT_EQ(List()->rowCount(), 4);
    EXPECT_EQ(Cell(3, 0), "1.22.133.244");
    EXPECT_EQ(Cell(3, 1), QStringLiteral("ルータ２"));
}

// Addresses typed as people type them: a dot (also "．" and "。" from an input method) moves on to
// the next field, full-width digits are digits, and a pasted address fills the four; nothing runs
// together into 255.
TEST_F(Window, AddressesAreTypedWithDotsOrPasted) {
    Start();
    auto typed = [&](const QString& keys) {
        std::array<int, 4> got{};
        WhenModal([&](QWidget* w) {
            auto* d = qobject_cast<AddTargetDialog*>(w);
            Fill(d, {0, 0, 0, 0}, QString());
            QApplication::setActiveWindow(d);  // the keys go where the focus goes
            Octet(d, 0)->setFocus();
            Octet(d, 0)->selectAll();
            for (QChar c : keys) {
                if (c.unicode() < 0x80) {
                    QTest::keyClicks(d->focusWidget(), QString(c));
                } else {  // as a Japanese input method commits it
                    QInputMethodEvent commit;
                    commit.setCommitString(QString(c));
                    QApplication::sendEvent(d->focusWidget(), &commit);
                }
                QApplication::processEvents();
            }
            for (int i = 0; i < 4; ++i) got[i] = Octet(d, i)->number();
            Click(d, "Button2");
        });
        form->addTarget();
        return got;
    };
    EXPECT_EQ(typed("198.18.3.7"), (std::array<int, 4>{198, 18, 3, 7}));
    EXPECT_EQ(typed(QStringLiteral("10。1．2.30")), (std::array<int, 4>{10, 1, 2, 30}));
    EXPECT_EQ(typed(QStringLiteral("１２７．０．０．９")), (std::array<int, 4>{127, 0, 0, 9}));
    QApplication::clipboard()->setText(QStringLiteral("192.0.2.44"));
    std::array<int, 4> pasted{};
    WhenModal([&](QWidget* w) {
        auto* d = qobject_cast<AddTargetDialog*>(w);
        QApplication::setActiveWindow(d);
        Octet(d, 1)->setFocus();
        Octet(d, 1)->selectAll();
        QTest::keySequence(d->focusWidget(), QKeySequence::Paste);
        QApplication::processEvents();
        for (int i = 0; i < 4; ++i) pasted[i] = Octet(d, i)->number();
        Click(d, "Button1");
    });
    form->addTarget();
    EXPECT_EQ(pasted, (std::array<int, 4>{192, 0, 2, 44}));
    EXPECT_EQ(Cell(0, 0), "192.0.2.44");
}

TEST_F(Window, SpinEditsReadTextThatIsNoIntegerAsTheMinimum) {
    Start();
    SpinEdit* s = Octet(form3.get(), 0);
    s->setValue(77);
    auto* edit = s->findChild<QLineEdit*>();
    edit->setText("");
    EXPECT_EQ(s->number(), 0);
    EXPECT_EQ(edit->text(), "0");
    // Typed numbers out of range are taken and brought to the nearest bound, also when the field
    // loses the focus first (as it does when OK is clicked).
    s->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "999");
    EXPECT_EQ(edit->text(), "999");
    s->interpretText();
    EXPECT_EQ(s->number(), 255);
    edit->setText("99999999999999999999");  // more digits than an integer holds: still the top
    s->interpretText();
    EXPECT_EQ(s->number(), 255);
    SpinEdit* interval = In<SpinEdit>(form4.get(), "CSpinEdit1");
    interval->findChild<QLineEdit*>()->setText("0");
    interval->interpretText();
    EXPECT_EQ(In<SpinEdit>(form4.get(), "CSpinEdit1")->number(), 1);
    EXPECT_FALSE(In<QLineEdit>(form3.get(), "Edit2")->validator() == nullptr);
    QString emoji = QStringLiteral("😀");
    int pos = 0;
    EXPECT_EQ(In<QLineEdit>(form3.get(), "Edit2")->validator()->validate(emoji, pos),
              QValidator::Invalid);
}

TEST_F(Window, DeleteRemovesTheSelectedRowAtOnce) {
    Start("\"IP\";\"Name\"\r\n\"10.0.0.1\";\"\"\r\n\"10.0.0.2\";\"\"\r\n");
    form->deleteTarget();  // nothing selected: nothing happens
    EXPECT_EQ(List()->rowCount(), 2);
    List()->focusSelectScroll(Row(0));
    form->deleteTarget();
    ASSERT_EQ(List()->rowCount(), 1);
    EXPECT_EQ(Cell(0, 0), "10.0.0.2");
    EXPECT_FALSE(ContextMenuOffersTheRow());
    EXPECT_FALSE(Child<QToolButton>("SpeedButton5")->isEnabled());
    EXPECT_TRUE(Timer()->isActive());
    // The deleted address is free again.
    EXPECT_EQ(List()->findRow("10.0.0.1"), nullptr);
    EXPECT_EQ(List()->findRow("10.0.0.2"), Row(0));
}

TEST_F(Window, SettingsDialogChangesTheIntervalAndTheSwitches) {
    Start();
    for (int i = 0; i < 10; ++i) Countdown()->tick();
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<SettingsDialog*>(w);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->windowTitle(), QStringLiteral("設定"));
        EXPECT_EQ(In<SpinEdit>(d, "CSpinEdit1")->value(), 15);
        EXPECT_TRUE(In<QCheckBox>(d, "CheckBox1")->isChecked());
        In<SpinEdit>(d, "CSpinEdit1")->setValue(5);
        Click(d, "Button1");
    });
    form->openSettings();
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　5分0秒"));
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(5分毎)"));
    EXPECT_TRUE(Timer()->isActive());

    for (int i = 0; i < 10; ++i) Countdown()->tick();
    WhenModal([](QWidget* w) {  // auto scan off: the timer stops, panel 3 keeps its text
        auto* d = qobject_cast<SettingsDialog*>(w);
        Click(d, "CheckBox2");
        EXPECT_FALSE(In<SpinEdit>(d, "CSpinEdit1")->isEnabled());
        Click(d, "CheckBox1");
        EXPECT_FALSE(In<QPushButton>(d, "Button3")->isEnabled());
        EXPECT_FALSE(In<QPushButton>(d, "BitBtn1")->isEnabled());
        Click(d, "Button1");
    });
    form->openSettings();
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_EQ(Panel(1), QStringLiteral("音-オフ"));
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オフ"));
    EXPECT_EQ(Panel(3), QStringLiteral("次回自動偵察まで　4分50秒"));

    WhenModal([](QWidget* w) {  // back on with the same interval: the countdown goes on
        Click(w, "CheckBox2");
        Click(w, "Button1");
    });
    form->openSettings();
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_EQ(Countdown()->elapsedSeconds(), 10);
}

TEST_F(Window, SettingsDialogUntouchedGivesBackEveryOption) {
    Start();
    // Every control away from its default, then every switch the other way round: a control
    // that is not loaded before the dialog shows would hand back its own state.
    Options a{false, false, "7", "a.wav", false, 5, true, true, "b.wav"};
    Options b{true, true, "60", "c.wav", true, 1, false, false, "d.wav"};
    for (const Options& before : {a, b}) {
        WhenModal([](QWidget* w) { Click(w, "Button1"); });
        EXPECT_EQ(form4->ask(before), before);
    }
}

TEST_F(Window, IntervalTextInAnotherSpellingCountsAsAChange) {
    Start({}, "[Form]\nMIN=015\n");
    for (int i = 0; i < 3; ++i) Countdown()->tick();
    WhenModal([](QWidget* w) { Click(w, "Button1"); });
    form->openSettings();
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(15分毎)"));
    EXPECT_EQ(Countdown()->elapsedSeconds(), 0);

    Start({}, "[Form]\nMIN=90\n");
    WhenModal([](QWidget* w) {
        EXPECT_EQ(In<SpinEdit>(w, "CSpinEdit1")->value(), 60);
        Click(w, "Button1");
    });
    form->openSettings();
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(60分毎)"));
}

TEST_F(Window, ChosenSoundStaysAfterCancelAndCancelRestoresTheTimer) {
    Start();
    chooser.answer = QStringLiteral("/tmp/ベル.wav");
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<SettingsDialog*>(w);
        Click(d, "Button3");
        Click(d, "BitBtn1");
        In<SpinEdit>(d, "CSpinEdit1")->setValue(30);
        Click(d, "Button2");
    });
    form->openSettings();
    EXPECT_EQ(In<QLabel>(form4.get(), "SoundFileName")->text(), QStringLiteral("ベル.wav"));
    EXPECT_EQ(chooser.lastTitle, QStringLiteral("音選択"));
    EXPECT_EQ(chooser.lastFilter, QStringLiteral("メディアファイル (*.wav)"));
    EXPECT_EQ(sound.played, QStringList{QStringLiteral("/tmp/ベル.wav")});
    EXPECT_EQ(Panel(2), QStringLiteral("自動偵察-オン(15分毎)"));  // the rest was cancelled
    EXPECT_TRUE(Timer()->isActive());
    // The offline sound is chosen the same way; one the player cannot play is said at once.
    chooser.answer = QStringLiteral("/tmp/鳴り.oga");
    sound.unplayable << chooser.answer;
    WhenModal([](QWidget* w) {
        Click(w, "CheckBox5");
        Click(w, "Button4");
        EXPECT_EQ(In<QLabel>(w, "OfflineSoundFileName")->text(),
                  QStringLiteral("鳴り.oga（再生できないファイルです）"));
        Click(w, "Button2");
    });
    form->openSettings();
    chooser.answer.clear();  // the sound chooser cancelled: the chosen sound stays
    WhenModal([](QWidget* w) {
        auto* d = qobject_cast<SettingsDialog*>(w);
        Click(d, "Button3");
        Click(d, "Button2");
    });
    form->openSettings();
    ASSERT_TRUE(form->close());
    const std::string ini = ReadFileBytes(IniPath());
    EXPECT_NE(ini.find("DF=/tmp/ベル.wav\n"), std::string::npos);
    EXPECT_NE(ini.find("DF2=/tmp/鳴り.oga\n"), std::string::npos);
    EXPECT_NE(ini.find("CBX5=0\n"), std::string::npos);  // the switch was cancelled
}

}  // namespace
