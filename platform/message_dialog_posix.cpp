#include <QApplication>
#include <QFontDatabase>

#include "platform/message_dialog.h"

namespace kormoszi {

// The desktop names no font of its own for messages; its general font is the one it
// shows them in.
QFont SystemMessageFont() {
    return QFontDatabase::systemFont(QFontDatabase::GeneralFont);
}

void SystemBeep() {
    QApplication::beep();
}

}  // namespace kormoszi
