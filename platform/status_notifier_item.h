#pragma once
// The program's icon as a StatusNotifierItem on the session bus, for the hosts of KDE Plasma,
// LXQt, Xfce's plugin and GNOME's AppIndicator extension. Qt's own item takes its Id and its
// Title from the application's name, puts the whole tooltip into the tooltip's title and sends
// the pixmaps of every size on each new frame. Hosts key the user's choices ("always show") by the
// Id, so this one keeps an ASCII Id that never changes, shows the program's name as the title and
// the hint as the tooltip's description, and sends two small pixmaps a frame.
#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>

class QDBusServiceWatcher;
class QMenu;
class DBusMenuExporter;
class StatusNotifierItemAdaptor;

class StatusNotifierItem : public QObject {
    Q_OBJECT
public:
    enum class Request { Activate, ContextMenu, SecondaryActivate };

    StatusNotifierItem(QString id, QString title, QObject* parent = nullptr);
    ~StatusNotifierItem() override;

    // Puts the item on the bus and registers it with the watcher once its name is granted, all
    // without waiting; false when the connection refuses the item's object.
    bool show();
    void hide();

    void setIcon(const QIcon& icon);
    // The tooltip's description; a first line that is the title is not repeated.
    void setToolTip(const QString& text);
    void setMenu(QMenu* menu);
    // A host's request: a click on the item, or a menu the host cannot show by itself.
    std::function<void(Request)> onRequest;

    // What the hosts read.
    const QString& id() const { return id_; }
    const QString& title() const { return title_; }
    const QString& toolTip() const { return toolTip_; }
    const QIcon& icon() const { return icon_; }
    bool hasMenu() const;
    // The pixmap sizes sent: what a panel of 22 px draws and its double for a HiDPI screen.
    static constexpr int kSizes[] = {22, 44};

private:
    void registerWithWatcher();

    QString id_;
    QString title_;
    QString toolTip_;
    QIcon icon_;
    QString service_;
    bool shown_ = false;
    quint64 showings_ = 0;                      // an answer to an earlier show counts for nothing
    StatusNotifierItemAdaptor* adaptor_;        // owned as a child
    DBusMenuExporter* menuExporter_ = nullptr;  // a child, exported beside the item
    QDBusServiceWatcher* watcher_;
};
