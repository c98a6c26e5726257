#include "app/image_lists.h"

#include <QGuiApplication>
#include <QIconEngine>
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

// Drawn into pixmaps of the given sizes at the first use of the picture, then every use (and every
// tray frame) is the same crisp picture. Drawing the program's twenty pictures at start cost more
// than a sixth of it, before the window could show; most of them are first painted after it shows,
// and some (the tray's, the dialogs') in many sessions never.
class SvgIconEngine final : public QIconEngine {
public:
    SvgIconEngine(QString path, std::initializer_list<int> sizes)
        : path_(std::move(path)), sizes_(sizes) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
               QIcon::State state) override {
        drawn().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return drawn().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override {
        return drawn().pixmap(size, scale, mode, state);
    }
    // Asked for by window managers and trays before anything is drawn: the sizes are known.
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        if (mode != QIcon::Normal || state != QIcon::Off) return {};
        QList<QSize> sizes;
        for (int size : sizes_) sizes.append(QSize(size, size));
        return sizes;
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("pingrove-svg"); }
    QIconEngine* clone() const override { return new SvgIconEngine(*this); }

private:
    const QIcon& drawn() {
        if (!drawn_.isNull()) return drawn_;
        QSvgRenderer svg(path_);
        for (int size : sizes_) {
            QPixmap pm(size, size);
            pm.fill(Qt::transparent);
            QPainter p(&pm);
            svg.render(&p);
            p.end();
            drawn_.addPixmap(pm);
        }
        return drawn_;
    }

    QString path_;
    QList<int> sizes_;
    QIcon drawn_;
};

QIcon Svg(const QString& name, std::initializer_list<int> sizes = kSmallSizes) {
    static const bool initialised = (InitPictures(), true);
    (void)initialised;
    return QIcon(
        new SvgIconEngine(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"), sizes));
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
QIcon troubleMark() {
    return Svg("tray_trouble", kAllSizes);
}
QIcon programIcon() {
    // Drawn once: the application's icon, once set, is the same picture.
    const QIcon set = QGuiApplication::windowIcon();
    return set.isNull() ? Svg("pingrove", kAllSizes) : set;
}

}  // namespace images
