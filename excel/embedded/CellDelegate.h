#pragma once

#include <QStyledItemDelegate>

class SheetModel;

// Paints a cell as its format says: numbers shortened to the column's width
// (or "#" across it when they cannot be), wrapped text, and the cell's borders.
// Text too long for its cell runs on through the empty cells to its right.
class CellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit CellDelegate(SheetModel *model, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    // The cell whose text may run on into this empty one.
    QModelIndex overflowingInto(const QModelIndex &index) const;
    void paintOverflow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;

    SheetModel *m_model;
};
