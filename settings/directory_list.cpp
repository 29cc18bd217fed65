#include "settings/directory_list.h"

#include <QCollator>
#include <QDir>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

#include "platform/error_report.h"
#include "settings/picker_icons.h"
#include "settings/working_directory.h"

namespace kormoszi {

namespace {

enum Role { PathRole = Qt::UserRole, LevelRole, IconRole };

constexpr int IconWidth = 16;

// Paints an entry indented by its level, with its folder picture and its name.
class DirectoryItemDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int ItemHeight = 17;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        QStyle* style = widget ? widget->style() : nullptr;
        if (style)
            style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
        const int left = opt.rect.left() + 2 + 4 * index.data(LevelRole).toInt();
        const QPixmap& icon =
            PickerIconPixmap(static_cast<PickerIcon>(index.data(IconRole).toInt()),
                             painter->device()->devicePixelRatio());
        const int iconHeight = qRound(icon.deviceIndependentSize().height());
        const int iconTop = opt.rect.top() + (opt.rect.height() - iconHeight) / 2;
        painter->drawPixmap(left, iconTop, icon);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        QRect textRect = opt.rect;
        textRect.setLeft(left + IconWidth + 4);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                          opt.text);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const int left = 2 + 4 * index.data(LevelRole).toInt() + IconWidth + 4;
        const int textWidth = option.fontMetrics.horizontalAdvance(index.data().toString());
        return {left + textWidth + 2, ItemHeight};
    }
};

// Names only, 2 pixels from the left, in the grey of disabled text.
class FileItemDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    int ItemHeight = 13;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QWidget* widget = opt.widget;
        if (widget)
            widget->style()->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
        const bool selected = opt.state & QStyle::State_Selected;
        painter->setPen(selected ? opt.palette.color(QPalette::HighlightedText)
                                 : opt.palette.color(QPalette::Disabled, QPalette::Text));
        painter->drawText(opt.rect.adjusted(2, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, opt.text);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {option.fontMetrics.horizontalAdvance(index.data().toString()) + 4, ItemHeight};
    }
};

QString ChildPath(const QString& dir, const QString& name) {
    return dir.endsWith(QDir::separator()) ? dir + name : dir + QDir::separator() + name;
}

}  // namespace

void SortNames(QStringList& names) {
    QCollator collator{QLocale()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    // Names equal but for case still get one fixed order.
    std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
        const int order = collator.compare(a, b);
        return order != 0 ? order < 0 : a < b;
    });
}

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new DirectoryItemDelegate(this));
    // A long name is cut at the edge; a horizontal bar would hide the rows below it.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Only a double click opens; a click, the arrows and Enter merely move the highlight
    // or go on to the dialog's default button.
    connect(this, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { Guarded([&] { EntryDoubleClicked(item); }); });
}

void TDirectoryListBox::SetItemHeight(int height) {
    static_cast<DirectoryItemDelegate*>(itemDelegate())->ItemHeight = height;
    doItemsLayout();
}

QString TDirectoryListBox::EntryPath(const QListWidgetItem* item) {
    return item ? item->data(PathRole).toString() : QString();
}

void TDirectoryListBox::OpenDirectory(const QString& path) {
    if (const int error = Open(path))
        RaiseDirectoryError(error, path);
}

bool TDirectoryListBox::TryOpenDirectory(const QString& path) {
    return Open(path) == 0;
}

int TDirectoryListBox::Open(const QString& path) {
    if (QString::compare(path, FDirectory, FCaseSensitive) == 0)
        return 0;
    if (const int error = TryChangeDirectory(path))
        return error;
    // The name the system gives back, with links resolved, is the one shown and returned.
    const QString current = CurrentDirectory();
    FDirectory = current.isEmpty() ? QDir::toNativeSeparators(QDir::cleanPath(path)) : current;
    Rebuild();
    emit Changed();
    return 0;
}

void TDirectoryListBox::AddEntry(const QString& name, const QString& path, int level, int icon) {
    auto* item = new QListWidgetItem(name, this);
    item->setData(PathRole, path);
    item->setData(LevelRole, level);
    item->setData(IconRole, icon);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
}

void TDirectoryListBox::Rebuild() {
    clear();
    const VolumeCase volumeCase = VolumeCaseOf(FDirectory);
    FCaseSensitive = volumeCase.Sensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // A volume that keeps no case has its names in capitals; they read better in small
    // letters.
    const bool lowerCase = !volumeCase.Sensitive && !volumeCase.Preserved;
    const auto shown = [&](const QString& name) { return lowerCase ? name.toLower() : name; };
    const QString root = PathRoot(FDirectory);
    const QStringList names =
        FDirectory.mid(root.size()).split(QDir::separator(), Qt::SkipEmptyParts);
    const int currentLevel = int(names.size());
    const auto chainIcon = [&](int level) {
        return int(level == currentLevel ? PickerIcon::CurrentFolder : PickerIcon::OpenFolder);
    };
    AddEntry(root, root, 0, chainIcon(0));
    QString path = root;
    for (int level = 1; level <= currentLevel; ++level) {
        path = ChildPath(path, names[level - 1]);
        AddEntry(shown(names[level - 1]), path, level, chainIcon(level));
    }
    QListWidgetItem* current = item(count() - 1);

    QStringList subdirectories = DirectoryEntries(FDirectory, EntryKind::Directories);
    SortNames(subdirectories);
    for (const QString& name : subdirectories)
        AddEntry(shown(name), ChildPath(FDirectory, name), currentLevel + 1,
                 int(PickerIcon::ClosedFolder));
    setCurrentItem(current);
    scrollToItem(current);
}

void TDirectoryListBox::EntryDoubleClicked(QListWidgetItem* item) {
    const QString path = EntryPath(item);
    if (!path.isEmpty())
        OpenDirectory(path);
}

TFileListBox::TFileListBox(QWidget* parent) : QListWidget(parent) {
    setItemDelegate(new FileItemDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void TFileListBox::SetItemHeight(int height) {
    static_cast<FileItemDelegate*>(itemDelegate())->ItemHeight = height;
    doItemsLayout();
}

void TFileListBox::ShowDirectory(const QString& dir) {
    clear();
    QStringList files = DirectoryEntries(dir, EntryKind::Files);
    SortNames(files);
    addItems(files);
}

}  // namespace kormoszi
