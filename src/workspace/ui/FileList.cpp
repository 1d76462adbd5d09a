#include "workspace/ui/FileList.h"

#include "platform/PathText.h"
#include "workspace/ui/PathElision.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>
#include <array>

namespace tovik {

namespace {
const QColor kFocusFill(185, 204, 236);
const QColor kSelectedFill(229, 236, 248);
const QColor kFocusFrame(122, 160, 218);
const QColor kSelectedFrame(152, 181, 226);

struct TColumn {
    const char* Caption;
    int Width;
};
const std::array<TColumn, TFileList::kColumnCount> kColumns = {{{"Source", 140},
                                                                {"Length", 65},
                                                                {"Trimmed Length", 90},
                                                                {"Destination File", 120},
                                                                {"Progress", 60}}};

// The check box drawn at the start of column 0, relative to the row rectangle.
QRect CheckBoxRect(const QRect& row) {
    return QRect(QPoint(row.left() + 2, row.top() + 2), QPoint(row.left() + 14, row.bottom() - 2));
}
// Rows a little taller than the text, so the drawn check box has room.
class TRowHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), TFileList::kRowHeight));
        return size;
    }
};
} // namespace

TFileList::TFileList(TJobList& jobs, QWidget* parent) : QTreeWidget(parent), jobs_(jobs) {
    setObjectName(QStringLiteral("lvFiles"));
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setAllColumnsShowFocus(true);
    setItemDelegate(new TRowHeightDelegate(this));
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    RemoveColumns();
    for (int index = 0; index < jobs_.Count(); ++index)
        JobInserted(index);
    jobs_.AddObserver(this);
}

TFileList::~TFileList() {
    jobs_.RemoveObserver(this);
}

void TFileList::SetUpColumns() {
    setColumnCount(kColumnCount);
    QStringList captions;
    for (const TColumn& column : kColumns)
        captions << QString::fromLatin1(column.Caption);
    setHeaderLabels(captions);
    for (int column = 0; column < kColumnCount; ++column)
        setColumnWidth(column, kColumns[static_cast<size_t>(column)].Width);
    // The source path takes the room the other columns leave, so a wider window shows more
    // of it; the others keep their widths and stay resizable.
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    header()->setSectionResizeMode(flcSource, QHeaderView::Stretch);
    FitColumnsToCaptions();
    setHeaderHidden(false);
}

void TFileList::FitColumnsToCaptions() {
    if (columnCount() != kColumnCount)
        return;
    // A caption wider than its column (fonts differ) widens the column. The header's own
    // size hint keeps room for a sort mark the list never shows; the caption needs its text,
    // the sections' paddings of 4 pixels a side and their border.
    const QFontMetrics metrics(header()->font());
    for (int column = flcSource + 1; column < kColumnCount; ++column) {
        const int needed = metrics.horizontalAdvance(headerItem()->text(column)) + kCaptionRoom;
        if (needed > columnWidth(column))
            setColumnWidth(column, needed);
    }
}

void TFileList::FitDestinationColumn() {
    if (columnCount() != kColumnCount || isHeaderHidden())
        return;
    // Its first width, or its caption's, at the least; a wider list lets the longest name
    // show whole, up to a third of the list.
    const QFontMetrics metrics(font());
    int widest = 0;
    for (int row = 0; row < RowCount(); ++row)
        widest =
            std::max(widest, metrics.horizontalAdvance(topLevelItem(row)->text(flcDestination)));
    const int least = std::max(
        kColumns[flcDestination].Width,
        QFontMetrics(header()->font()).horizontalAdvance(headerItem()->text(flcDestination)) +
            kCaptionRoom);
    // Never at the cost of the source column, which keeps half of the list at the least.
    const int sourceLeast = std::max(kColumns[flcSource].Width, viewport()->width() / 2);
    const int room = viewport()->width() - sourceLeast - columnWidth(flcDuration) -
                     columnWidth(flcTrimmedLength) - columnWidth(flcProgress);
    const int wanted = std::min({widest + 8, viewport()->width() / 3, room});
    setColumnWidth(flcDestination, std::max(least, wanted));
}

