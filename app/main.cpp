// Kormoszi: the editor of the Tormolag word lists. Builds the application and its one
// window and runs until the window has closed.

#include <QIcon>

#include "app/fMain.h"
#include "platform/application.h"

int main(int argc, char** argv) {
    kormoszi::Application app(argc, argv);
    // The desktop entry's name: a Wayland desktop finds the program's icon and name by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("hu.pelvador.Kormoszi"));
    QIcon icon(QStringLiteral(":/icons/hu.pelvador.Kormoszi-48.png"));
    icon.addFile(QStringLiteral(":/icons/hu.pelvador.Kormoszi-256.png"));
    QApplication::setWindowIcon(icon);
    kormoszi::TfrmMain frmMain;
    frmMain.show();
    return app.exec();
}
