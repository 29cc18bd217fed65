#pragma once
// The label above the directory list: holds the full path of the opened directory and
// draws it shortened with ".../" (...\) in place of leading directories until it fits.

#include <QDir>
#include <QWidget>
#include <functional>

namespace kormoszi {

// path shortened step by step until textWidth(result) <= maxWidth or only the last name
// is left: /games/words/data, /.../words/data, /.../data, .../data, data; with a drive,
// D:\Games\Words\Data, D:\...\Words\Data, D:\...\Data, ...\Data, Data.
QString ShortenPath(const QString& path, const std::function<int(const QString&)>& textWidth,
                    int maxWidth, QChar separator = QDir::separator());

class TPathLabel : public QWidget {
    Q_OBJECT
  public:
    explicit TPathLabel(QWidget* parent = nullptr);
    QString Text() const { return FText; }
    void SetText(const QString& text);
    // The text as drawn at the label's present width and font.
    QString DisplayedText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString FText;
};

}  // namespace kormoszi
