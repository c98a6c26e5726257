#include "app/image_lists.h"

#include <QPainter>
#include <QSvgRenderer>

static void InitPictures() {
    Q_INIT_RESOURCE(resources);
}

namespace {

// Rendered to pixmaps once, so every use (and every tray frame) is the same crisp picture.
QIcon Svg(const QString& name) {
    static const bool initialised = (InitPictures(), true);
    (void)initialised;
    QSvgRenderer svg(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64}) {
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
    return {Svg("tray_face"), Svg("tray_blank")};
}
QVector<QIcon> trayFrames() {
    return {Svg("tray_face")};
}
QVector<QIcon> menuPictures() {
    return {Svg("menu_select_scan"), Svg("menu_all_scan"), Svg("menu_add"), Svg("menu_update"),
            Svg("menu_delete")};
}
QIcon stopGlyph() {
    return Svg("stop");
}
QIcon programIcon() {
    return Svg("pingrove");
}

}  // namespace images
