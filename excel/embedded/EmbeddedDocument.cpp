#include "EmbeddedDocument.h"

#include "FormulaParser.h"
#include "io/WorkbookFiles.h"

#include <QFileInfo>
#include <QPointer>
#include <QSet>
#include <QTimer>

#include <algorithm>

using namespace workbook;

EmbeddedDocument::EmbeddedDocument(qint64 id, const QString &name, std::unique_ptr<Workbook> book, QObject *parent)
    : QObject(parent), m_id(id), m_name(name), m_book(std::move(book))
{
    if (m_book->sheetCount() == 0)
        m_book->addSheet("Sheet1");
    m_selection = {CellRange{0, 0, 0, 0, 0}};
    // Each step holds the cells it touched, before and after: the history is kept finite.
    m_history.setUndoLimit(200);
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

bool EmbeddedDocument::editCell(const CellLocation &where, const QString &text, QString *message, int *position)
{
    const std::string typed = text.toStdString();
    bool accepted = true;
    std::string reason;
    recordEdit(tr("Typing"), where.sheet, {CellRange{where.sheet, where.row, where.column, where.row, where.column}},
               [&] { accepted = m_book->setInput(where, typed, &reason); });
    if (!accepted && message)
        *message = whyRefused(typed, reason, position);
    return accepted;
}

bool EmbeddedDocument::pasteBlock(const CellLocation &topLeft, const QList<QStringList> &rows, QString *message)
{
    int widest = 0;
    for (const QStringList &row : rows)
        widest = std::max(widest, static_cast<int>(row.size()));
    if (rows.isEmpty() || widest == 0)
        return true;
    const CellRange area{topLeft.sheet, topLeft.row, topLeft.column,
                         std::min(topLeft.row + static_cast<int>(rows.size()) - 1, maxRows - 1),
                         std::min(topLeft.column + widest - 1, maxColumns - 1)};
    QStringList refused;
    recordEdit(tr("Paste"), topLeft.sheet, {area}, [&] {
        for (int r = 0; r < rows.size(); ++r) {
            for (int c = 0; c < rows[r].size(); ++c) {
                const CellLocation where{topLeft.sheet, topLeft.row + r, topLeft.column + c};
                if (!Workbook::isInSheet(where.row, where.column))
                    continue;
                const std::string text = rows[r][c].toStdString();
                std::string reason;
                if (!m_book->setInput(where, text, &reason))
                    refused << QString::fromStdString(cellText({where.row, where.column})) + QStringLiteral(": ")
                            + whyRefused(text, reason);
            }
        }
    });
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

void EmbeddedDocument::clearAreas(SheetIndex sheet, const QList<CellRange> &areas)
{
    // An array formula's block goes only as a whole.
    Contents cleared;
    for (const CellContent &cell : contentsOf(sheet, areas)) {
        const bool whole = std::any_of(areas.cbegin(), areas.cend(), [&](const CellRange &area) {
            return area.contains(sheet, cell.where.row, cell.where.column) && !splitsAnArray(area, cell.where);
        });
        if (whole)
            cleared << cell;
    }
    if (cleared.isEmpty())
        return;
    recordEdit(tr("Delete"), sheet, areas, [&] {
        for (const CellContent &cell : std::as_const(cleared))
            m_book->clearCell(cell.where);
    });
}

bool EmbeddedDocument::fill(SheetIndex sheet, const QList<CellRange> &areas, Fill direction, QString *message)
{
    const bool down = direction == Fill::Down;
    QList<CellRange> targets;
    QList<int> sources; // the row (column) each target copies
    for (const CellRange &area : areas) {
        const bool deep = down ? area.rows() > 1 : area.columns() > 1;
        const int start = down ? area.firstRow : area.firstColumn;
        if (!deep && start == 0)
            continue; // nothing above (to the left) to copy
        CellRange target = area;
        (down ? target.firstRow : target.firstColumn) += deep ? 1 : 0;
        if (static_cast<long long>(target.rows()) * target.columns() > 1000000) {
            if (message)
                *message = tr("The area is too large to fill.");
            return false;
        }
        targets << target;
        sources << (deep ? start : start - 1);
    }
    if (targets.isEmpty())
        return true;
    QStringList refused;
    recordEdit(down ? tr("Fill Down") : tr("Fill Right"), sheet, targets, [&] {
        for (qsizetype i = 0; i < targets.size(); ++i) {
            const CellRange &target = targets[i];
            for (int r = target.firstRow; r <= target.lastRow; ++r) {
                for (int c = target.firstColumn; c <= target.lastColumn; ++c) {
                    const CellLocation from{sheet, down ? sources[i] : r, down ? c : sources[i]};
                    const CellLocation to{sheet, r, c};
                    const CellInput source = m_book->input(from);
                    if (!source.isFormula) {
                        // Empty onto empty is no write: a wide fill leaves no trail of empty cells.
                        const CellInput target = m_book->input(to);
                        if (!source.constant.isEmpty() || target.isFormula || !target.constant.isEmpty())
                            m_book->setValue(to, source.constant);
                        continue;
                    }
                    const std::string shifted = shiftFormula(source.formula, to.row - from.row, to.column - from.column);
                    if (!m_book->setFormula(to, shifted))
                        refused << QString::fromStdString(cellText({r, c}));
                }
            }
        }
    });
    if (!refused.isEmpty() && message)
        *message = tr("These cells could not take the formula: %1").arg(refused.mid(0, 20).join(QStringLiteral(", ")));
    return refused.isEmpty();
}

EmbeddedDocument::Contents EmbeddedDocument::contentsOf(SheetIndex sheet, const QList<CellRange> &areas)
{
    Contents contents;
    m_book->forEachCell(sheet, [&](int row, int column) {
        for (const CellRange &area : areas) {
            if (area.contains(sheet, row, column)) {
                const CellLocation where{sheet, row, column};
                const CellInput input = m_book->input(where);
                contents << CellContent{where, input, input.isKept ? m_book->value(where) : Value()};
                return;
            }
        }
    });
    return contents;
}

void EmbeddedDocument::put(const Contents &contents)
{
    for (const CellContent &cell : contents) {
        if (cell.input.isKept)
            m_book->setKeptFormula(cell.where, cell.input.formula, cell.shown);
        else if (cell.input.isFormula)
            m_book->setFormula(cell.where, cell.input.formula);
        else
            m_book->setValue(cell.where, cell.input.constant);
    }
}

void EmbeddedDocument::edited(SheetIndex sheet, const QList<CellRange> &areas)
{
    setModified(true);
    recalculateNow();
    emit userEdited(sheet, areas);
}

// One edit of cells: what they held before and after, the cells empty on
// either side included.
class CellEditCommand : public QUndoCommand
{
public:
    CellEditCommand(const QString &name, EmbeddedDocument *document, SheetIndex sheet, const QList<CellRange> &areas,
                    EmbeddedDocument::Contents before, EmbeddedDocument::Contents after)
        : QUndoCommand(name), m_document(document), m_sheet(sheet), m_areas(areas), m_before(std::move(before)),
          m_after(std::move(after))
    {
        // Cells of one sheet, by row and column: a large paste stays linear.
        const auto key = [](const CellLocation &where) { return qint64(where.row) * maxColumns + where.column; };
        const auto missing = [&key](const EmbeddedDocument::Contents &from, EmbeddedDocument::Contents &to) {
            QSet<qint64> there;
            for (const EmbeddedDocument::CellContent &cell : std::as_const(to))
                there.insert(key(cell.where));
            for (const EmbeddedDocument::CellContent &cell : from)
                if (!there.contains(key(cell.where)))
                    to << EmbeddedDocument::CellContent{cell.where, {}, {}};
        };
        missing(m_after, m_before);
        missing(m_before, m_after);
    }
    void redo() override
    {
        // The edit is done already when the command is pushed.
        if (m_done)
            apply(m_after);
        m_done = true;
    }
    void undo() override { apply(m_before); }

private:
    void apply(const EmbeddedDocument::Contents &contents)
    {
        if (!m_document)
            return;
        m_document->put(contents);
        m_document->edited(m_sheet, m_areas);
    }
    QPointer<EmbeddedDocument> m_document;
    SheetIndex m_sheet;
    QList<CellRange> m_areas;
    EmbeddedDocument::Contents m_before;
    EmbeddedDocument::Contents m_after;
    bool m_done = false;
};

void EmbeddedDocument::recordEdit(const QString &name, SheetIndex sheet, const QList<CellRange> &areas,
                                  const std::function<void()> &edit)
{
    Contents before = contentsOf(sheet, areas);
    edit();
    Contents after = contentsOf(sheet, areas);
    if (after == before)
        return; // refused, or the same again
    edited(sheet, areas);
    m_history.push(new CellEditCommand(name, this, sheet, areas, std::move(before), std::move(after)));
}

// Rows or columns inserted or deleted. Undone by the opposite change, after
// which what the change lost comes back: the deleted cells, and formulas,
// names and column widths as they were.
class RestructureCommand : public QUndoCommand
{
public:
    RestructureCommand(const QString &name, EmbeddedDocument *document, SheetIndex sheet, const RowsColumnsChange &change)
        : QUndoCommand(name), m_document(document), m_sheet(sheet), m_change(change)
    {
        Workbook &book = document->book();
        for (SheetIndex s = 0; s < book.sheetCount(); ++s) {
            book.forEachCell(s, [&](int row, int column) {
                const CellLocation where{s, row, column};
                if (book.hasFormula(where))
                    m_formulas << EmbeddedDocument::CellContent{where, book.input(where), book.value(where)};
            });
        }
        if (change.count < 0) {
            const bool rows = change.axis == RowsColumnsChange::Axis::Rows;
            const int last = change.first - change.count - 1;
            const CellRange gone = rows ? CellRange{sheet, change.first, 0, last, maxColumns - 1}
                                        : CellRange{sheet, 0, change.first, maxRows - 1, last};
            m_removed = document->contentsOf(sheet, {gone});
        }
        m_names = book.definedNames();
        m_widths = book.columnWidths(sheet);
        m_formats = book.formats().sheetFormats(sheet);
    }

    // Pushed once the change succeeded: the first redo has nothing to do.
    void redo() override
    {
        if (m_done && m_document && m_document->m_book->restructure(m_sheet, m_change))
            m_document->moved(m_sheet, m_change);
        m_done = true;
    }

    void undo() override
    {
        if (!m_document || !m_document->m_book->restructure(m_sheet, m_change.inverse()))
            return;
        Workbook &book = m_document->book();
        EmbeddedDocument::Contents changed;
        for (const EmbeddedDocument::CellContent &cell : std::as_const(m_formulas)) {
            const CellInput now = book.input(cell.where);
            if (now.formula != cell.input.formula || now.isKept != cell.input.isKept)
                changed << cell;
        }
        m_document->put(changed);
        m_document->put(m_removed);
        for (const DefinedName &name : m_names) {
            const auto &now = book.definedNames();
            const bool same = std::any_of(now.begin(), now.end(), [&](const DefinedName &n) {
                return n.name == name.name && n.scope == name.scope && n.expression == name.expression;
            });
            if (!same)
                book.defineName(name.name, name.expression, name.scope);
        }
        for (const auto &[column, width] : m_widths)
            book.setColumnWidth(m_sheet, column, width);
        // The deleted cells' looks come back with them.
        book.formats().restoreSheetFormats(m_sheet, m_formats);
        m_document->moved(m_sheet, m_change.inverse());
    }

private:
    QPointer<EmbeddedDocument> m_document;
    SheetIndex m_sheet;
    RowsColumnsChange m_change;
    EmbeddedDocument::Contents m_formulas; // every formula of the workbook, before
    EmbeddedDocument::Contents m_removed;  // the cells deleted
    std::vector<DefinedName> m_names;
    std::map<int, double> m_widths;
    CellFormats::SheetFormats m_formats;
    bool m_done = false;
};

bool EmbeddedDocument::restructure(SheetIndex sheet, const RowsColumnsChange &change, QString *message)
{
    const bool rows = change.axis == RowsColumnsChange::Axis::Rows;
    const QString name = change.count > 0 ? (rows ? tr("Insert Rows") : tr("Insert Columns"))
                                          : (rows ? tr("Delete Rows") : tr("Delete Columns"));
    auto command = std::make_unique<RestructureCommand>(name, this, sheet, change);
    std::string why;
    if (!m_book->restructure(sheet, change, &why)) {
        if (message)
            *message = QString::fromStdString(why);
        return false;
    }
    moved(sheet, change);
    m_history.push(command.release());
    return true;
}

void EmbeddedDocument::moved(SheetIndex sheet, const RowsColumnsChange &change)
{
    emit cellsMoved(sheet, change);
    emit sheetRestructured(sheet);
    edited(sheet, {CellRange{sheet, 0, 0, maxRows - 1, maxColumns - 1}});
}

QString EmbeddedDocument::whyRefused(const std::string &text, const std::string &reason, int *position)
{
    const ParseResult parsed = parseFormula(text);
    if (position)
        *position = static_cast<int>(parsed.position);
    switch (parsed.error) {
    case FormulaError::None:
        // It reads well; the workbook said why it would not take it.
        return reason.empty() ? tr("The entry does not fit in the sheet.") : QString::fromStdString(reason);
    case FormulaError::TooLong:
        return tr("The formula is longer than %1 characters.").arg(maxFormulaLength);
    case FormulaError::MissingValue:
        return tr("A value is missing in the formula here.");
    case FormulaError::MissingOperator:
        return tr("An operator (such as + or *) is missing between two values.");
    case FormulaError::MissingSeparator:
        return tr("A comma is missing between two arguments of the function.");
    case FormulaError::MissingClosingParenthesis:
        return tr("The formula is missing a closing parenthesis.");
    case FormulaError::UnmatchedClosingParenthesis:
        return tr("This closing parenthesis has no opening one.");
    case FormulaError::UnexpectedCharacter:
        return tr("A formula cannot hold this character here.");
    case FormulaError::UnclosedText:
        return tr("The text in quotes is missing its closing quote.");
    case FormulaError::UnclosedSheetName:
        return tr("The sheet name in quotes is missing its closing quote.");
    case FormulaError::MalformedReference:
        return tr("This is not a cell reference.");
    case FormulaError::MalformedNumber:
        return tr("This is not a number.");
    case FormulaError::UnknownErrorLiteral:
        return tr("This is not an error value (such as #N/A).");
    case FormulaError::TooDeep:
        return tr("The formula nests more than %1 levels deep.").arg(maxFormulaDepth);
    case FormulaError::TooManyArguments:
        return tr("The function has more than 255 arguments.");
    case FormulaError::SheetNameNeedsQuotes:
        return tr("A sheet name with spaces needs quotes, as in 'Other sheet'!A1.");
    case FormulaError::TooManyAreas:
        return tr("A union holds more than 255 references.");
    case FormulaError::MalformedArray:
        return tr("An array constant holds numbers, texts, TRUE, FALSE and errors only, in rows of one length.");
    }
    return QString::fromStdString(parsed.message);
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
