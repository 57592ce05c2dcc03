#include "EmbeddedDocument.h"

#include "io/WorkbookFiles.h"

#include <QFileInfo>
#include <QTimer>

using namespace workbook;

EmbeddedDocument::EmbeddedDocument(qint64 id, const QString &name, std::unique_ptr<Workbook> book, QObject *parent)
    : QObject(parent), m_id(id), m_name(name), m_book(std::move(book))
{
    if (m_book->sheetCount() == 0)
        m_book->addSheet("Sheet1");
    m_selection = {CellRange{0, 0, 0, 0, 0}};
    m_book->addObserver([this](const std::vector<CellLocation> &changed) {
        emit cellsChanged(QList<CellLocation>(changed.begin(), changed.end()));
    });
}

EmbeddedDocument::~EmbeddedDocument() = default;

void EmbeddedDocument::setModified(bool modified)
{
    if (modified == m_modified)
        return;
    m_modified = modified;
    emit modifiedChanged(modified);
}

void EmbeddedDocument::setActiveSheet(SheetIndex sheet)
{
    if (sheet == m_activeSheet || sheet < 0 || sheet >= m_book->sheetCount())
        return;
    m_activeSheet = sheet;
    m_selection = {CellRange{sheet, 0, 0, 0, 0}};
    emit activeSheetChanged(sheet);
    emit selectionChanged();
}

void EmbeddedDocument::setSelection(const QList<CellRange> &areas)
{
    if (areas.isEmpty() || areas == m_selection)
        return;
    m_selection = areas;
    emit selectionChanged();
}

bool EmbeddedDocument::editCell(const CellLocation &where, const QString &text, QString *message)
{
    std::string why;
    if (!m_book->setInput(where, text.toStdString(), &why)) {
        if (message)
            *message = QString::fromStdString(why);
        return false;
    }
    setModified(true);
    recalculateNow();
    emit userEdited(where.sheet, {CellRange{where.sheet, where.row, where.column, where.row, where.column}});
    return true;
}

bool EmbeddedDocument::pasteBlock(const CellLocation &topLeft, const QList<QStringList> &rows, QString *message)
{
    int widest = 0;
    QStringList refused;
    for (int r = 0; r < rows.size(); ++r) {
        widest = std::max(widest, static_cast<int>(rows[r].size()));
        for (int c = 0; c < rows[r].size(); ++c) {
            const CellLocation where{topLeft.sheet, topLeft.row + r, topLeft.column + c};
            std::string why;
            if (!Workbook::isInSheet(where.row, where.column))
                continue;
            if (!m_book->setInput(where, rows[r][c].toStdString(), &why))
                refused << QString::fromStdString(cellText({where.row, where.column}) + ": " + why);
        }
    }
    if (rows.isEmpty() || widest == 0)
        return true;
    setModified(true);
    recalculateNow();
    const CellRange area{topLeft.sheet, topLeft.row, topLeft.column,
                         std::min(topLeft.row + static_cast<int>(rows.size()) - 1, maxRows - 1),
                         std::min(topLeft.column + widest - 1, maxColumns - 1)};
    emit userEdited(topLeft.sheet, {area});
    if (!refused.isEmpty() && message)
        *message = refused.join(QLatin1Char('\n'));
    return refused.isEmpty();
}

bool EmbeddedDocument::splitsAnArray(const CellRange &area, const CellLocation &where) const
{
    const CellInput input = m_book->input(where);
    if (input.isKept || input.arrayRows * input.arrayColumns <= 1)
        return false;
    const int firstRow = where.row - input.arrayRow, firstColumn = where.column - input.arrayColumn;
    return !area.contains(where.sheet, firstRow, firstColumn)
        || !area.contains(where.sheet, firstRow + input.arrayRows - 1, firstColumn + input.arrayColumns - 1);
}

void EmbeddedDocument::clearArea(SheetIndex sheet, const CellRange &area)
{
    std::vector<CellLocation> cells;
    m_book->forEachCell(sheet, [&](int row, int column) {
        if (area.contains(sheet, row, column) && !splitsAnArray(area, {sheet, row, column}))
            cells.push_back({sheet, row, column});
    });
    if (cells.empty())
        return;
    for (const CellLocation &where : cells)
        m_book->clearCell(where);
    setModified(true);
    recalculateNow();
    emit userEdited(sheet, {area});
}

bool EmbeddedDocument::saveAs(const QString &path, QString *message)
{
    std::string why;
    if (!saveWorkbookXlsx(*m_book, path.toStdString(), why)) {
        if (message)
            *message = QString::fromStdString(why);
        return false;
    }
    // A save that had to shorten something says so, and still succeeds.
    if (message)
        *message = QString::fromStdString(why);
    m_unsupported.clear();
    m_name = QFileInfo(path).fileName();
    m_book->name = m_name.toStdString();
    setModified(false);
    emit renamed(m_name);
    return true;
}

void EmbeddedDocument::scheduleRecalculation()
{
    if (m_recalculationScheduled)
        return;
    m_recalculationScheduled = true;
    // Many writes in a row (a dragged slider) share one recalculation for the
    // window; a read in between recalculates on its own anyway.
    QTimer::singleShot(0, this, &EmbeddedDocument::recalculateNow);
}

void EmbeddedDocument::recalculateNow()
{
    m_recalculationScheduled = false;
    m_book->recalculate();
}
