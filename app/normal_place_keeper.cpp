#include "app/normal_place_keeper.h"

#include <QEvent>
#include <QScreen>
#include <QWidget>

namespace {
// Where the client area lies inside the frame.
QPoint FrameOffsetOf(const QWidget& w) {
    return w.geometry().topLeft() - w.pos();
}
}  // namespace

NormalPlaceKeeper::NormalPlaceKeeper(QWidget& window)
    : QObject(&window), window_(window), placed_(window.geometry()) {
    settle_.setSingleShot(true);
    settle_.setInterval(0);
    connect(&settle_, &QTimer::timeout, this, &NormalPlaceKeeper::take);
    window.installEventFilter(this);
}

bool NormalPlaceKeeper::normalOnScreen() const {
    return window_.isVisible() &&
           !(window_.windowState() &
             (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen));
}

QRect NormalPlaceKeeper::client() const {
    return client_.isValid() ? client_ : placed_.translated(frameOffset_);
}

QRect NormalPlaceKeeper::place() const {
    if (normalOnScreen()) return QRect(window_.pos(), window_.size());
    return client_.isValid() ? client_.translated(-frameOffset_) : placed_;
}

bool NormalPlaceKeeper::eventFilter(QObject*, QEvent* event) {
    const QEvent::Type t = event->type();
    if (t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show ||
        t == QEvent::WindowStateChange)
        settle_.start();
    return false;
}

void NormalPlaceKeeper::take() {
    // A minimised window keeps the frame of the normal state; a maximised one has another.
    const Qt::WindowStates s = window_.windowState();
    if (!window_.isVisible() || (s & (Qt::WindowMaximized | Qt::WindowFullScreen))) return;
    frameOffset_ = FrameOffsetOf(window_);
    if (s & Qt::WindowMinimized) return;
    // A frame over the whole work area is the first half of a maximise whose second half (the
    // state) has not come yet, even a turn or two of the event loop later on a busy machine.
    const QScreen* screen = window_.screen();
    if (screen && window_.frameGeometry().contains(screen->availableGeometry())) return;
    client_ = window_.geometry();
}
