#include "desktop/tray_icon.h"

#include <QApplication>
#include <QCursor>
#include <QLoggingCategory>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QWidget>
#include <QWindow>
#include <utility>

#include "platform/window_map_state.h"
#include "settings/cp932.h"

// What the window went through on its way to the tray and back (QT_LOGGING_RULES=
// "pingrove.tray.window.debug=true"): the window managers differ here, and a test that sees a
// window come back wrong prints it.
Q_LOGGING_CATEGORY(lcTrayWindow, "pingrove.tray.window", QtWarningMsg)

TrayIcon::TrayIcon(INotificationArea& area, QIcon appIcon, QWidget* window, QObject* parent)
    : QObject(parent), area_(area), appIcon_(std::move(appIcon)), window_(window) {
    QPixmap blank(16, 16);
    blank.fill(Qt::transparent);
    blankIcon_ = QIcon(blank);
    frameTimer_.setInterval(animateInterval_);
    connect(&frameTimer_, &QTimer::timeout, this, &TrayIcon::nextFrame);
    area_.onClick = [this](INotificationArea::Click c) { handleClick(c); };
    area_.onGone = [this] { areaGone(); };
    area_.onArrived = [this] { emit areaArrived(); };
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this] { sessionEnding(); });
        connect(app, &QCoreApplication::aboutToQuit, this, [this] { sessionEnding(); });
    }
}

TrayIcon::~TrayIcon() {
    area_.onClick = nullptr;
    area_.onGone = nullptr;
    area_.onArrived = nullptr;
    if (visible_) area_.remove();
}

void TrayIcon::setVisible(bool v) {
    visible_ = v;
    if (v) {
        area_.setIcon(pictureIcon());
        area_.setToolTip(toolTip_);
        area_.setMenu(menu_);
        sentPicture_ = picture_;
        if (!area_.add()) throw EOutOfResources("Cannot Create System Shell Notification Icon");
    } else if (!area_.remove()) {
        throw EOutOfResources("Cannot Remove System Shell Notification Icon");
    }
}

void TrayIcon::setHint(const QString& t) {
    if (t == hint_ || cp932::byteLength(t) >= 64) return;
    hint_ = t;
    showToolTip();
}

void TrayIcon::setSummary(const QString& line) {
    if (line == summary_) return;
    summary_ = line;
    showToolTip();
}

void TrayIcon::showToolTip() {
    toolTip_ = summary_.isEmpty() ? hint_ : hint_ + QLatin1Char('\n') + summary_;
    if (visible_) area_.setToolTip(toolTip_);
}

void TrayIcon::setMark(const QIcon& mark) {
    if (mark.cacheKey() == mark_.cacheKey() || (mark.isNull() && mark_.isNull())) return;
    mark_ = mark;
    marked_.clear();
    sentPicture_ = -3;  // the same picture, drawn otherwise
    update();
}

void TrayIcon::setAnimating(bool v) {
    if (!icons_) return;
    animate_ = v;
    if (v) {
        frameTimer_.start();
    } else {
        frameTimer_.stop();
    }
}

void TrayIcon::setAnimateInterval(int ms) {
    animateInterval_ = ms;
    frameTimer_.setInterval(ms);
}

void TrayIcon::setIconIndex(int i) {
    iconIndex_ = i;
    picture_ = (icons_ && i >= 0 && i < icons_->size()) ? i : -2;
    update();
}

void TrayIcon::nextFrame() {
    const int n = icons_ ? static_cast<int>(icons_->size()) : 0;
    setIconIndex(iconIndex_ < n ? iconIndex_ + 1 : 0);
}

QIcon TrayIcon::pictureIcon() const {
    const QIcon& plain = picture_ == -1 ? appIcon_
                         : picture_ < 0 ? blankIcon_
                                        : (*icons_)[picture_];
    if (mark_.isNull()) return plain;
    QIcon& marked = marked_[picture_];
    if (!marked.isNull()) return marked;
    // At the sizes panels draw tray icons (22 and 44 px go to StatusNotifierItem hosts).
    for (const int side : {16, 22, 24, 32, 44, 48}) {
        QPixmap p(side, side);
        p.fill(Qt::transparent);
        QPainter painter(&p);
        plain.paint(&painter, p.rect());
        const int m = side * 9 / 16;
        mark_.paint(&painter, QRect(side - m, side - m, m, m));
        painter.end();
        marked.addPixmap(p);
    }
    return marked;
}

void TrayIcon::update() {
    // Hosts of the StatusNotifierItem protocol redraw on every new picture: send only changes.
    if (!visible_ || sentPicture_ == picture_) return;
    area_.setIcon(pictureIcon());
    sentPicture_ = picture_;
}

