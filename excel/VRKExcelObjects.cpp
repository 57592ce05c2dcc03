#include "VRKExcelObjects.h"
#include "ExcelLogging.h"
#include "PointEvaluation.h"

#include <QDebug>

#include <cmath>
#include <limits>

Q_LOGGING_CATEGORY(lcExcel, "tarvio.excel", QtWarningMsg)

namespace {

const char *const applicationClass = "{00024500-0000-0000-c000-000000000046}&";
const char *const workbookClass = "{00020819-0000-0000-c000-000000000046}";
const char *const worksheetClass = "{00020820-0000-0000-c000-000000000046}";

QVariant emptyString()
{
    return QVariant(QString());
}

} // namespace

// ---- VRKExcelBase

VRKExcelBase::VRKExcelBase(QObject *parent)
    : QObject(parent)
{
}

VRKExcelBase::~VRKExcelBase()
{
    qDeleteAll(ownedWrappers);
    delete m_axObject;
}

AutomationObject *VRKExcelBase::axObject()
{
    if (!m_axObject)
        setAxObject(createAxObject());
    return m_axObject;
}

void VRKExcelBase::setAxObject(AutomationObject *object)
{
    if (object == m_axObject)
        return;
    delete m_axObject;
    m_axObject = object;
    axObjectSet(object);
}

AutomationObject *VRKExcelBase::takeAxObject()
{
    AutomationObject *object = m_axObject;
    m_axObject = nullptr;
    return object;
}

void VRKExcelBase::axObjectSet(AutomationObject *)
{
}

AutomationObject *VRKExcelBase::classObject(const char *classId)
{
    return AutomationBackend::current().create(QString::fromLatin1(classId));
}

// ---- VRKExcelApplication

AutomationObject *VRKExcelApplication::createAxObject()
{
    AutomationObject *application = classObject(applicationClass);
    application->write(QStringLiteral("EnableEvents"), true);
    application->write(QStringLiteral("Visible"), true);
    return application;
}

VRKExcelWorkbooks *VRKExcelApplication::workbooks()
{
    if (!workbooksWrapper) {
        workbooksWrapper = new VRKExcelWorkbooks(this);
        ownedWrappers << workbooksWrapper;
    }
    return workbooksWrapper;
}

VRKExcelWindow *VRKExcelApplication::activeWindow(bool keep)
{
    auto *window = new VRKExcelWindow(this);
    window->setAxObject(axObject()->query(QStringLiteral("ActiveWindow")));
    return handOut(window, keep);
}

VRKExcelWorkbook *VRKExcelApplication::activeWorkbook(bool keep)
{
    auto *workbook = new VRKExcelWorkbook(this);
    workbook->setAxObject(axObject()->query(QStringLiteral("ActiveWorkbook")));
    return handOut(workbook, keep);
}

void VRKExcelApplication::setVisible(bool visible)
{
    axObject()->write(QStringLiteral("Visible"), visible);
}

void VRKExcelApplication::show()
{
    setVisible(true);
}

// ---- VRKExcelSheet

AutomationObject *VRKExcelSheet::createAxObject()
{
    return classObject(worksheetClass);
}

void VRKExcelSheet::axObjectSet(AutomationObject *object)
{
    if (object) {
        connect(object, &AutomationObject::change, this, &VRKExcelSheet::sheetChange);
        connect(object, &AutomationObject::cellsMoved, this, &VRKExcelSheet::sheetCellsMoved);
    }
}

QString VRKExcelSheet::name()
{
    return axObject()->read(QStringLiteral("Name")).toString();
}

VRKExcelRange *VRKExcelSheet::range(const QString &address, bool keep)
{
    if (VRKExcelRange *cached = rangeCache.value(address))
        return cached;
    auto *range = new VRKExcelRange(this);
    range->setAxObject(axObject()->query(QStringLiteral("Range"), {address}));
    if (!keep)
        return handOut(range, false);
    rangeCache.insert(address, range);
    // A cached range deleted by its user must not be handed out again.
    connect(range, &QObject::destroyed, this, [this, address] { rangeCache.remove(address); });
    return range;
}

