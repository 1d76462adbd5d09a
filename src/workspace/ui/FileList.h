#pragma once
// The file list ("lvFiles"): one checkable row per source file, five columns, each row
// owning its job record. Rows are drawn by the list itself: theme-tinted odd rows, the
// selection filled and framed, a drawn check box before the source path.

#include "workspace/ui/FilesRecord.h"

#include <QTreeWidget>

namespace tovik {

class TFileListItem : public QTreeWidgetItem {
public:
    explicit TFileListItem(const QString& sourceFile);
    TlvFilesRecord Record;
};

// The list's columns, in their order.
enum TFileListColumn : int {
    flcSource = 0,
    flcDuration = 1,
    flcTrimmedLength = 2,
    flcDestination = 3,
    flcProgress = 4,
};

class TFileList : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 5;
    static constexpr int kRowHeight = 18;
    // Pixels a column needs beside its caption's text.
    static constexpr int kCaptionRoom = 16;

    explicit TFileList(QWidget* parent = nullptr);

    // Report style with the five columns and their captions and widths; the source column
    // stretches over the room left.
    void SetUpColumns();
    // Widens the columns whose caption does not fit their width.
    void FitColumnsToCaptions();
    // The destination column: wide enough for the longest name while the list has room.
    void FitDestinationColumn();
    // List style: no columns shown (an empty list).
    void RemoveColumns();
    bool IsReportStyle() const { return !isHeaderHidden(); }

    // A checked row with the source path and its lengths and destination name, owning a fresh
    // job record; the first row brings the columns back. Returns the new row.
    TFileListItem* AppendRow(const QString& sourceFile, int64_t durationSeconds,
                             const QString& destinationName, const std::string& zoomMode);
    // Whether a row's source equals path exactly (letter case counts).
    bool HasRow(const QString& sourceFile) const;
    int RowCount() const { return topLevelItemCount(); }
    TFileListItem* Row(int index) const;
    // The selected row (at most one), or -1.
    int SelectedRow() const;
    void SelectRow(int index);
    TlvFilesRecord* SelectedRecord() const;
    bool IsChecked(int index) const;
    void SetChecked(int index, bool checked);

    // Removes the selected row and selects the row now in its place, or the new last row.
    // False when nothing was selected.
    bool RemoveSelected();
    void ClearRows();
    void CheckAll(bool checked);
    void ReverseCheck();
    void CheckSelected(bool checked);

    // The tint of the odd rows; the colour theme decides it.
    void SetRowTint(const QColor& tint);
    // The colours a row is drawn with.
    QColor RowBackground(int row, bool selected, bool focused) const;

    // The text a cell shows in its present width: the source path shortened in its folders,
    // the other texts cut at their end. The tooltips hold the whole texts.
    QString ShownText(int row, int column) const;

signals:
    // Rows were added or removed.
    void RowsChanged();
    // Files were dropped onto the list (local paths, in drop order).
    void FilesDropped(const QStringList& paths);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    static QString FittedText(const QString& text, int column, const QFontMetrics& metrics,
                              int width);

    QColor rowTint_{235, 235, 235};
};

} // namespace tovik
