#include "CalcObjects.h"

#include "CalcBackend.h"

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/sheet/FormulaResult.hpp>
#include <com/sun/star/table/CellContentType.hpp>
#include <com/sun/star/table/XCell.hpp>
#include <com/sun/star/text/XText.hpp>

using namespace com::sun::star;
using uno::Reference;
using uno::UNO_QUERY_THROW;

namespace {

using Automation::firstArgument;
using Automation::isMember;

// HasFormula looks at no more cells than a selection can make sliders of.
constexpr long long formulaTestLimit = 10000;

} // namespace

QVariant variantOf(const Reference<table::XCell> &cell)
{
    const table::CellContentType type = cell->getType();
    if (type == table::CellContentType_VALUE)
        return cell->getValue();
    if (type == table::CellContentType_TEXT)
        return fromOUString(Reference<text::XText>(cell, UNO_QUERY_THROW)->getString());
    if (type != table::CellContentType_FORMULA || cell->getError() != 0)
        return QVariant();
    sal_Int32 result = 0;
    Reference<beans::XPropertySet>(cell, UNO_QUERY_THROW)->getPropertyValue("FormulaResultType2") >>= result;
    if (result == sheet::FormulaResult::STRING)
        return fromOUString(Reference<text::XText>(cell, UNO_QUERY_THROW)->getString());
    return cell->getValue();
}

// ---- Application

CalcApplicationObject::CalcApplicationObject(CalcBackend *backend, CalcDocument *bound)
    : m_backend(backend), m_bound(bound != nullptr), m_document(bound)
{
}

CalcDocument *CalcApplicationObject::document() const
{
    return m_bound ? m_document.data() : m_backend->frontDocument();
}

QVariant CalcApplicationObject::read(const QString &member, const QVariantList &) const
{
    if (isMember(member, "Hwnd")) {
        CalcDocument *doc = document();
        return doc && doc->isOpen() ? QVariant(doc->id()) : QVariant();
    }
    if (isMember(member, "Visible") || isMember(member, "EnableEvents"))
        return m_backend->isRunning();
    if (isMember(member, "Name"))
        return m_backend->applicationName();
    return QVariant();
}

bool CalcApplicationObject::write(const QString &member, const QVariant &value)
{
    if (isMember(member, "Visible")) {
        if (value.toBool())
            m_backend->start();
        return true;
    }
    return isMember(member, "EnableEvents");
}

AutomationObject *CalcApplicationObject::query(const QString &member, const QVariantList &)
{
    if (isMember(member, "Workbooks"))
        return new CalcWorkbooksObject(m_backend);
    CalcDocument *doc = document();
    if (!doc || !doc->isOpen())
        return new AutomationObject;
    if (isMember(member, "ActiveWindow"))
        return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Window, doc);
    if (isMember(member, "ActiveWorkbook"))
        return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Workbook, doc);
    if (isMember(member, "Worksheets"))
        return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Worksheets, doc);
    if (isMember(member, "ActiveSheet"))
        return new CalcWorksheetObject(m_backend, doc, doc->activeSheet());
    return new AutomationObject;
}

// ---- Window, Workbook, Worksheets

CalcDocumentObject::CalcDocumentObject(CalcBackend *backend, Kind kind, CalcDocument *document)
    : m_backend(backend), m_kind(kind), m_document(document)
{
}

QString CalcDocumentObject::typeName() const
{
    return Automation::typeNameOf(m_kind);
}

QVariant CalcDocumentObject::read(const QString &member, const QVariantList &) const
{
    if (isNull())
        return QVariant();
    if (isMember(member, "Name") && m_kind == Kind::Workbook)
        return m_document->name();
    if (isMember(member, "Saved") && m_kind == Kind::Workbook)
        return !m_document->isModified();
    if (isMember(member, "Count") && m_kind == Kind::Worksheets)
        return m_document->sheetCount();
    if (isMember(member, "Hwnd") && m_kind == Kind::Window)
        return m_document->id();
    return QVariant();
}

