#include "app/window_placement.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "settings/settings_file.h"

QRect reachableGeometry(const QRect& wanted, const QList<QRect>& screens) {
    if (screens.isEmpty()) return wanted;
    // The title bar must be on some screen, or the user cannot take hold of the window.
    constexpr int kGrip = 40;
    for (const QRect& a : screens) {
        const QRect titleBar(wanted.left(), wanted.top(), wanted.width(), kGrip);
        if (wanted.width() <= a.width() && wanted.height() <= a.height() &&
            wanted.top() >= a.top() && a.intersected(titleBar).width() >= kGrip)
            return wanted;
    }
    const QRect* best = &screens.first();
    auto distance = [&](const QRect& a) {
        const QPoint d = a.center() - wanted.topLeft();
        return static_cast<qint64>(d.x()) * d.x() + static_cast<qint64>(d.y()) * d.y();
    };
    for (const QRect& a : screens)
        if (distance(a) < distance(*best)) best = &a;
    QRect r(wanted.topLeft(), wanted.size().boundedTo(best->size()));
    r.moveLeft(std::clamp(r.left(), best->left(), best->right() - r.width() + 1));
    r.moveTop(std::clamp(r.top(), best->top(), best->bottom() - r.height() + 1));
    return r;
}

namespace {

// Learns a dialog's frame while the window manager has it framed on screen. Read while the dialog
// is hidden, the frame is whatever the window system last guessed, and a dialog placed by that
// guess came back a few pixels off now and then.
class FrameMemory : public QObject {
public:
    explicit FrameMemory(QWidget* dialog) : QObject(dialog), dialog_(dialog) {
        setObjectName(QStringLiteral("FrameMemory"));
        dialog->installEventFilter(this);
    }
    // The frame's extra size, or an empty size before the dialog was ever framed.
    QSize frame() const { return frame_; }

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        const QEvent::Type t = e->type();
        if ((t == QEvent::Move || t == QEvent::Resize || t == QEvent::Show) &&
            dialog_->isVisible() && dialog_->windowHandle() &&
            dialog_->windowHandle()->isExposed()) {
            const QSize f = dialog_->frameGeometry().size() - dialog_->size();
            if (!f.isEmpty()) frame_ = f;
        }
        return false;
    }

private:
    QWidget* dialog_;
    QSize frame_;
};

}  // namespace

void centreOver(QWidget* dialog, const QWidget* window, const QRect& area) {
    auto* memory =
        dialog->findChild<FrameMemory*>(QStringLiteral("FrameMemory"), Qt::FindDirectChildrenOnly);
    if (!memory) memory = new FrameMemory(dialog);
    QSize frame = memory->frame();
    if (frame.isEmpty()) frame = window->frameGeometry().size() - window->size();
    QRect r(QPoint(), dialog->size() + frame);
    r.moveCenter(area.center());
    dialog->move(r.topLeft());
}

void centreOver(QWidget* dialog, const QWidget* window) {
    centreOver(dialog, window, window->frameGeometry());
}

void placeWindow(QMainWindow& window, const WindowSettings& s) {
    QList<QRect> screens;
    for (QScreen* screen : QGuiApplication::screens()) screens << screen->availableGeometry();
    const QRect r = reachableGeometry(
        QRect(s.left, s.top, std::max(1, s.width), std::max(1, s.height)), screens);
    window.move(r.topLeft());
    window.resize(r.size());
}

void recordPlace(const QMainWindow& window, const QRect& normalPlace, bool inTray,
                 WindowSettings& s) {
    s.left = normalPlace.left();
    s.top = normalPlace.top();
    s.width = normalPlace.width();
    s.height = normalPlace.height();
    s.windowState = (inTray || window.isMinimized()) ? 1 : (window.isMaximized() ? 2 : 0);
}
