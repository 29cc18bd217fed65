#include "settings/path_label.h"

#include <QPainter>

#include "platform/error_report.h"

namespace kormoszi {

namespace {

const QString Separator = QStringLiteral("/");
const QString Ellipsis = QStringLiteral(".../");
const QString RootEllipsis = QStringLiteral("/.../");

// Replaces the first directory of dir (which ends in a separator) by ".../".
void CutFirstDirectory(QString& dir) {
    if (dir == Separator) {
        dir.clear();
        return;
    }
    const bool fromRoot = dir.startsWith(Separator);
    if (fromRoot)
        dir.remove(0, 1);
    if (dir.startsWith(Ellipsis))
        dir.remove(0, Ellipsis.size());
    const qsizetype next = dir.indexOf(Separator);
    dir = next >= 0 ? Ellipsis + dir.mid(next + 1) : QString();
    if (fromRoot)
        dir.prepend(Separator);
}

}  // namespace

QString ShortenPath(const QString& path, const std::function<int(const QString&)>& textWidth,
                    int maxWidth) {
    // Volumes have no drive prefix here, so the path is only a directory and a name part.
    const qsizetype lastSeparator = path.lastIndexOf(Separator);
    QString dir = path.left(lastSeparator + 1);
    const QString name = path.mid(lastSeparator + 1);
    // The root alone stays as it is: an empty label would say nothing at all.
    while (textWidth(dir + name) > maxWidth && !dir.isEmpty() &&
           !(name.isEmpty() && dir == Separator)) {
        if (dir == RootEllipsis)
            dir = Ellipsis;
        else
            CutFirstDirectory(dir);
    }
    return dir + name;
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
