#pragma once

#include "EmbeddedDocument.h"
#include "format/NumberFormat.h"

#include <QAbstractTableModel>
#include <QPointer>

// One sheet of a document as a table for Qt's views: every row and column of
// the sheet, values as the cell shows them, input text for editing. Only the
// cells a change touched are announced, so a view repaints only those.
class SheetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SheetModel(EmbeddedDocument *document, QObject *parent = nullptr);

    workbook::SheetIndex sheet() const { return m_sheet; }
    void setSheet(workbook::SheetIndex sheet);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // What the user typed into a cell, as the formula bar shows it.
    QString inputText(int row, int column) const;
    // What a cell shows in a column `width` characters wide: a number that
    // does not fit shows "#" across it.
    QString shownText(int row, int column, int width) const;
    bool holdsNumber(int row, int column) const;
    const workbook::CellStyle &cellStyle(int row, int column) const;

signals:
    // A typed entry was refused; the cell keeps what it had. `message` says
    // why in plain words, `position` where in `text` it went wrong.
    void editRefused(const QModelIndex &index, const QString &text, const QString &message, int position);

private:
    workbook::FormattedText formatted(const workbook::CellLocation &where, int width) const;
    void cellsChanged(const QList<workbook::CellLocation> &cells);
    void cellsMoved(workbook::SheetIndex sheet);

    QPointer<EmbeddedDocument> m_document;
    workbook::SheetIndex m_sheet = 0;
};
