#pragma once
// The drop-down list of output formats ("lst1"): group rows that expand and collapse, format
// rows that are chosen with one press, hot tracking under the mouse, drawn by the program.

#include "workspace/ui/FormatListRows.h"

#include <QListWidget>
#include <QStyledItemDelegate>

namespace tovik {

class TFormatListBox : public QListWidget {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 20;
    // Presses closer than this to the left edge hit a group's expand mark.
    static constexpr int kExpandMarkWidth = 20;

    explicit TFormatListBox(QWidget* parent = nullptr);

    void Build(const TFormatListRows::TCollapsedOf& collapsedOf);
    const TFormatListRows& Rows() const { return rows_; }
    // Selects the row showing text (blanks around it ignored); no selection when none does.
    void SelectText(const QString& text);
    // A press on row index at x pixels from the left edge: toggles a group at its expand
    // mark, chooses a format row anywhere.
    void PressRow(int index, int x);
    // A double click on row index: toggles a group.
    void DoubleClickRow(int index);

signals:
    void FormatChosen(const QString& text, int code);
    // A group was expanded or collapsed: the number of rows changed.
    void RowsToggled();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    // Keys as well as the mouse: Enter chooses a format or toggles a group, Escape closes.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Refill(int currentRow);

    TFormatListRows rows_;
};

// Draws lst1's rows: plain fill, the current row framed, groups bold with their expand mark
// and icon, formats in navy below them.
class TFormatListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit TFormatListDelegate(TFormatListBox* box) : QStyledItemDelegate(box), box_(box) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    const TFormatListBox* box_;
};

} // namespace tovik