VRKExcelWorkbook *VRKExcelSheet::workbook()
{
    if (workbookWrapper)
        return workbookWrapper;
    if (auto *parentWorkbook = qobject_cast<VRKExcelWorkbook *>(parent())) {
        workbookWrapper = parentWorkbook;
    } else if (qobject_cast<VRKExcelWorksheets *>(parent()) && parent()
               && qobject_cast<VRKExcelWorkbook *>(parent()->parent())) {
        workbookWrapper = qobject_cast<VRKExcelWorkbook *>(parent()->parent());
    } else {
        workbookWrapper = new VRKExcelWorkbook(this);
        workbookWrapper->setAxObject(axObject()->query(QStringLiteral("Parent")));
    }
    return workbookWrapper;
}

void VRKExcelSheet::sheetChange(AutomationObject *changed)
{
    // The range is lent for the length of the signal only.
    VRKExcelRange range;
    range.setAxObject(changed);
    emit rangeChanged(&range);
    range.takeAxObject();
}

void VRKExcelSheet::sheetCellsMoved()
{
    // The ranges are the same objects at other addresses: none is found under its old one.
    rangeCache.clear();
    for (VRKExcelRange *range : findChildren<VRKExcelRange *>(QString(), Qt::FindDirectChildrenOnly))
        range->forgetAddress();
    emit cellsMoved();
}

// ---- VRKExcelWindow

AutomationObject *VRKExcelWindow::createAxObject()
{
    return new AutomationObject;
}

VRKExcelSheet *VRKExcelWindow::activeSheet(bool keep)
{
    auto *sheet = new VRKExcelSheet(this);
    if (!axObject()->isNull())
        sheet->setAxObject(axObject()->query(QStringLiteral("ActiveSheet")));
    return handOut(sheet, keep);
}

VRKExcelRange *VRKExcelWindow::rangeSelection(bool keep)
{
    auto *range = new VRKExcelRange(this);
    range->setAxObject(axObject()->query(QStringLiteral("RangeSelection")));
    return handOut(range, keep);
}

QString VRKExcelWindow::filteredSelection(bool formulas)
{
    activeSheetWrapper = activeSheet(false);
    formulaMode = formulas;
    acceptedAddresses.clear();
    VRKExcelRange *selection = rangeSelection(false);
    connect(selection, &VRKExcelRange::rangeIterated, this, &VRKExcelWindow::rangeIteratedForSelectionWithFilter);
    selection->iterate(true);
    delete selection;
    const QString accepted = acceptedAddresses.join(QLatin1Char(';'));
    acceptedAddresses.clear();
    return accepted;
}

void VRKExcelWindow::rangeIteratedForSelectionWithFilter(ExcelAddressBlock *block)
{
    if (!block || !block->isSingleCell() || !activeSheetWrapper)
        return;
    VRKExcelRange *cell = activeSheetWrapper->range(block->address(), false);
    const bool formula = cell->hasFormula();
    const bool accepted = formulaMode ? formula : !formula && cell->value() != emptyString();
    if (accepted)
        acceptedAddresses << block->address();
}

// ---- VRKExcelWorkbooks

AutomationObject *VRKExcelBase::applicationMember(const QString &member)
{
    AutomationObject *temporary = classObject(applicationClass);
    AutomationObject *found = temporary->query(member);
    delete temporary;
    return found;
}

template <typename Item>
Item *VRKExcelBase::itemByName(const QString &name, bool keep)
{
    for (Item *child : findChildren<Item *>(QString(), Qt::FindDirectChildrenOnly))
        if (child->name() == name)
            return child;
    AutomationObject *found = axObject()->query(QStringLiteral("Item"), {name});
    if (found->isNull()) {
        delete found;
        return nullptr;
    }
    auto *item = new Item(this);
    item->setAxObject(found);
    return handOut(item, keep);
}

AutomationObject *VRKExcelWorkbooks::createAxObject()
{
    if (auto *application = qobject_cast<VRKExcelApplication *>(parent()))
        return application->axObject()->query(QStringLiteral("Workbooks"));
    return applicationMember(QStringLiteral("Workbooks"));
}

