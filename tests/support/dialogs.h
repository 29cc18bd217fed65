#pragma once
// Answering modal dialogs in GUI tests the way a person would: from inside the loop the
// dialog runs, once it is there.

#include <QApplication>
#include <QLabel>
#include <QString>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/message_dialog.h"

namespace kormoszi::testing {

// Answers every question asked while it lives at once, without showing it: with the
// answers given, in turn, and mrCancel after them. Asked keeps the questions' texts, so a
// test sees at once whether one was asked, with no waiting.
class ScriptedAnswers {
  public:
    explicit ScriptedAnswers(std::vector<int> answers = {}) : FAnswers(std::move(answers)) {
        SetQuestionAnswerer([this](const QString& message, MessageButtons) {
            Asked.push_back(message);
            return FNext < FAnswers.size() ? FAnswers[FNext++] : int{mrCancel};
        });
    }
    ~ScriptedAnswers() { SetQuestionAnswerer({}); }
    ScriptedAnswers(const ScriptedAnswers&) = delete;
    ScriptedAnswers& operator=(const ScriptedAnswers&) = delete;

    std::vector<QString> Asked;

  private:
    std::vector<int> FAnswers;
    std::size_t FNext = 0;
};

// Runs action on the next modal dialog that opens, as soon as it is there.
inline void OnNextDialog(std::function<void(QWidget*)> action, int attempts = 3000) {
    QTimer::singleShot(10, qApp, [action, attempts] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog != nullptr)
            action(dialog);
        else if (attempts > 0)
            OnNextDialog(action, attempts - 1);
    });
}

// Answers the next dialog with a key, pressed and released as a person would.
inline void AnswerNextDialog(Qt::Key key, QString* text = nullptr) {
    OnNextDialog([key, text](QWidget* dialog) {
        if (text != nullptr) {
            if (auto* message = dialog->findChild<QWidget*>(QStringLiteral("Message")))
                *text = message->property("text").toString();
        }
        QTest::keyClick(dialog, key);
    });
}

// Answers, from inside its own loop, the first modal dialog that opens while this object
// lives, with a key, as a person would; remembers whether one came up and what it said.
// Gone with its scope, it answers nothing that a later step opens.
class DialogAnswer {
  public:
    explicit DialogAnswer(Qt::Key key) {
        FTimer.setInterval(1);
        QObject::connect(&FTimer, &QTimer::timeout, &FTimer, [this, key] {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr || !modal->isVisible())
                return;
            FTimer.stop();
            for (const QLabel* label : modal->findChildren<QLabel*>())
                Text += label->text();
            Shown = true;
            // To the focused control, as the application delivers keys: one sent through the
            // window system to a dialog opened inside another key's handler never arrived
            // under Wine.
            QWidget* target = modal->focusWidget() != nullptr ? modal->focusWidget() : modal;
            QTest::keyClick(target, key);
        });
        FTimer.start();
    }
    bool Shown = false;
    QString Text;

  private:
    QTimer FTimer;
};

}  // namespace kormoszi::testing