bool CalcDocumentObject::write(const QString &member, const QVariant &value)
{
    if (isNull() || m_kind != Kind::Workbook || !isMember(member, "Saved"))
        return false;
    m_document->setModified(!value.toBool());
    return true;
}

AutomationObject *CalcDocumentObject::query(const QString &member, const QVariantList &arguments)
{
    if (isNull())
        return new AutomationObject;
    CalcDocument *doc = m_document.data();
    switch (m_kind) {
    case Kind::Window:
        if (isMember(member, "Application"))
            return new CalcApplicationObject(m_backend, doc);
        if (isMember(member, "ActiveSheet"))
            return new CalcWorksheetObject(m_backend, doc, doc->activeSheet());
        if (isMember(member, "RangeSelection")) {
            int sheet = -1;
            const QString address = doc->selection(&sheet);
            const QList<CalcArea> areas = CalcAddress::parse(address, sheet);
            if (!areas.isEmpty() && sheet >= 0)
                return new CalcRangeObject(m_backend, doc, areas);
        }
        break;
    case Kind::Workbook:
        if (isMember(member, "Worksheets"))
            return new CalcDocumentObject(m_backend, Kind::Worksheets, doc);
        if (isMember(member, "Application"))
            return new CalcApplicationObject(m_backend, doc);
        break;
    case Kind::Worksheets:
        if (isMember(member, "Item")) {
            const int sheet = doc->sheetIndex(firstArgument(arguments));
            if (sheet >= 0)
                return new CalcWorksheetObject(m_backend, doc, sheet);
        }
        break;
    }
    return new AutomationObject;
}

// ---- Workbooks

QVariant CalcWorkbooksObject::read(const QString &member, const QVariantList &) const
{
    if (isMember(member, "Count"))
        return static_cast<int>(m_backend->documents().size());
    return QVariant();
}

QVariant CalcWorkbooksObject::call(const QString &method, const QVariantList &)
{
    if (isMember(method, "Add"))
        return m_backend->newDocument() != nullptr;
    return QVariant();
}

AutomationObject *CalcWorkbooksObject::query(const QString &member, const QVariantList &arguments)
{
    if (isMember(member, "Add")) {
        if (CalcDocument *doc = m_backend->newDocument())
            return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Workbook, doc);
    }
    if (isMember(member, "Item")) {
        for (CalcDocument *doc : m_backend->documents())
            if (doc->name() == firstArgument(arguments))
                return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Workbook, doc);
    }
    return new AutomationObject;
}

// ---- Worksheet

CalcWorksheetObject::CalcWorksheetObject(CalcBackend *backend, CalcDocument *document, int sheet)
    : m_backend(backend), m_document(document), m_sheet(sheet)
{
    if (document)
        connect(document, &CalcDocument::userEdited, this, &CalcWorksheetObject::userEdited);
}

bool CalcWorksheetObject::isNull() const
{
    return !m_document || !m_document->isOpen() || m_sheet < 0;
}

QVariant CalcWorksheetObject::read(const QString &member, const QVariantList &) const
{
    if (isNull())
        return QVariant();
    if (isMember(member, "Name"))
        return m_document->sheetName(m_sheet);
    if (isMember(member, "Index"))
        return m_sheet + 1;
    return QVariant();
}

AutomationObject *CalcWorksheetObject::query(const QString &member, const QVariantList &arguments)
{
    if (isNull())
        return new AutomationObject;
    if (isMember(member, "Parent"))
        return new CalcDocumentObject(m_backend, CalcDocumentObject::Kind::Workbook, m_document.data());
    if (isMember(member, "Range")) {
        const QList<CalcArea> areas = CalcAddress::parse(firstArgument(arguments), m_sheet);
        if (!areas.isEmpty())
            return new CalcRangeObject(m_backend, m_document.data(), areas);
    }
    return new AutomationObject;
}