VRKExcelWorkbook *VRKExcelWorkbooks::item(const QString &name, bool keep)
{
    return itemByName<VRKExcelWorkbook>(name, keep);
}

VRKExcelWorkbook *VRKExcelWorkbooks::add(bool keep)
{
    auto *workbook = new VRKExcelWorkbook(this);
    workbook->setAxObject(axObject()->query(QStringLiteral("Add")));
    return handOut(workbook, keep);
}

// ---- VRKExcelWorkbook

AutomationObject *VRKExcelWorkbook::createAxObject()
{
    return classObject(workbookClass);
}

QString VRKExcelWorkbook::name()
{
    return axObject()->read(QStringLiteral("Name")).toString();
}

bool VRKExcelWorkbook::isSaved()
{
    return axObject()->read(QStringLiteral("Saved")).toBool();
}

void VRKExcelWorkbook::setSaved(bool saved)
{
    axObject()->write(QStringLiteral("Saved"), saved);
}

VRKExcelWorksheets *VRKExcelWorkbook::worksheets()
{
    if (!worksheetsWrapper)
        worksheetsWrapper = new VRKExcelWorksheets(this);
    return worksheetsWrapper;
}

// ---- VRKExcelWorksheets

AutomationObject *VRKExcelWorksheets::createAxObject()
{
    if (auto *workbook = qobject_cast<VRKExcelWorkbook *>(parent()))
        return workbook->axObject()->query(QStringLiteral("Worksheets"));
    if (auto *application = qobject_cast<VRKExcelApplication *>(parent()))
        return application->axObject()->query(QStringLiteral("Worksheets"));
    return applicationMember(QStringLiteral("Worksheets"));
}

VRKExcelWorksheet *VRKExcelWorksheets::item(const QString &name, bool keep)
{
    return itemByName<VRKExcelWorksheet>(name, keep);
}

// ---- VRKExcelRange

AutomationObject *VRKExcelRange::createAxObject()
{
    return new AutomationObject;
}

QString VRKExcelRange::address()
{
    if (addressCache.isEmpty())
        addressCache = axObject()->read(QStringLiteral("Address"), {false, false}).toString();
    return addressCache;
}

bool VRKExcelRange::isAvailable()
{
    return !axObject()->isNull();
}

QVariant VRKExcelRange::value()
{
    return axObject()->read(QStringLiteral("Value"));
}

QVariant VRKExcelRange::text()
{
    return axObject()->read(QStringLiteral("Text"));
}

bool VRKExcelRange::hasFormula()
{
    return axObject()->read(QStringLiteral("HasFormula")).toBool();
}

void VRKExcelRange::setValue(const QVariant &value)
{
    const QVariant written = value.typeId() == QMetaType::Float ? QVariant(value.toDouble()) : value;
    if (axObject()->typeName() != QLatin1String("Range")) {
        qCDebug(lcExcel) << "Invalid range interface" << axObject();
        return;
    }
    axObject()->write(QStringLiteral("Value"), written);
}

VRKExcelSheet *VRKExcelRange::worksheet(bool keep)
{
    if (worksheetWrapper)
        return worksheetWrapper;
    if (auto *sheet = qobject_cast<VRKExcelSheet *>(parent())) {
        worksheetWrapper = sheet;
        return sheet;
    }
    auto *sheet = new VRKExcelSheet(this);
    sheet->setAxObject(axObject()->query(QStringLiteral("Worksheet")));
    if (keep)
        worksheetWrapper = sheet;
    return handOut(sheet, keep);
}

QString VRKExcelRange::findLabel(int row, int column, int rowStep, int columnStep)
{
    VRKExcelSheet *sheet = worksheet(false);
    for (int r = row + rowStep, c = column + columnStep; r >= 1 && c >= 1; r += rowStep, c += columnStep) {
        VRKExcelRange *cell = sheet->range(ExcelAddressBlock::cellName(r, c), false);
        const QVariant v = cell->value();
        if (v == emptyString())
            return QString();
        bool isNumber = false;
        v.toFloat(&isNumber);
        if (isNumber)
            continue;
        return cell->text().toString();
    }
    return QString();
}

