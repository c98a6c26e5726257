#pragma once
// A QMenu of plain entries (no submenus) as a com.canonical.dbusmenu object, which the hosts of
// StatusNotifierItem show as the item's menu by themselves. An entry's id is its place in the
// menu plus one (0 is the menu itself); a change of the menu's entries is announced as a new
// layout, and a click runs the entry's action once the call has been answered. A call that
// names no entry of the menu is answered with an error, as libdbusmenu's own menus answer it.
#include <QDBusContext>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QVariantMap>

class DBusMenuAdaptor;

// The context of a call reaches the object an adaptor belongs to, not the adaptor: the error
// replies go out through the exporter.
class DBusMenuExporter : public QObject, public QDBusContext {
    Q_OBJECT
public:
    DBusMenuExporter(QMenu* menu, QObject* parent);
    QMenu* menu() const { return menu_; }

    // The entry with this id, or null.
    QAction* action(int id) const;
    // The entries' ids in menu order.
    QList<int> ids() const;
    // Whether the id names the menu (0) or one of its entries.
    bool knows(int id) const { return id == 0 || action(id); }
    // What a host shows of an entry ("label", "enabled", "visible", "type"), only the values
    // that differ from the protocol's defaults.
    static QVariantMap propertiesOf(const QAction& action);
    unsigned revision() const { return revision_; }
    // Runs the entry's action after the caller's reply has gone.
    void click(int id);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QMenu> menu_;
    DBusMenuAdaptor* adaptor_;
    unsigned revision_ = 1;
    bool layoutPending_ = false;
};