void CalcWorksheetObject::userEdited(int sheet, const QList<CalcArea> &areas)
{
    if (sheet != m_sheet)
        return;
    CalcRangeObject range(m_backend, m_document.data(), areas);
    emit change(&range);
}

// ---- Range

CalcRangeObject::CalcRangeObject(CalcBackend *backend, CalcDocument *document, const QList<CalcArea> &areas)
    : m_backend(backend), m_document(document), m_areas(areas)
{
}

bool CalcRangeObject::isNull() const
{
    return !m_document || !m_document->isOpen() || m_areas.isEmpty();
}

AutomationBackend *CalcRangeObject::exchanger() const
{
    return m_backend;
}

Reference<table::XCell> CalcRangeObject::cell(int row, int column) const
{
    const bool first = row == m_areas.first().firstRow && column == m_areas.first().firstColumn;
    if (first && m_first.is())
        return m_first;
    const Reference<sheet::XSpreadsheet> sheet = m_document->sheet(m_areas.first().sheet);
    Reference<table::XCell> found;
    if (sheet.is())
        m_document->connection().run([&] { found = sheet->getCellByPosition(column, row); });
    if (first)
        m_first = found;
    return found;
}

QVariant CalcRangeObject::read(const QString &member, const QVariantList &) const
{
    if (isNull())
        return QVariant();
    const CalcArea &area = m_areas.first();
    if (isMember(member, "Address"))
        return CalcAddress::relative(m_areas);
    if (isMember(member, "Row"))
        return area.firstRow + 1;
    if (isMember(member, "Column"))
        return area.firstColumn + 1;
    const bool value = isMember(member, "Value");
    const bool text = isMember(member, "Text");
    if (value || text) {
        const Reference<table::XCell> first = cell(area.firstRow, area.firstColumn);
        QVariant result;
        if (first.is())
            m_document->connection().run([&] {
                result = value ? variantOf(first) : QVariant(fromOUString(Reference<text::XText>(first, UNO_QUERY_THROW)->getString()));
            });
        return result;
    }
    if (isMember(member, "HasFormula")) {
        long long budget = formulaTestLimit;
        for (const CalcArea &each : m_areas)
            for (int r = each.firstRow; r <= each.lastRow && budget > 0; ++r)
                for (int c = each.firstColumn; c <= each.lastColumn && budget-- > 0; ++c) {
                    const Reference<table::XCell> one = cell(r, c);
                    bool formula = false;
                    if (one.is())
                        m_document->connection().run([&] { formula = one->getType() == table::CellContentType_FORMULA; });
                    if (!formula)
                        return false;
                }
        return true;
    }
    return QVariant();
}

bool CalcRangeObject::write(const QString &member, const QVariant &value)
{
    if (isNull() || !isMember(member, "Value"))
        return false;
    bool ok = true;
    for (const CalcArea &area : m_areas) {
        // A whole column written at once would be a million cells.
        if (static_cast<long long>(area.rows()) * area.columns() > 1000000)
            return false;
        for (int r = area.firstRow; r <= area.lastRow; ++r)
            for (int c = area.firstColumn; c <= area.lastColumn; ++c) {
                const Reference<table::XCell> one = cell(r, c);
                ok = one.is() && m_document->connection().run([&] {
                    if (value.typeId() == QMetaType::QString)
                        one->setFormula(toOUString(value.toString()));
                    else if (!value.isValid())
                        one->setFormula(rtl::OUString());
                    else
                        one->setValue(value.toDouble());
                }) && ok;
            }
    }
    return ok;
}

AutomationObject *CalcRangeObject::query(const QString &member, const QVariantList &)
{
    if (isNull())
        return new AutomationObject;
    if (isMember(member, "Worksheet"))
        return new CalcWorksheetObject(m_backend, m_document.data(), m_areas.first().sheet);
    if (isMember(member, "Application"))
        return new CalcApplicationObject(m_backend, m_document.data());
    return new AutomationObject;
}
