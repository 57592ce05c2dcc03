#include "EmbeddedObjects.h"

#include "EmbeddedBackend.h"

#include <QRegularExpression>

using namespace workbook;

namespace {

using Automation::firstArgument;
using Automation::isMember;

} // namespace

QVariant variantOf(const Value &value)
{
    switch (value.type()) {
    case ValueType::Number:
        return value.asNumber();
    case ValueType::Text:
        return QString::fromStdString(value.asText());
    case ValueType::Boolean:
        return value.asBoolean();
    default:
        return QVariant();
    }
}

// ---- Application

EmbeddedApplicationObject::EmbeddedApplicationObject(EmbeddedDocument *bound)
    : m_bound(bound != nullptr), m_document(bound)
{
}

EmbeddedDocument *EmbeddedApplicationObject::document() const
{
    return m_bound ? m_document.data() : EmbeddedBackend::instance().frontDocument();
}

QVariant EmbeddedApplicationObject::read(const QString &member, const QVariantList &) const
{
    if (isMember(member, "Hwnd")) {
        EmbeddedDocument *doc = document();
        return doc ? QVariant(doc->id()) : QVariant();
    }
    if (isMember(member, "Visible") || isMember(member, "EnableEvents"))
        return EmbeddedBackend::instance().isRunning();
    if (isMember(member, "Name"))
        return EmbeddedBackend::instance().applicationName();
    return QVariant();
}

bool EmbeddedApplicationObject::write(const QString &member, const QVariant &value)
{
    if (isMember(member, "Visible")) {
        if (value.toBool())
            EmbeddedBackend::instance().start();
        return true;
    }
    return isMember(member, "EnableEvents");
}

AutomationObject *EmbeddedApplicationObject::query(const QString &member, const QVariantList &)
{
    EmbeddedDocument *doc = document();
    if (isMember(member, "Workbooks"))
        return new EmbeddedWorkbooksObject;
    if (!doc)
        return new AutomationObject;
    if (isMember(member, "ActiveWindow"))
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Window, doc);
    if (isMember(member, "ActiveWorkbook"))
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Workbook, doc);
    if (isMember(member, "Worksheets"))
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Worksheets, doc);
    if (isMember(member, "ActiveSheet"))
        return new EmbeddedWorksheetObject(doc, doc->activeSheet());
    return new AutomationObject;
}

// ---- Window, Workbook, Worksheets

EmbeddedDocumentObject::EmbeddedDocumentObject(Kind kind, EmbeddedDocument *document)
    : m_kind(kind), m_document(document)
{
}

QString EmbeddedDocumentObject::typeName() const
{
    return Automation::typeNameOf(m_kind);
}

QVariant EmbeddedDocumentObject::read(const QString &member, const QVariantList &) const
{
    if (!m_document)
        return QVariant();
    if (isMember(member, "Name") && m_kind == Kind::Workbook)
        return m_document->name();
    if (isMember(member, "Saved") && m_kind == Kind::Workbook)
        return !m_document->isModified();
    if (isMember(member, "Count") && m_kind == Kind::Worksheets)
        return m_document->book().sheetCount();
    if (isMember(member, "Hwnd") && m_kind == Kind::Window)
        return m_document->id();
    return QVariant();
}

bool EmbeddedDocumentObject::write(const QString &member, const QVariant &value)
{
    if (!m_document || m_kind != Kind::Workbook || !isMember(member, "Saved"))
        return false;
    m_document->setModified(!value.toBool());
    return true;
}

AutomationObject *EmbeddedDocumentObject::query(const QString &member, const QVariantList &arguments)
{
    if (!m_document)
        return new AutomationObject;
    EmbeddedDocument *doc = m_document.data();
    switch (m_kind) {
    case Kind::Window:
        if (isMember(member, "Application"))
            return new EmbeddedApplicationObject(doc);
        if (isMember(member, "ActiveSheet"))
            return new EmbeddedWorksheetObject(doc, doc->activeSheet());
        if (isMember(member, "RangeSelection"))
            return new EmbeddedRangeObject(doc, doc->selection());
        break;
    case Kind::Workbook:
        if (isMember(member, "Worksheets"))
            return new EmbeddedDocumentObject(Kind::Worksheets, doc);
        if (isMember(member, "Application"))
            return new EmbeddedApplicationObject(doc);
        break;
    case Kind::Worksheets:
        if (isMember(member, "Item")) {
            const SheetIndex sheet = doc->book().findSheet(firstArgument(arguments).toStdString());
            if (sheet >= 0 && doc->book().sheetName(sheet) == firstArgument(arguments).toStdString())
                return new EmbeddedWorksheetObject(doc, sheet);
        }
        break;
    }
    return new AutomationObject;
}

