#include "platform/dbus_menu_exporter.h"

#include <QAction>
#include <QActionEvent>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QMenu>
#include <QTimer>

// An entry with its children, as GetLayout returns it: (ia{sv}av), each child in a variant.
struct DBusMenuLayout {
    int id = 0;
    QVariantMap properties;
    QList<DBusMenuLayout> children;
};
struct DBusMenuItem {
    int id = 0;
    QVariantMap properties;
};
struct DBusMenuItemKeys {
    int id = 0;
    QStringList names;
};
struct DBusMenuEvent {
    int id = 0;
    QString eventId;
    QDBusVariant data;
    uint timestamp = 0;
};
using DBusMenuItems = QList<DBusMenuItem>;
using DBusMenuItemKeysList = QList<DBusMenuItemKeys>;
using DBusMenuEvents = QList<DBusMenuEvent>;
Q_DECLARE_METATYPE(DBusMenuLayout)
Q_DECLARE_METATYPE(DBusMenuItem)
Q_DECLARE_METATYPE(DBusMenuItemKeys)
Q_DECLARE_METATYPE(DBusMenuEvent)

QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuLayout& l) {
    a.beginStructure();
    a << l.id << l.properties;
    a.beginArray(qMetaTypeId<QDBusVariant>());
    for (const DBusMenuLayout& child : l.children) a << QDBusVariant(QVariant::fromValue(child));
    a.endArray();
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuLayout& l) {
    a.beginStructure();
    a >> l.id >> l.properties;
    a.beginArray();
    l.children.clear();
    while (!a.atEnd()) {
        QDBusVariant v;
        a >> v;
        DBusMenuLayout child;
        v.variant().value<QDBusArgument>() >> child;
        l.children << child;
    }
    a.endArray();
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItem& i) {
    a.beginStructure();
    a << i.id << i.properties;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItem& i) {
    a.beginStructure();
    a >> i.id >> i.properties;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuItemKeys& k) {
    a.beginStructure();
    a << k.id << k.names;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuItemKeys& k) {
    a.beginStructure();
    a >> k.id >> k.names;
    a.endStructure();
    return a;
}
QDBusArgument& operator<<(QDBusArgument& a, const DBusMenuEvent& e) {
    a.beginStructure();
    a << e.id << e.eventId << e.data << e.timestamp;
    a.endStructure();
    return a;
}
const QDBusArgument& operator>>(const QDBusArgument& a, DBusMenuEvent& e) {
    a.beginStructure();
    a >> e.id >> e.eventId >> e.data >> e.timestamp;
    a.endStructure();
    return a;
}

namespace {

QVariantMap Filtered(const QVariantMap& all, const QStringList& names) {
    if (names.isEmpty()) return all;
    QVariantMap out;
    for (const QString& n : names)
        if (all.contains(n)) out.insert(n, all.value(n));
    return out;
}

}  // namespace

// The com.canonical.dbusmenu interface of the exporter's object.
class DBusMenuAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version)
    Q_PROPERTY(QString TextDirection READ textDirection)
    Q_PROPERTY(QString Status READ status)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath)
public:
    explicit DBusMenuAdaptor(DBusMenuExporter* exporter)
        : QDBusAbstractAdaptor(exporter), exporter_(exporter) {}
    uint version() const { return 3; }
    QString textDirection() const { return QStringLiteral("ltr"); }
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList& propertyNames,
                   DBusMenuLayout& layout) {
        layout = {};
        layout.id = parentId;
        if (parentId == 0) {
            layout.properties.insert(QStringLiteral("children-display"),
                                     QStringLiteral("submenu"));
            if (recursionDepth != 0)
                for (int id : exporter_->ids())
                    layout.children << DBusMenuLayout{id, propertiesOf(id, propertyNames), {}};
        } else if (exporter_->action(parentId)) {
            layout.properties = propertiesOf(parentId, propertyNames);
        }
        return exporter_->revision();
    }
    DBusMenuItems GetGroupProperties(const QList<int>& ids, const QStringList& propertyNames) {
        DBusMenuItems items;
        for (int id : ids)
            if (exporter_->action(id)) items << DBusMenuItem{id, propertiesOf(id, propertyNames)};
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        return QDBusVariant(propertiesOf(id, {name}).value(name));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (eventId == QLatin1String("clicked")) exporter_->click(id);
    }
    QList<int> EventGroup(const DBusMenuEvents& events) {
        QList<int> unknown;
        for (const DBusMenuEvent& e : events) {
            if (!exporter_->action(e.id)) {
                unknown << e.id;
            } else if (e.eventId == QLatin1String("clicked")) {
                exporter_->click(e.id);
            }
        }
        return unknown;
    }
    bool AboutToShow(int) { return false; }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        idErrors.clear();
        for (int id : ids)
            if (id != 0 && !exporter_->action(id)) idErrors << id;
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const DBusMenuItems& updated, const DBusMenuItemKeysList& removed);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    QVariantMap propertiesOf(int id, const QStringList& names) const {
        const QAction* a = exporter_->action(id);
        return a ? Filtered(DBusMenuExporter::propertiesOf(*a), names) : QVariantMap();
    }
    DBusMenuExporter* exporter_;
};

DBusMenuExporter::DBusMenuExporter(QMenu* menu, QObject* parent)
    : QObject(parent), menu_(menu) {
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<DBusMenuItems>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<DBusMenuItemKeysList>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<DBusMenuEvents>();
        return true;
    }();
    (void)registered;
    adaptor_ = new DBusMenuAdaptor(this);
    menu->installEventFilter(this);
}

QAction* DBusMenuExporter::action(int id) const {
    if (!menu_) return nullptr;
    const QList<QAction*> all = menu_->actions();
    return id >= 1 && id <= all.size() ? all[id - 1] : nullptr;
}

QList<int> DBusMenuExporter::ids() const {
    QList<int> ids;
    const qsizetype n = menu_ ? menu_->actions().size() : 0;
    for (int id = 1; id <= n; ++id) ids << id;
    return ids;
}

QVariantMap DBusMenuExporter::propertiesOf(const QAction& action) {
    QVariantMap p;
    if (action.isSeparator()) {
        p.insert(QStringLiteral("type"), QStringLiteral("separator"));
    } else {
        // The protocol's mnemonic is an underscore where Qt's is an ampersand.
        QString label = action.text();
        label.replace(QLatin1Char('_'), QLatin1String("__"));
        label.replace(QLatin1String("&&"), QLatin1String("\x01"));
        label.replace(QLatin1Char('&'), QLatin1Char('_'));
        label.replace(QLatin1Char('\x01'), QLatin1Char('&'));
        p.insert(QStringLiteral("label"), label);
    }
    if (!action.isEnabled()) p.insert(QStringLiteral("enabled"), false);
    if (!action.isVisible()) p.insert(QStringLiteral("visible"), false);
    return p;
}

void DBusMenuExporter::click(int id) {
    QPointer<QAction> a = action(id);
    if (!a) return;
    QTimer::singleShot(0, this, [a] {
        if (a && a->isEnabled()) a->trigger();
    });
}

bool DBusMenuExporter::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type t = event->type();
    if ((t == QEvent::ActionAdded || t == QEvent::ActionRemoved || t == QEvent::ActionChanged) &&
        !layoutPending_) {
        // Several changes in one go are one new layout.
        layoutPending_ = true;
        QTimer::singleShot(0, this, [this] {
            layoutPending_ = false;
            emit adaptor_->LayoutUpdated(++revision_, 0);
        });
    }
    return false;
}

#include "dbus_menu_exporter.moc"
