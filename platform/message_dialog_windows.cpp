#include <windows.h>

#include <QFontDatabase>
#include <cstdlib>

#include "platform/message_dialog.h"

namespace kormoszi {

// The message font of the non-client metrics, in points at the screen's resolution, as
// the system's own message boxes show it.
QFont SystemMessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    const LOGFONTW& logFont = metrics.lfMessageFont;
    QFont font(QString::fromWCharArray(logFont.lfFaceName));
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ::ReleaseDC(nullptr, screen);
    if (logFont.lfHeight != 0 && dpi > 0)
        font.setPointSizeF(std::abs(logFont.lfHeight) * 72.0 / dpi);
    // The system's weights are the same hundreds that Qt's are.
    if (logFont.lfWeight > 0)
        font.setWeight(static_cast<QFont::Weight>(logFont.lfWeight));
    font.setItalic(logFont.lfItalic != 0);
    font.setUnderline(logFont.lfUnderline != 0);
    font.setStrikeOut(logFont.lfStrikeOut != 0);
    return font;
}

// The default sound (MB_OK), as for any beep of a dialog that is not its opening.
void SystemBeep() {
    ::MessageBeep(MB_OK);
}

}  // namespace kormoszi