// ---- Workbooks

QVariant EmbeddedWorkbooksObject::read(const QString &member, const QVariantList &) const
{
    if (isMember(member, "Count"))
        return static_cast<int>(EmbeddedBackend::instance().documents().size());
    return QVariant();
}

QVariant EmbeddedWorkbooksObject::call(const QString &method, const QVariantList &)
{
    if (isMember(method, "Add")) {
        EmbeddedBackend::instance().newDocument();
        return true;
    }
    return QVariant();
}

AutomationObject *EmbeddedWorkbooksObject::query(const QString &member, const QVariantList &arguments)
{
    if (isMember(member, "Add"))
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Workbook, EmbeddedBackend::instance().newDocument());
    if (isMember(member, "Item")) {
        for (EmbeddedDocument *doc : EmbeddedBackend::instance().documents())
            if (doc->name() == firstArgument(arguments))
                return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Workbook, doc);
    }
    return new AutomationObject;
}

// ---- Worksheet

EmbeddedWorksheetObject::EmbeddedWorksheetObject(EmbeddedDocument *document, SheetIndex sheet)
    : m_document(document), m_sheet(sheet)
{
    if (document) {
        connect(document, &EmbeddedDocument::userEdited, this, &EmbeddedWorksheetObject::userEdited);
        connect(document, &EmbeddedDocument::sheetRestructured, this, &EmbeddedWorksheetObject::cellsMovedOn);
    }
}

bool EmbeddedWorksheetObject::isNull() const
{
    return !m_document || m_sheet < 0 || m_sheet >= m_document->book().sheetCount();
}

QVariant EmbeddedWorksheetObject::read(const QString &member, const QVariantList &) const
{
    if (isNull())
        return QVariant();
    if (isMember(member, "Name"))
        return QString::fromStdString(m_document->book().sheetName(m_sheet));
    if (isMember(member, "Index"))
        return m_sheet + 1;
    return QVariant();
}

AutomationObject *EmbeddedWorksheetObject::query(const QString &member, const QVariantList &arguments)
{
    if (isNull())
        return new AutomationObject;
    if (isMember(member, "Parent"))
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Workbook, m_document.data());
    if (isMember(member, "Range")) {
        const QList<CellRange> areas = EmbeddedRangeObject::parseAddress(firstArgument(arguments), m_sheet);
        if (!areas.isEmpty())
            return new EmbeddedRangeObject(m_document.data(), areas);
    }
    return new AutomationObject;
}

void EmbeddedWorksheetObject::userEdited(SheetIndex sheet, const QList<CellRange> &areas)
{
    if (sheet != m_sheet)
        return;
    EmbeddedRangeObject range(m_document.data(), areas);
    emit change(&range);
}

void EmbeddedWorksheetObject::cellsMovedOn(SheetIndex sheet)
{
    if (sheet == m_sheet)
        emit cellsMoved();
}

// ---- Range

EmbeddedRangeObject::EmbeddedRangeObject(EmbeddedDocument *document, const QList<CellRange> &areas)
    : m_document(document), m_areas(areas)
{
    if (document)
        connect(document, &EmbeddedDocument::cellsMoved, this, &EmbeddedRangeObject::follow);
}

void EmbeddedRangeObject::follow(SheetIndex sheet, const RowsColumnsChange &change)
{
    QList<CellRange> moved;
    for (const CellRange &area : std::as_const(m_areas)) {
        if (area.sheet != sheet)
            moved << area;
        else if (const auto range = change.moveRange(area))
            moved << *range;
    }
    m_areas = moved;
}

bool EmbeddedRangeObject::isNull() const
{
    return !m_document || m_areas.isEmpty() || m_areas.first().sheet >= m_document->book().sheetCount();
}

CellLocation EmbeddedRangeObject::first() const
{
    const CellRange &area = m_areas.first();
    return CellLocation{area.sheet, area.firstRow, area.firstColumn};
}

