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

// What a property is when an entry leaves it out.
const QVariantMap& Defaults() {
    static const QVariantMap defaults{{QStringLiteral("type"), QStringLiteral("standard")},
                                      {QStringLiteral("label"), QString()},
                                      {QStringLiteral("enabled"), true},
                                      {QStringLiteral("visible"), true},
                                      {QStringLiteral("children-display"), QString()}};
    return defaults;
}

}  // namespace

// The com.canonical.dbusmenu interface of the exporter's object. The slots and signals spell out
// the types as Qt registered them (QList<DBusMenuEvent>): QtDBus looks a parameter's type up by
// the name written here and leaves out of the interface, without a word, a member whose type has
// a name it does not know, such as an alias.
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
        layout = {parentId, propertiesOf(parentId, propertyNames), {}};
        if (!exporter_->knows(parentId)) unknown(QList<int>{parentId});
        if (parentId == 0 && recursionDepth != 0)
            for (int id : exporter_->ids())
                layout.children << DBusMenuLayout{id, propertiesOf(id, propertyNames), {}};
        return exporter_->revision();
    }
    // No ids asks for every item.
    QList<DBusMenuItem> GetGroupProperties(const QList<int>& ids,
                                           const QStringList& propertyNames) {
        QList<DBusMenuItem> items;
        for (int id : ids.isEmpty() ? QList<int>{0} + exporter_->ids() : ids)
            if (exporter_->knows(id)) items << DBusMenuItem{id, propertiesOf(id, propertyNames)};
        return items;
    }
    QDBusVariant GetProperty(int id, const QString& name) {
        const QVariant value = propertiesOf(id, {}).value(name, Defaults().value(name));
        if (!exporter_->knows(id)) {
            unknown(QList<int>{id});
        } else if (!value.isValid()) {
            exporter_->sendErrorReply(QDBusError::InvalidArgs,
                                      QStringLiteral("No property '%1'").arg(name));
        }
        return QDBusVariant(value.isValid() ? value : QVariant(QString()));
    }
    void Event(int id, const QString& eventId, const QDBusVariant&, uint) {
        if (!exporter_->knows(id))
            unknown(QList<int>{id});
        else if (eventId == QLatin1String("clicked"))
            exporter_->click(id);
    }
    // Only "clicked" acts; "hovered", "opened" and "closed" are taken and do nothing.
    QList<int> EventGroup(const QList<DBusMenuEvent>& events) {
        QList<int> ids;
        for (const DBusMenuEvent& e : events) ids << e.id;
        const QList<int> idErrors = unknown(ids);
        for (const DBusMenuEvent& e : events)
            if (e.eventId == QLatin1String("clicked") && !idErrors.contains(e.id))
                exporter_->click(e.id);
        return idErrors;
    }
    bool AboutToShow(int id) {
        unknown(QList<int>{id});
        return false;  // the layout is announced when it changes, never made at the last moment
    }
    QList<int> AboutToShowGroup(const QList<int>& ids, QList<int>& idErrors) {
        idErrors = unknown(ids);
        return {};
    }

signals:
    void ItemsPropertiesUpdated(const QList<DBusMenuItem>& updatedProps,
                                const QList<DBusMenuItemKeys>& removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

private:
    QVariantMap propertiesOf(int id, const QStringList& names) const {
        if (id == 0)
            return Filtered({{QStringLiteral("children-display"), QStringLiteral("submenu")}},
                            names);
        const QAction* a = exporter_->action(id);
        return a ? Filtered(DBusMenuExporter::propertiesOf(*a), names) : QVariantMap();
    }
    // The ids that name nothing; when none of them names anything the caller gets an error.
    QList<int> unknown(const QList<int>& ids) {
        QList<int> out;
        for (int id : ids)
            if (!exporter_->knows(id)) out << id;
        if (!ids.isEmpty() && out.size() == ids.size()) {
            QStringList names;
            for (int id : out) names << QString::number(id);
            exporter_->sendErrorReply(QDBusError::InvalidArgs,
                                      QStringLiteral("No menu item %1").arg(names.join(u',')));
        }
        return out;
    }
    DBusMenuExporter* exporter_;
};

DBusMenuExporter::DBusMenuExporter(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {
    static const bool registered = [] {
        qDBusRegisterMetaType<DBusMenuLayout>();
        qDBusRegisterMetaType<DBusMenuItem>();
        qDBusRegisterMetaType<QList<DBusMenuItem>>();
        qDBusRegisterMetaType<DBusMenuItemKeys>();
        qDBusRegisterMetaType<QList<DBusMenuItemKeys>>();
        qDBusRegisterMetaType<DBusMenuEvent>();
        qDBusRegisterMetaType<QList<DBusMenuEvent>>();
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
