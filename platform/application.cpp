#include "platform/application.h"

#include "platform/error_report.h"

namespace kormoszi {

QString ApplicationTitle() {
    return QString::fromUtf8("Tormolag - szótármódosító");
}

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

QString Application::Title() const {
    return ApplicationTitle();
}

bool Application::notify(QObject* receiver, QEvent* event) {
    bool handled = false;
    Guarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}  // namespace kormoszi
