#pragma once
// The modal question and warning dialog: one call builds the window for the message,
// waits until the user answers and returns the value of the button that closed it.

#include <QFlags>
#include <QFont>
#include <QString>
#include <functional>

// The windows these dialogs open over are centred the same way.
#include "platform/window_placement.h"

namespace kormoszi {

enum class MessageType { Warning, Confirmation };

// The buttons are always laid out in this order, whatever order the caller names them in.
enum class MessageButton { Yes = 0x1, No = 0x2, OK = 0x4, Cancel = 0x8 };
Q_DECLARE_FLAGS(MessageButtons, MessageButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(MessageButtons)

// The values a dialog returns, as integers that callers may compare and store.
enum DialogResult : int { mrOK = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

// Shows the dialog centred on the screen and returns mrYes, mrNo, mrOK or mrCancel (also
// for the close box, Alt+F4 and the application quitting); never 0. The help context
// is accepted for the callers' sake; the dialog offers no help.
int ShowMessageDialog(const QString& message, MessageType type, MessageButtons buttons,
                      int helpContext = 0);

// Who answers the questions instead of the user, for tests (as SetVolumeLookup stands in
// for the picker's volumes): while set, ShowMessageDialog shows nothing and returns what
// it returns for the message and the buttons. Empty, the default: questions are shown.
using QuestionAnswerer = std::function<int(const QString& message, MessageButtons buttons)>;
void SetQuestionAnswerer(QuestionAnswerer answerer);

// The system's part of the dialogs, one file per platform. The message font: the one the
// system names for message boxes, or the default window font where it names none. The
// default beep.
QFont SystemMessageFont();
void SystemBeep();

}  // namespace kormoszi