QStringList VRKExcelRange::findLabels()
{
    const int row = axObject()->read(QStringLiteral("Row")).toInt();
    const int column = axObject()->read(QStringLiteral("Column")).toInt();
    return {findLabel(row, column, 0, -1), findLabel(row, column, -1, 0)};
}

void VRKExcelRange::iterate(bool iterateCells)
{
    ExcelAddressBlock block;
    connect(&block, &ExcelAddressBlock::rangeIterated, this, &VRKExcelRange::rangeIteration);
    block.setAddress(address(), iterateCells);
}

void VRKExcelRange::rangeIteration(ExcelAddressBlock *block)
{
    emit rangeIterated(block);
}

// ---- the exchange of the slider road and the scan

namespace {

// The cells of one exchange that one backend serves (none: member by member).
struct ExchangeGroup
{
    AutomationBackend *backend = nullptr;
    QList<AutomationObject *> write;
    QList<double> values;
    QList<AutomationObject *> read;
    QList<qsizetype> readIndex;
};

ExchangeGroup &groupOf(QList<ExchangeGroup> &groups, AutomationBackend *backend)
{
    for (ExchangeGroup &group : groups)
        if (group.backend == backend)
            return group;
    groups.append(ExchangeGroup{backend, {}, {}, {}, {}});
    return groups.last();
}

} // namespace

QList<double> setCellValuesGetCellValues(const QList<VRKExcelRange *> &write, const QList<double> &values,
                                         const QList<VRKExcelRange *> &read)
{
    if (write.size() != values.size()) {
        qCDebug(lcExcel) << "Incorrect data length in setCellValuesGetCellValues";
        return {};
    }
    // Each backend gets its cells in one call, so one that talks over a wire
    // can write its inputs together and read its watched cells together.
    QList<ExchangeGroup> groups;
    for (qsizetype i = 0; i < write.size(); ++i) {
        AutomationObject *cell = write[i]->axObject();
        if (cell->typeName() != QLatin1String("Range")) {
            qCDebug(lcExcel) << "Invalid range interface" << cell;
            continue;
        }
        ExchangeGroup &group = groupOf(groups, cell->exchanger());
        group.write << cell;
        group.values << values[i];
    }
    for (qsizetype i = 0; i < read.size(); ++i) {
        AutomationObject *cell = read[i]->axObject();
        ExchangeGroup &group = groupOf(groups, cell->exchanger());
        group.read << cell;
        group.readIndex << i;
    }
    QList<double> results(read.size(), std::numeric_limits<double>::quiet_NaN());
    for (const ExchangeGroup &group : groups) {
        const QList<QVariant> cells = group.backend ? group.backend->exchange(group.write, group.values, group.read)
                                                    : AutomationBackend::exchangeEach(group.write, group.values, group.read);
        for (qsizetype i = 0; i < group.readIndex.size() && i < cells.size(); ++i)
            results[group.readIndex[i]] = readingOf(cells[i]);
    }
    return results;
}

double readingOf(const QVariant &cell)
{
    bool ok = false;
    const float number = cell.toFloat(&ok);
    return ok ? double(number) : std::numeric_limits<double>::quiet_NaN();
}

std::unique_ptr<PointEvaluation> parallelEvaluation(const QList<VRKExcelRange *> &write, const QList<VRKExcelRange *> &read)
{
    QList<AutomationObject *> writeCells, readCells;
    AutomationBackend *backend = nullptr;
    const auto collect = [&backend](const QList<VRKExcelRange *> &ranges, QList<AutomationObject *> &cells) {
        for (VRKExcelRange *range : ranges) {
            AutomationObject *cell = range->axObject();
            if (cell->typeName() != QLatin1String("Range") || !cell->exchanger()
                || (backend && cell->exchanger() != backend))
                return false;
            backend = cell->exchanger();
            cells << cell;
        }
        return true;
    };
    if (!collect(write, writeCells) || !collect(read, readCells) || !backend)
        return nullptr;
    return backend->evaluatePointsInParallel(writeCells, readCells);
}
