#include "SheetModel.h"

using namespace workbook;

SheetModel::SheetModel(EmbeddedDocument *document, QObject *parent)
    : QAbstractTableModel(parent), m_document(document)
{
    connect(document, &EmbeddedDocument::cellsChanged, this, &SheetModel::cellsChanged);
}

void SheetModel::setSheet(SheetIndex sheet)
{
    if (sheet == m_sheet)
        return;
    beginResetModel();
    m_sheet = sheet;
    endResetModel();
}

int SheetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : maxRows;
}

int SheetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : maxColumns;
}

QString SheetModel::inputText(int row, int column) const
{
    if (!m_document)
        return QString();
    const CellInput input = m_document->book().input({m_sheet, row, column});
    if (input.isFormula && input.arrayRows > 0)
        return QStringLiteral("{=") + QString::fromStdString(input.formula) + QStringLiteral("}");
    if (input.isFormula)
        return QStringLiteral("=") + QString::fromStdString(input.formula);
    return QString::fromStdString(displayText(input.constant));
}

QVariant SheetModel::data(const QModelIndex &index, int role) const
{
    if (!m_document || !index.isValid())
        return QVariant();
    const CellLocation where{m_sheet, index.row(), index.column()};
    switch (role) {
    case Qt::DisplayRole: {
        const Value v = m_document->book().value(where);
        return v.isEmpty() ? QVariant() : QVariant(QString::fromStdString(displayText(v)));
    }
    case Qt::EditRole:
        return inputText(index.row(), index.column());
    case Qt::TextAlignmentRole: {
        // Numbers to the right, text to the left, booleans and errors centred, as spreadsheets do.
        const Value v = m_document->book().value(where);
        if (v.isNumber())
            return int(Qt::AlignRight | Qt::AlignVCenter);
        if (v.isBoolean() || v.isError())
            return int(Qt::AlignCenter);
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    }
    default:
        return QVariant();
    }
}

bool SheetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_document || !index.isValid() || role != Qt::EditRole)
        return false;
    QString message;
    if (!m_document->editCell({m_sheet, index.row(), index.column()}, value.toString(), &message)) {
        emit editRefused(message);
        return false;
    }
    return true;
}

QVariant SheetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Horizontal)
        return QString::fromStdString(columnLetters(section));
    return section + 1;
}

Qt::ItemFlags SheetModel::flags(const QModelIndex &index) const
{
    return QAbstractTableModel::flags(index) | Qt::ItemIsEditable;
}

void SheetModel::cellsChanged(const QList<CellLocation> &cells)
{
    // One announcement for the block the changes span: a view repaints it in one go.
    int top = maxRows, left = maxColumns, bottom = -1, right = -1;
    for (const CellLocation &cell : cells) {
        if (cell.sheet != m_sheet)
            continue;
        top = std::min(top, cell.row);
        left = std::min(left, cell.column);
        bottom = std::max(bottom, cell.row);
        right = std::max(right, cell.column);
    }
    if (bottom >= 0)
        emit dataChanged(index(top, left), index(bottom, right), {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
}
