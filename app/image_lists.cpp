#include "app/image_lists.h"

#include <QGuiApplication>
#include <QPainter>
#include <QSvgRenderer>

static void InitPictures() {
    Q_INIT_RESOURCE(resources);
}

namespace {

// The sizes a picture is drawn in: the program's icon and the tray's frames for window managers
// and panels of every size, the list's and the menus' pictures at 16 px (32 px on a HiDPI screen).
const std::initializer_list<int> kAllSizes = {16, 24, 32, 48, 64};
const std::initializer_list<int> kSmallSizes = {16, 32};

// Rendered to pixmaps once, so every use (and every tray frame) is the same crisp picture.
QIcon Svg(const QString& name, std::initializer_list<int> sizes = kSmallSizes) {
    static const bool initialised = (InitPictures(), true);
    (void)initialised;
    QSvgRenderer svg(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    QIcon icon;
    for (int size : sizes) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        svg.render(&p);
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

}  // namespace

namespace images {

QVector<QIcon> rowStateIcons() {
    return {Svg("list_unprobed"), Svg("list_offline"), Svg("list_online"), Svg("list_probing")};
}
QVector<QIcon> trayFramesFor98() {
    return {Svg("tray_face", kAllSizes), Svg("tray_blank", kAllSizes)};
}
QVector<QIcon> trayFrames() {
    return {Svg("tray_face", kAllSizes)};
}
QVector<QIcon> menuPictures() {
    return {Svg("menu_select_scan"), Svg("menu_all_scan"), Svg("menu_add"), Svg("menu_update"),
            Svg("menu_delete")};
}
QIcon stopGlyph() {
    return Svg("stop");
}
QIcon playGlyph() {
    return Svg("play");
}
QIcon programIcon() {
    // Drawn once: the application's icon, once set, is the same picture.
    const QIcon set = QGuiApplication::windowIcon();
    return set.isNull() ? Svg("pingrove", kAllSizes) : set;
}

}  // namespace images
