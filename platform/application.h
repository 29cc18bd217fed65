#pragma once
// The application object: the program's title, and the last net under every event.

#include <QApplication>
#include <QString>

namespace kormoszi {

// "Tormolag - szótármódosító", also where no Application object exists (tests, the box).
QString ApplicationTitle();

class Application : public QApplication {
  public:
    Application(int& argc, char** argv);
    // "Tormolag - szótármódosító"
    QString Title() const;

    // The last net: an error that escaped every guarded handler is reported here rather
    // than ending the program.
    bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace kormoszi