void TrayIcon::restore() {
    if (window_) {
        const bool away = window_->isHidden() || window_->isMinimized();
        qCDebug(lcTrayWindow) << "restore: hidden" << window_->isHidden() << "state"
                              << window_->windowState() << "maximised before" << restoreMaximized_
                              << "pending" << int(afterMap_) << "at" << window_->geometry()
                              << "normal place" << normalGeometry_;
        // A second click while the window is on its way back (or already back) only raises it:
        // shown again maximised before it is mapped, openbox would map it maximised and drop
        // the state at the normal geometry that follows, and a window the user un-maximised
        // since stays as the user left it.
        if (!away) {
            window_->raise();
            window_->activateWindow();
            emit restored();
            return;
        }
        // A window minimised once is marked to start iconic; shown from the tray it must not be.
        mapNormallyWhenShown(*window_);
        // One minimised to the task bar keeps its own state; the tray's is what it had going in.
        const bool maximise = window_->isHidden()
                                  ? restoreMaximized_
                                  : bool(window_->windowState() & Qt::WindowMaximized);
        if (maximise && window_->isHidden() && normalGeometry_.isValid()) {
            // Mapped in the normal state at its normal place first, then maximised as a click on
            // the title bar's button would: xfwm4 and KWin give back the place a window was
            // mapped at when it is un-maximised, and openbox drops the maximised state of a
            // window mapped maximised that is then given its normal geometry. The place reaches
            // the window system before the state does: taking back the minimised state maps the
            // window at once, where the window manager left it when it was hidden (openbox puts
            // the client at the frame's corner), and openbox gives back that place at the
            // un-maximise even when the window was moved right after it was mapped.
            window_->setGeometry(normalGeometry_);
            placeBeforeMapping(*window_, normalGeometry_);
            window_->showNormal();
            whenMapped(AfterMap::Maximize);
        } else if (maximise) {
            window_->showMaximized();
        } else {
            window_->showNormal();
        }
        window_->raise();
        window_->activateWindow();
    }
    emit restored();
}

void TrayIcon::minimize() {
    // Hiding the window takes its task bar entry away too.
    if (window_) window_->hide();
    emit minimized();
}

void TrayIcon::windowMinimized(bool wasMaximized, const QRect& normalGeometry) {
    if (!visible_) return;
    normalGeometry_ = normalGeometry;
    restoreMaximized_ = wasMaximized || (window_ && window_->windowState() & Qt::WindowMaximized);
    qCDebug(lcTrayWindow) << "minimised: maximised" << restoreMaximized_ << "normal place"
                          << normalGeometry;
    // Let the window finish its own state change before it is hidden.
    QTimer::singleShot(0, this, [this] {
        if (visible_ && window_ && window_->isMinimized()) minimize();
    });
}

void TrayIcon::showMenu() {
    if (!menu_) return;
    if (QWidget* active = QApplication::activeWindow()) active->activateWindow();
    menu_->popup(QCursor::pos());
}

void TrayIcon::handleClick(INotificationArea::Click click) {
    const TrayMouse m = click == INotificationArea::Click::LeftUp    ? TrayMouse::LeftClickUp
                        : click == INotificationArea::Click::RightUp ? TrayMouse::RightClickUp
                                                                     : TrayMouse::None;
    if (m == TrayMouse::None) return;
    if (restoreOn_ == m) restore();
    if (menuOn_ == m) showMenu();
}

void TrayIcon::sessionEnding() {
    if (visible_) area_.remove();
    visible_ = false;
}

void TrayIcon::areaGone() {
    if (!visible_) return;
    visible_ = false;
    if (!window_ || !window_->isHidden()) return;
    // Back on the task bar, minimised, as an ordinary window. Shown first and minimised once it
    // is on screen: minimised while still hidden, X11 window managers map it with the hints of
    // its last normal showing, and it comes back normal.
    mapNormallyWhenShown(*window_);
    window_->showNormal();
    whenMapped(AfterMap::Minimize);
}

void TrayIcon::whenMapped(AfterMap then) {
    afterMap_ = then;
    if (QWindow* w = window_ ? window_->windowHandle() : nullptr) w->installEventFilter(this);
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event) {
    auto* w = qobject_cast<QWindow*>(watched);
    if (event->type() == QEvent::Expose && w && w->isExposed()) {
        w->removeEventFilter(this);
        QTimer::singleShot(0, this, [this, then = std::exchange(afterMap_, AfterMap::Nothing)] {
            qCDebug(lcTrayWindow) << "mapped: then" << int(then) << "hidden"
                                  << (window_ && window_->isHidden()) << "state"
                                  << (window_ ? window_->windowState() : Qt::WindowNoState) << "at"
                                  << (window_ ? window_->geometry() : QRect()) << "frame"
                                  << (window_ ? window_->frameGeometry() : QRect());
            if (!window_ || window_->isHidden()) return;
            if (then == AfterMap::Minimize && !visible_) window_->showMinimized();
            if (then == AfterMap::Maximize && !window_->isMinimized()) window_->showMaximized();
        });
    }
    return false;
}

void TrayIcon::notifyOnline() {
    if (!visible_ && window_ && window_->isMinimized()) area_.askAttention(window_);
}