void TFileList::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitDestinationColumn();
}

void TFileList::changeEvent(QEvent* event) {
    QTreeWidget::changeEvent(event);
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::FontChange)
        FitColumnsToCaptions();
}

void TFileList::RemoveColumns() {
    setHeaderHidden(true);
}

void TFileList::ShowRow(QTreeWidgetItem& item, const TJobRow& row) {
    const QString source = QString::fromStdString(row.Job.SourceFile);
    const QString destination = QString::fromStdString(platform::FileNamePart(row.Destination));
    item.setText(flcSource, source);
    item.setText(flcDuration, QString::number(SourceSeconds(row)));
    item.setText(flcTrimmedLength, QString::number(TrimmedSeconds(row)));
    item.setText(flcDestination, destination);
    item.setText(flcProgress, QString::fromStdString(row.Progress));
    // The cells may be too narrow for the whole texts.
    item.setToolTip(flcSource, source);
    item.setToolTip(flcDestination, destination);
    // A failed row tells why where it says "failed".
    item.setToolTip(flcProgress, QString::fromStdString(row.ProgressNote));
    item.setCheckState(flcSource, row.Checked ? Qt::Checked : Qt::Unchecked);
}

void TFileList::JobInserted(int index) {
    auto* item = new QTreeWidgetItem;
    ShowRow(*item, jobs_.Row(index));
    // The list toggles its own drawn check box; the stock one must not toggle it back.
    item->setFlags(item->flags() & ~Qt::ItemIsUserCheckable);
    insertTopLevelItem(index, item);
    if (RowCount() == 1)
        SetUpColumns();
    FitDestinationColumn();
    emit RowsChanged();
}

void TFileList::JobRemoved(int index) {
    delete takeTopLevelItem(index);
    if (RowCount() == 0)
        RemoveColumns();
    emit RowsChanged();
    viewport()->update();
}

void TFileList::JobsCleared() {
    clear();
    RemoveColumns();
    emit RowsChanged();
}

void TFileList::JobChanged(int index) {
    if (QTreeWidgetItem* item = topLevelItem(index))
        ShowRow(*item, jobs_.Row(index));
}

void TFileList::JobMoved(int from, int to) {
    const int selected = SelectedRow();
    QTreeWidgetItem* item = takeTopLevelItem(from);
    if (!item)
        return;
    insertTopLevelItem(to, item);
    // The selection stays with its job.
    if (selected == from)
        SelectRow(to);
    else if (selected >= 0)
        SelectRow(selected + (selected > from && selected <= to ? -1 : 0) +
                  (selected < from && selected >= to ? 1 : 0));
    viewport()->update();
}

bool TFileList::HasRow(const QString& sourceFile) const {
    return jobs_.IndexOf(sourceFile.toStdString()) >= 0;
}

int TFileList::SelectedRow() const {
    const QList<QTreeWidgetItem*> selected = selectedItems();
    return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.first());
}

void TFileList::SelectRow(int index) {
    if (index < 0 || index >= RowCount()) {
        clearSelection();
        return;
    }
    setCurrentItem(topLevelItem(index));
    topLevelItem(index)->setSelected(true);
}

bool TFileList::RemoveSelected() {
    const int row = SelectedRow();
    if (row < 0)
        return false;
    jobs_.Remove(row); // the row's item follows
    if (RowCount() > 0)
        SelectRow(std::min(row, RowCount() - 1));
    return true;
}

void TFileList::ClearRows() {
    jobs_.Clear();
}

void TFileList::CheckAll(bool checked) {
    for (int index = 0; index < RowCount(); ++index)
        SetChecked(index, checked);
}

void TFileList::ReverseCheck() {
    for (int index = 0; index < RowCount(); ++index)
        SetChecked(index, !IsChecked(index));
}

void TFileList::CheckSelected(bool checked) {
    SetChecked(SelectedRow(), checked);
}

void TFileList::SetRowTint(const QColor& tint) {
    rowTint_ = tint;
    viewport()->update();
}

