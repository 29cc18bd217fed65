#include "platform/window_placement.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace kormoszi {

namespace {

// The frame last seen on one of our windows: all of them get the same decoration.
QMargins lastFrame;

// The frame around the window, once the window manager has framed it.
QMargins ReportedFrame(const QWidget* window) {
    const QWindow* handle = window->windowHandle();
    return handle != nullptr ? handle->frameMargins() : QMargins();
}

FrameReader frameReader = ReportedFrame;

QMargins FrameOf(const QWidget* window) {
    return frameReader(window);
}

QMargins EstimatedFrame(const QWidget* window) {
    const QMargins own = FrameOf(window);
    if (!own.isNull())
        return own;
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible() || other->windowType() == Qt::Popup)
            continue;
        const QMargins frame = FrameOf(other);
        // A frame of a normal decoration, not of some odd window.
        if (!frame.isNull() && frame.left() + frame.right() < 50 &&
            frame.top() + frame.bottom() < 100)
            return frame;
    }
    return lastFrame;
}

// Places the frame's corner at the centred point by placing the window inside it. The
// window's own position is what every platform takes alike: under X11 Qt asks for static
// gravity, so the window manager puts the window itself, not its frame, where it was
// asked to go.
void MoveCentred(QWidget* window, const QRect& area, const QMargins& frame) {
    const QSize outer =
        window->size() + QSize(frame.left() + frame.right(), frame.top() + frame.bottom());
    const QPoint corner(area.x() + std::max(0, (area.width() - outer.width()) / 2),
                        area.y() + std::max(0, (area.height() - outer.height()) / 2));
    window->setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), window->size()));
}

// Centres the window once more when the frame it really got differs from the estimate.
// It watches only the first moments after the window is shown: a window the user has
// moved since stays where the user put it.
class FrameWatcher : public QObject {
  public:
    FrameWatcher(QWidget* window, const QRect& area, const QMargins& estimate)
        : QObject(window), FWindow(window), FArea(area), FEstimate(estimate), FDeadline(3000) {
        setObjectName(QStringLiteral("FrameWatcher"));
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != FWindow || !Watches(event->type()))
            return false;
        const QMargins frame = FrameOf(FWindow);
        if (frame.isNull() && !FDeadline.hasExpired())
            return false;
        FWindow->removeEventFilter(this);
        if (!frame.isNull()) {
            lastFrame = frame;
            if (frame != FEstimate)
                MoveCentred(FWindow, FArea, frame);
        }
        deleteLater();
        return false;
    }

  private:
    static bool Watches(QEvent::Type type) {
        return type == QEvent::Move || type == QEvent::Resize || type == QEvent::Paint ||
               type == QEvent::WindowActivate || type == QEvent::ActivationChange;
    }

    QPointer<QWidget> FWindow;
    QRect FArea;
    QMargins FEstimate;
    QDeadlineTimer FDeadline;
};

}  // namespace

void SetFrameReader(FrameReader reader) {
    frameReader = reader != nullptr ? reader : ReportedFrame;
}

void CentreOnScreen(QWidget* window, const QScreen* screen) {
    if (window == nullptr || screen == nullptr)
        return;
    // Made now, so that a frame the platform knows beforehand is counted.
    (void)window->winId();
    const QRect area = screen->geometry();
    const QMargins frame = EstimatedFrame(window);
    MoveCentred(window, area, frame);
    delete window->findChild<QObject*>(QStringLiteral("FrameWatcher"), Qt::FindDirectChildrenOnly);
    if (FrameOf(window).isNull())
        new FrameWatcher(window, area, frame);
}

}  // namespace kormoszi
