#include "platform/error_report.h"

#include "platform/application.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <cstdio>

namespace kormoszi {
namespace {

QString WithFullStop(QString text) {
    if (!text.isEmpty() && text.back().unicode() > u'.')
        text += u'.';
    return text;
}

}  // namespace

void ReportError(const std::exception& error) {
    // A drag or a pressed button must not go on after the handler was abandoned.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (dynamic_cast<const EAbort*>(&error))
        return;
    const QString text = WithFullStop(QString::fromUtf8(error.what()));
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) {
        // Without a window system the message still must not be lost.
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
        return;
    }
    const QPointer<QWidget> previous = QApplication::activeWindow();
    {
        // No parent: like any top-level error it belongs to the application, not to the
        // window that happened to raise it, and is modal to all of them.
        QMessageBox box(QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
        // A file name in the text must show as it is, never as markup.
        box.setTextFormat(Qt::PlainText);
        box.exec();
    }
    // Without a window manager nobody else gives the focus back.
    if (previous && previous->isVisible())
        previous->activateWindow();
}

}  // namespace kormoszi
