#pragma once
// Small stand-ins for the services that are slow or need a person: a scripted echo facility, a
// message box that answers by itself, a sound card that only counts, a notification area that
// records what it shows.
#include <QIcon>
#include <QStringList>
#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "icmp/echo_service.h"
#include "platform/desktop_notifier.h"
#include "platform/file_chooser.h"
#include "platform/message_box.h"
#include "platform/notification_area.h"
#include "platform/sound.h"

class FakeEchoService : public IEchoService {
public:
    struct Outcome {
        int status = 0;
        std::string from;  // responder; empty means the destination itself
        int delayMs = 0;
        int rttUs = -1;  // the round trip reported, in microseconds; -1: delayMs
    };
    // Addresses without an outcome time out (after the request's timeout, capped at 20 ms).
    void Set(const std::string& dotted, Outcome o) {
        std::lock_guard<std::mutex> l(mutex_);
        outcomes_[dotted] = o;
    }
    void SetName(const std::string& name, const std::string& dotted) {
        std::lock_guard<std::mutex> l(mutex_);
        names_[name] = dotted;
    }
    bool available = true;
    std::atomic<int> opened{0}, closed{0}, sends{0}, lookups{0};
    std::vector<std::string> sentTo() {
        std::lock_guard<std::mutex> l(mutex_);
        return sent_;
    }

    // Set: the facility stopped for good (its helper died) and every send fails at once.
    void Break(const std::string& why) {
        std::lock_guard<std::mutex> l(mutex_);
        broken_ = why;
    }

    bool isAvailable(std::string* why) override;
    std::unique_ptr<IEchoHandle> open() override;
    std::optional<uint32_t> resolve(const std::string& name) override;
    std::string brokenReason() const override {
        std::lock_guard<std::mutex> l(mutex_);
        return broken_;
    }

private:
    friend class FakeEchoHandle;
    std::string broken_;
    mutable std::mutex mutex_;
    std::map<std::string, Outcome> outcomes_;
    std::map<std::string, std::string> names_;
    std::vector<std::string> sent_;
};

class FakeMessageBox : public IMessageBox {
public:
    bool answerYes = true;
    std::deque<bool> answers;  // taken first, one per question; then answerYes
    QStringList questions, informs, errors;
    void inform(QWidget*, const QString&, const QString& text) override { informs << text; }
    bool askYesNo(QWidget*, const QString&, const QString& text) override {
        questions << text;
        if (answers.empty()) return answerYes;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void showError(QWidget*, const QString&, const QString& text) override { errors << text; }
};

class FakeSound : public ISound {
public:
    QStringList played;
    int beeps = 0;
    void playAsyncNoStop(const QString& file) override { played << file; }
    void playWhenFree(const QString& file) override { played << file; }
    void beep() override { ++beeps; }
    // Files the player would refuse, by the name given.
    QStringList unplayable;
    bool canPlay(const QString& file) const override { return !unplayable.contains(file); }
};

class FakeNotificationArea : public INotificationArea {
public:
    bool present = true;  // the desktop has a notification area
    bool accepts = true;  // and it takes the icon
    bool shown = false;
    int iconChanges = 0;
    QIcon icon;
    QString toolTip;
    QMenu* menu = nullptr;
    bool exists() override { return present; }
    bool add() override {
        if (!accepts) return false;
        shown = true;
        return true;
    }
    bool remove() override {
        shown = false;
        return true;
    }
    void setIcon(const QIcon& i) override {
        icon = i;
        ++iconChanges;
    }
    void setToolTip(const QString& t) override { toolTip = t; }
    void setMenu(QMenu* m) override { menu = m; }
    int attentions = 0;
    bool awaited = false;
    void awaitArrival() override { awaited = true; }
    void askAttention(QWidget*) override { ++attentions; }
};

class FakeDesktopNotifier : public IDesktopNotifier {
public:
    QStringList titles, bodies;
    QList<bool> alerts;  // for each notification: sent as an alert
    void notify(const QString& title, const QString& body) override {
        titles << title;
        bodies << body;
        alerts << false;
    }
    void alert(const QString& title, const QString& body) override {
        notify(title, body);
        alerts.back() = true;
    }
};

class FakeFileChooser : public IFileChooser {
public:
    QString answer;
    QString lastTitle, lastFolder, lastFilter;
    QString chooseSaveFile(QWidget* parent, const QString& title, const QString& suggested,
                           const QString& filter) override {
        return chooseOpenFile(parent, title, suggested, filter);
    }
    QString chooseOpenFile(QWidget*, const QString& title, const QString& folder,
                           const QString& filter) override {
        lastTitle = title;
        lastFolder = folder;
        lastFilter = filter;
        return answer;
    }
};
