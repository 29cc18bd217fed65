#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QString::fromUtf8("Kormoszi - Tormolag szótárazó"));
    window.resize(179, 537);
    window.show();
    return app.exec();
}
