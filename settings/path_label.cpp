#include "settings/path_label.h"

#include <QPainter>
#include <algorithm>

#include "platform/error_report.h"

namespace kormoszi {

namespace {

// Replaces the first directory of dir (which ends in a separator) by "...\".
void CutFirstDirectory(QString& dir, const QString& separator, const QString& ellipsis) {
    if (dir == separator) {
        dir.clear();
        return;
    }
    const bool fromRoot = dir.startsWith(separator);
    if (fromRoot)
        dir.remove(0, 1);
    if (dir.startsWith(ellipsis))
        dir.remove(0, ellipsis.size());
    const qsizetype next = dir.indexOf(separator);
    dir = next >= 0 ? ellipsis + dir.mid(next + 1) : QString();
    if (fromRoot)
        dir.prepend(separator);
}

bool StartsWithDrive(const QString& path) {
    return path.size() >= 2 && path[1] == u':' &&
           ((path[0] >= u'A' && path[0] <= u'Z') || (path[0] >= u'a' && path[0] <= u'z'));
}

}  // namespace

QString ShortenPath(const QString& path, const std::function<int(const QString&)>& textWidth,
                    int maxWidth, QChar separatorChar) {
    const QString separator(separatorChar);
    const QString ellipsis = QStringLiteral("...") + separator;
    const QString rootEllipsis = separator + ellipsis;
    QString drive = StartsWithDrive(path) ? path.left(2) : QString();
    const qsizetype lastSeparator = path.lastIndexOf(separator);
    QString dir = lastSeparator >= drive.size()
                      ? path.mid(drive.size(), lastSeparator + 1 - drive.size())
                      : QString();
    const QString name = path.mid(std::max(lastSeparator + 1, drive.size()));
    // A root alone stays as it is: an empty label would say nothing at all.
    while (textWidth(drive + dir + name) > maxWidth && !(drive.isEmpty() && dir.isEmpty()) &&
           !(name.isEmpty() && dir == separator)) {
        if (dir == rootEllipsis) {
            drive.clear();
            dir = ellipsis;
        } else if (dir.isEmpty()) {
            drive.clear();
        } else {
            CutFirstDirectory(dir, separator, ellipsis);
        }
    }
    return drive + dir + name;
}

TPathLabel::TPathLabel(QWidget* parent) : QWidget(parent) {}

void TPathLabel::SetText(const QString& text) {
    FText = text;
    update();
}

QString TPathLabel::DisplayedText() const {
    const QFontMetrics metrics = fontMetrics();
    return ShortenPath(
        FText, [&](const QString& text) { return metrics.horizontalAdvance(text); }, width());
}

void TPathLabel::paintEvent(QPaintEvent*) {
    Guarded([&] {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        // No mnemonic processing: a '&' in a directory name is drawn as it is.
        painter.drawText(rect(), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         DisplayedText());
    });
}

}  // namespace kormoszi
