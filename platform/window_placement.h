#pragma once
// Centring a window on the screen with its frame included, as the window manager draws it.

#include <QMargins>

class QScreen;
class QWidget;

namespace kormoszi {

// Moves window so that its frame is centred on screen (left and top not below the
// screen's edge). A window manager frames a window only once it is shown, so until then
// the frame is estimated from the windows already framed; when the real frame turns out
// otherwise, the window is centred once more as soon as it is known. Without a window
// manager there is no frame and the window itself is centred.
void CentreOnScreen(QWidget* window, const QScreen* screen);

// Where the frame of a window is read from: the window manager's report, or what a test
// stands in for it (nullptr: the window manager again).
using FrameReader = QMargins (*)(const QWidget* window);
void SetFrameReader(FrameReader reader);

}  // namespace kormoszi
