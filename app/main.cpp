// Kormoszi: the editor of the Tormolag word lists. Builds the application and its one
// window and runs until the window has closed.

#include "app/fMain.h"
#include "platform/error_report.h"

int main(int argc, char** argv) {
    kormoszi::Application app(argc, argv);
    kormoszi::TfrmMain frmMain;
    frmMain.show();
    return app.exec();
}
