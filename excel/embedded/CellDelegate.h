#pragma once

#include <QStyledItemDelegate>

class SheetModel;

// Paints a cell as its format says: numbers shortened to the column's width
// (or "#" across it when they cannot be), wrapped text, and the cell's borders.
class CellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit CellDelegate(SheetModel *model, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;

private:
    SheetModel *m_model;
};
