#pragma once
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "platform/notification_area.h"

class StatusNotifierItem;

// The icon speaks StatusNotifierItem when a host of it is registered on the session bus, else
// XEmbed through QSystemTrayIcon, chosen again at every add: a panel that started after the
// program, or one of the other kind, is still found. XEmbed is chosen only once the watcher has
// answered that no host is registered: Qt's icon would otherwise be a StatusNotifierItem of its
// own, whose clicks never reach us. Nothing here waits for another process:
// whether a StatusNotifierItem host is registered is what the watcher last answered, kept current
// by its signals and the change of its name's owner and asked again without waiting. A watcher
// that does not answer (a panel being restarted, a stopped process) is "no answer yet", and
// "gone" only after two questions in a row went unanswered or when its name loses its owner; one
// that answers with an error (it lacks the property, it failed) has no host at once. A
// StatusNotifierItem host shows the exported menu itself and reports a click once the button is up.
// Qt's XEmbed icon acts on the press and would open the menu then, so its presses are held back
// here and the click is reported when the button comes up.
class QtNotificationArea : public QObject, public INotificationArea {
    Q_OBJECT
public:
    // `id` is the item's stable ASCII name for StatusNotifierItem hosts, `title` what they show.
    QtNotificationArea(QString id, QString title, QObject* parent = nullptr);
    ~QtNotificationArea() override;
    bool exists() override;
    bool add() override;
    bool remove() override;
    void setIcon(const QIcon& icon) override;
    void setToolTip(const QString& text) override;
    void setMenu(QMenu* menu) override;
    void askAttention(QWidget* window) override;
    void awaitArrival() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // Asks the watcher, without waiting, whether a host is registered.
    void askHostRegistered();

private:
    void report(Click click);
    void checkStillThere();
    // Starts following the watcher (once, at the first need of it).
    void listen();
    // `replied`: the watcher (or the bus, for a watcher that is not there) answered.
    void answered(bool replied, bool registered);
    void gone();
    QSystemTrayIcon& xembedIcon();
    StatusNotifierItem& item();

    QString id_;
    QString title_;
    // Made when first shown: Qt settles on a protocol when its icon is made.
    std::unique_ptr<QSystemTrayIcon> tray_;
    std::unique_ptr<StatusNotifierItem> item_;
    bool statusNotifier_ = false;  // which of the two is shown
    QIcon iconPicture_;
    QString toolTip_;
    QMenu* menu_ = nullptr;
    // While the icon is shown, whether the notification area is still there: neither protocol
    // tells a program that its host has gone.
    QTimer presence_;
    bool awaiting_ = false;
    bool listening_ = false;       // to the watcher's coming and its hosts' registrations
    bool hostRegistered_ = false;  // as the watcher last said
    bool watcherHeard_ = false;    // it (or the bus, for no watcher) has answered once
    bool asking_ = false;          // a question is under way: none is stacked on it
    bool askAgain_ = false;        // but one follows it
    int unanswered_ = 0;           // questions in a row that got no answer
};
