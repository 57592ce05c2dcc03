#include "SheetModel.h"


#include <QBrush>
#include <QColor>
#include <QFont>

using namespace workbook;

SheetModel::SheetModel(EmbeddedDocument *document, QObject *parent)
    : QAbstractTableModel(parent), m_document(document)
{
    connect(document, &EmbeddedDocument::cellsChanged, this, &SheetModel::cellsChanged);
    connect(document, &EmbeddedDocument::cellsMoved, this, &SheetModel::cellsMoved);
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

const CellStyle &SheetModel::cellStyle(int row, int column) const
{
    static const CellStyle plain;
    if (!m_document)
        return plain;
    const CellFormats &formats = m_document->book().formats();
    return formats.style(formats.styleAt(m_sheet, row, column));
}

FormattedText SheetModel::formatted(const CellLocation &where, int width) const
{
    return m_document->book().shown(where, width);
}

QString SheetModel::shownText(int row, int column, int width) const
{
    return m_document ? QString::fromStdString(formatted({m_sheet, row, column}, width).text) : QString();
}

bool SheetModel::holdsNumber(int row, int column) const
{
    return m_document && m_document->book().value({m_sheet, row, column}).isNumber();
}

namespace {

QColor colourOf(Rgb rgb)
{
    return QColor::fromRgb(static_cast<QRgb>(rgb) | 0xFF000000u);
}

} // namespace

QVariant SheetModel::data(const QModelIndex &index, int role) const
{
    if (!m_document || !index.isValid())
        return QVariant();
    const CellLocation where{m_sheet, index.row(), index.column()};
    switch (role) {
    case Qt::DisplayRole: {
        const FormattedText shown = formatted(where, 0);
        return shown.text.empty() ? QVariant() : QVariant(QString::fromStdString(shown.text));
    }
    case Qt::EditRole:
        return inputText(index.row(), index.column());
    case Qt::ForegroundRole: {
        // A format section's colour ([Red]) over the font's; General has none.
        const CellFormats &formats = m_document->book().formats();
        const StyleIndex style = formats.styleAt(where.sheet, where.row, where.column);
        const Rgb section = formats.numberFormat(style).isGeneral() ? noColour : formatted(where, 0).colour;
        const Rgb font = section != noColour ? section : formats.style(style).fontColour;
        return font == noColour ? QVariant() : QVariant(QBrush(colourOf(font)));
    }
    case Qt::BackgroundRole: {
        const Rgb fill = cellStyle(where.row, where.column).fill;
        return fill == noColour ? QVariant() : QVariant(QBrush(colourOf(fill)));
    }
    case Qt::FontRole: {
        const CellStyle &style = cellStyle(where.row, where.column);
        if (!style.bold && !style.italic && !style.underline && !style.strikeout && style.fontName.empty() && style.fontSize <= 0)
            return QVariant();
        QFont font;
        if (!style.fontName.empty())
            font.setFamily(QString::fromStdString(style.fontName));
        // Sizes relative to the file's own 11 points, so the grid's font stays the measure.
        if (style.fontSize > 0 && font.pointSizeF() > 0)
            font.setPointSizeF(font.pointSizeF() * style.fontSize / 11);
        font.setBold(style.bold);
        font.setItalic(style.italic);
        font.setUnderline(style.underline);
        font.setStrikeOut(style.strikeout);
        return font;
    }
    case Qt::TextAlignmentRole: {
        const CellStyle &style = cellStyle(where.row, where.column);
        // Bottom, the spreadsheet's default, is centred in rows of the grid's own height as before.
        const int vertical = style.vertical == VerticalAlignment::Top ? int(Qt::AlignTop) : int(Qt::AlignVCenter);
        switch (style.alignment) {
        case HorizontalAlignment::Left:
        case HorizontalAlignment::Fill:
            return int(Qt::AlignLeft) | vertical;
        case HorizontalAlignment::Center:
            return int(Qt::AlignHCenter) | vertical;
        case HorizontalAlignment::Right:
            return int(Qt::AlignRight) | vertical;
        case HorizontalAlignment::Justify:
            return int(Qt::AlignJustify) | vertical;
        case HorizontalAlignment::General:
            break;
        }
        // Numbers to the right, text to the left, booleans and errors centred, as spreadsheets do.
        const Value v = m_document->book().value(where);
        if (v.isNumber())
            return int(Qt::AlignRight) | vertical;
        if (v.isBoolean() || v.isError())
            return int(Qt::AlignHCenter) | vertical;
        return int(Qt::AlignLeft) | vertical;
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
    int position = 0;
    if (!m_document->editCell({m_sheet, index.row(), index.column()}, value.toString(), &message, &position)) {
        emit editRefused(index, value.toString(), message, position);
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
        emit dataChanged(index(top, left), index(bottom, right),
                         {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole, Qt::ForegroundRole});
}

void SheetModel::cellsMoved(SheetIndex sheet)
{
    // Any cell of the sheet may show something else now; the view repaints what it shows.
    if (sheet == m_sheet)
        emit dataChanged(index(0, 0), index(maxRows - 1, maxColumns - 1), {Qt::DisplayRole, Qt::EditRole, Qt::TextAlignmentRole});
}