QColor TFileList::RowBackground(int row, bool selected, bool focused) const {
    if (selected)
        return focused ? kFocusFill : kSelectedFill;
    return row % 2 == 0 ? QColor(255, 255, 255) : rowTint_;
}

QString TFileList::FittedText(const QString& text, int column, const QFontMetrics& metrics,
                              int width) {
    // A path keeps its file name; other texts are cut at their end.
    return column == flcSource ? ElidePath(text, metrics, width)
                               : metrics.elidedText(text, Qt::ElideRight, width);
}

QString TFileList::ShownText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item || column < 0 || column >= columnCount())
        return {};
    // The cell as drawRow lays it out: the drawn check box first in column 0, 2 pixels of
    // room on each side.
    const int width = columnWidth(column) - (column == flcSource ? 18 : 0) - 4;
    return FittedText(item->text(column), column, QFontMetrics(font()), width);
}

void TFileList::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const {
    // The whole row is drawn here; the default item drawing is not used.
    const int row = index.row();
    const QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    const bool selected = item->isSelected();
    const bool focused = currentIndex().row() == row;
    const QRect rect = option.rect;
    painter->save();
    painter->fillRect(rect, RowBackground(row, selected, focused));
    painter->setFont(option.font);

    for (int column = 0; column < columnCount(); ++column) {
        if (isColumnHidden(column))
            continue;
        QRect cell(columnViewportPosition(column), rect.top(), columnWidth(column), rect.height());
        if (column == 0) {
            const QRect box =
                CheckBoxRect(QRect(cell.left(), rect.top(), cell.width(), rect.height()));
            painter->setPen(QPen(Qt::black, 2));
            painter->setBrush(Qt::NoBrush);
            painter->drawRect(box);
            if (item->checkState(0) == Qt::Checked) {
                const int left = cell.left();
                const int top = rect.top();
                painter->drawLine(QPoint(left + 4, top + 6), QPoint(left + 6, top + 11));
                painter->drawLine(QPoint(left + 6, top + 11), QPoint(left + 11, top + 5));
            }
            cell.setLeft(cell.left() + 18);
        }
        const QRect textRect = cell.adjusted(2, 0, -2, 0);
        const int alignment = item->textAlignment(column) & Qt::AlignHorizontal_Mask;
        const QString text =
            FittedText(item->text(column), column, painter->fontMetrics(), textRect.width());
        painter->setPen(QColor(0, 0, 0));
        painter->drawText(textRect, (alignment ? alignment : Qt::AlignLeft) | Qt::AlignVCenter,
                          text);
    }
    if (selected) {
        painter->setPen(focused ? kFocusFrame : kSelectedFrame);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

namespace {
QStringList LocalFiles(const QMimeData* data) {
    QStringList paths;
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths << url.toLocalFile();
    return paths;
}
} // namespace

void TFileList::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TFileList::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalFiles(event->mimeData()).isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void TFileList::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalFiles(event->mimeData());
    if (paths.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    emit FilesDropped(paths);
}

void TFileList::mousePressEvent(QMouseEvent* event) {
    // The drawn check box toggles the row's check mark.
    const QPoint position = event->position().toPoint();
    const QModelIndex index = indexAt(position);
    if (event->button() == Qt::LeftButton && index.isValid()) {
        const QRect row = visualRect(index.siblingAtColumn(0));
        if (CheckBoxRect(QRect(columnViewportPosition(0), row.top(), columnWidth(0), row.height()))
                .adjusted(-1, -1, 1, 1)
                .contains(position)) {
            SetChecked(index.row(), !IsChecked(index.row()));
            SelectRow(index.row());
            event->accept();
            return;
        }
    }
    QTreeWidget::mousePressEvent(event);
}

void TFileList::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeWidget::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid() &&
        SelectedRow() >= 0)
        emit PlayRequested();
}

void TFileList::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && SelectedRow() >= 0) {
        event->accept();
        emit PlayRequested();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

} // namespace tovik