QString EmbeddedRangeObject::addressOf(const QList<CellRange> &areas)
{
    QStringList parts;
    for (const CellRange &area : areas) {
        const bool allRows = area.firstRow == 0 && area.lastRow == maxRows - 1;
        const bool allColumns = area.firstColumn == 0 && area.lastColumn == maxColumns - 1;
        std::string text;
        if (allRows && !allColumns)
            text = columnLetters(area.firstColumn) + ":" + columnLetters(area.lastColumn);
        else if (allColumns && !allRows)
            text = std::to_string(area.firstRow + 1) + ":" + std::to_string(area.lastRow + 1);
        else if (area.rows() == 1 && area.columns() == 1)
            text = cellText({area.firstRow, area.firstColumn});
        else
            text = cellText({area.firstRow, area.firstColumn}) + ":" + cellText({area.lastRow, area.lastColumn});
        parts << QString::fromStdString(text);
    }
    return parts.join(QLatin1Char(';'));
}

QList<CellRange> EmbeddedRangeObject::parseAddress(const QString &address, SheetIndex sheet)
{
    QList<CellRange> areas;
    const QStringList parts = address.split(QRegularExpression(QStringLiteral("[;,]")));
    for (const QString &part : parts) {
        const auto range = parseRangeReference(part.trimmed().toStdString());
        if (!range || !range->sheet.empty())
            return {};
        areas << CellRange{sheet, range->first.row, range->first.column, range->last.row, range->last.column};
    }
    return areas;
}

QVariant EmbeddedRangeObject::read(const QString &member, const QVariantList &) const
{
    if (isNull())
        return QVariant();
    Workbook &book = m_document->book();
    if (isMember(member, "Address"))
        return addressOf(m_areas);
    if (isMember(member, "Value"))
        return variantOf(book.value(first()));
    if (isMember(member, "Text")) {
        // As the cell shows it, through its number format, as a spreadsheet's Text is.
        return QString::fromStdString(book.shown(first()).text);
    }
    if (isMember(member, "HasFormula")) {
        for (const CellRange &area : m_areas)
            for (int r = area.firstRow; r <= area.lastRow && r - area.firstRow < 10000; ++r)
                for (int c = area.firstColumn; c <= area.lastColumn && c - area.firstColumn < 10000; ++c)
                    if (!book.hasFormula({area.sheet, r, c}))
                        return false;
        return true;
    }
    if (isMember(member, "Row"))
        return first().row + 1;
    if (isMember(member, "Column"))
        return first().column + 1;
    return QVariant();
}

bool EmbeddedRangeObject::write(const QString &member, const QVariant &value)
{
    if (isNull() || !isMember(member, "Value"))
        return false;
    Workbook &book = m_document->book();
    Value v;
    if (value.typeId() == QMetaType::Bool)
        v = Value::boolean(value.toBool());
    else if (value.canConvert<double>() && value.typeId() != QMetaType::QString)
        v = Value::number(value.toDouble());
    bool ok = true;
    bool changed = false;
    for (const CellRange &area : m_areas) {
        // A whole column written at once would be a million cells: only the existing area counts.
        if (static_cast<long long>(area.rows()) * area.columns() > 1000000)
            return false;
        for (int r = area.firstRow; r <= area.lastRow; ++r) {
            for (int c = area.firstColumn; c <= area.lastColumn; ++c) {
                const CellLocation where{area.sheet, r, c};
                if (value.typeId() == QMetaType::QString) {
                    ok = book.setInput(where, value.toString().toStdString()) && ok;
                    changed = true;
                    continue;
                }
                const Value wanted = value.isValid() ? v : Value();
                // Writing the value a cell already holds is no change to save.
                const CellInput before = book.input(where); // as stored: reading it recalculates nothing
                changed = changed || before.isFormula || !(before.constant == wanted);
                ok = book.setValue(where, wanted) && ok;
            }
        }
    }
    if (changed)
        m_document->setModified(true);
    m_document->scheduleRecalculation();
    return ok;
}

AutomationBackend *EmbeddedRangeObject::exchanger() const
{
    return &EmbeddedBackend::instance();
}

bool EmbeddedRangeObject::singleCell(CellLocation &where) const
{
    if (isNull() || m_areas.size() != 1 || m_areas.first().rows() != 1 || m_areas.first().columns() != 1)
        return false;
    where = first();
    return true;
}

AutomationObject *EmbeddedRangeObject::query(const QString &member, const QVariantList &)
{
    if (isNull())
        return new AutomationObject;
    if (isMember(member, "Worksheet"))
        return new EmbeddedWorksheetObject(m_document.data(), m_areas.first().sheet);
    if (isMember(member, "Application"))
        return new EmbeddedApplicationObject(m_document.data());
    return new AutomationObject;
}
