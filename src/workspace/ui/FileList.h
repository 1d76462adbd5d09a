#pragma once
// The file list ("lvFiles"): it shows the rows of a job list (workspace/core/JobList.h), one
// checkable row per source file in five columns, and keeps its items in step with the jobs.
// Rows are drawn by the list itself: theme-tinted odd rows, the selection filled and framed,
// a drawn check box before the source path.

#include "workspace/core/JobList.h"

#include <QTreeWidget>

namespace tovik {

// The list's columns, in their order.
enum TFileListColumn : int {
    flcSource = 0,
    flcDuration = 1,
    flcTrimmedLength = 2,
    flcDestination = 3,
    flcProgress = 4,
};

class TFileList : public QTreeWidget, private TJobListObserver {
    Q_OBJECT
public:
    static constexpr int kColumnCount = 5;
    static constexpr int kRowHeight = 18;
    // Pixels a column needs beside its caption's text.
    static constexpr int kCaptionRoom = 16;

    // Shows jobs, which must outlive the list.
    explicit TFileList(TJobList& jobs, QWidget* parent = nullptr);
    ~TFileList() override;

    TJobList& Jobs() const { return jobs_; }

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

    // Whether a row's source equals path exactly (letter case counts).
    bool HasRow(const QString& sourceFile) const;
    int RowCount() const { return topLevelItemCount(); }
    QTreeWidgetItem* Row(int index) const { return topLevelItem(index); }
    // The selected row (at most one), or -1.
    int SelectedRow() const;
    void SelectRow(int index);
    bool IsChecked(int index) const { return jobs_.Checked(index); }
    void SetChecked(int index, bool checked) { jobs_.SetChecked(index, checked); }

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
    // A double click on a row, or Enter on the selected row: play it.
    void PlayRequested();
    // Files were dropped onto the list (local paths, in drop order).
    void FilesDropped(const QStringList& paths);

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // TJobListObserver: the items follow the jobs.
    void JobInserted(int index) override;
    void JobRemoved(int index) override;
    void JobsCleared() override;
    void JobChanged(int index) override;
    void JobMoved(int from, int to) override;
    void ShowRow(QTreeWidgetItem& item, const TJobRow& row);

    static QString FittedText(const QString& text, int column, const QFontMetrics& metrics,
                              int width);

    TJobList& jobs_;
    QColor rowTint_{235, 235, 235};
};

} // namespace tovik
