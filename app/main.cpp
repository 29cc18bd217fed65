// Kormoszi: the editor of the Tormolag word lists. Builds the application and its one
// window and runs until the window has closed. A second start only brings the running
// copy's window to the front: two copies would save over each other's words.

#include <QIcon>

#include "app/fMain.h"
#include "app/single_instance.h"
#include "platform/application.h"

int main(int argc, char** argv) {
    kormoszi::Application app(argc, argv);
    kormoszi::SingleInstance instance;
    if (!instance.IsFirst())
        return 0;
    // The desktop entry's name: a Wayland desktop finds the program's icon and name by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("hu.pelvador.Kormoszi"));
    QIcon icon(QStringLiteral(":/icons/hu.pelvador.Kormoszi-48.png"));
    icon.addFile(QStringLiteral(":/icons/hu.pelvador.Kormoszi-256.png"));
    QApplication::setWindowIcon(icon);
    kormoszi::TfrmMain frmMain;
    QObject::connect(&instance, &kormoszi::SingleInstance::RaiseRequested, &frmMain,
                     [&frmMain] { kormoszi::RaiseWindow(&frmMain); });
    frmMain.show();
    return QApplication::exec();
}
