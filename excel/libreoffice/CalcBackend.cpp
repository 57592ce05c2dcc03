#include "CalcBackend.h"

#include "ActiveWindowHistory.h"
#include "CalcObjects.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XEnumeration.hpp>
#include <com/sun/star/container/XEnumerationAccess.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>

#include <unistd.h>

using namespace com::sun::star;
using uno::Reference;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

namespace {

const QString applicationClass = QStringLiteral("{00024500-0000-0000-c000-000000000046}");
const QString workbookClass = QStringLiteral("{00020819-0000-0000-c000-000000000046}");
const QString worksheetClass = QStringLiteral("{00020820-0000-0000-c000-000000000046}");

// Whether an office process of this user's runs, whatever pipe it listens on.
bool officeProcessRuns()
{
    const uid_t user = getuid();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (!comm.open(QIODevice::ReadOnly) || comm.readAll().trimmed() != "soffice.bin")
            continue;
        if (QFileInfo(QStringLiteral("/proc/%1").arg(entry)).ownerId() == user)
            return true;
    }
    return false;
}

// One cell of an exchange on one sheet of one document.
struct SheetKey
{
    CalcDocument *document;
    int sheet;
    bool operator<(const SheetKey &other) const
    {
        return document != other.document ? std::less<CalcDocument *>()(document, other.document) : sheet < other.sheet;
    }
};
using CellKey = QPair<int, int>; // row, column

// Covers cells with few rectangles: runs along rows, stacked where rows repeat a run.
QList<CalcArea> rectanglesOf(int sheet, const QList<CellKey> &sortedCells)
{
    QList<CalcArea> done;
    QList<CalcArea> open;
    qsizetype i = 0;
    while (i < sortedCells.size()) {
        const int row = sortedCells[i].first;
        QList<CalcArea> runs;
        while (i < sortedCells.size() && sortedCells[i].first == row) {
            CalcArea run{sheet, row, sortedCells[i].second, row, sortedCells[i].second};
            ++i;
            while (i < sortedCells.size() && sortedCells[i].first == row && sortedCells[i].second == run.lastColumn + 1)
                run.lastColumn = sortedCells[i++].second;
            runs << run;
        }
        QList<CalcArea> stillOpen;
        for (CalcArea run : runs) {
            for (qsizetype k = 0; k < open.size(); ++k) {
                if (open[k].lastRow == row - 1 && open[k].firstColumn == run.firstColumn && open[k].lastColumn == run.lastColumn) {
                    run.firstRow = open[k].firstRow;
                    open.removeAt(k);
                    break;
                }
            }
            stillOpen << run;
        }
        done << open;
        open = stillOpen;
    }
    return done << open;
}

// Reading a bounding rectangle is one call; a sparse one would read too much.
QList<CalcArea> readRectanglesOf(int sheet, const QList<CellKey> &sortedCells)
{
    CalcArea box{sheet, sortedCells.first().first, sortedCells.first().second, sortedCells.first().first,
                 sortedCells.first().second};
    for (const CellKey &cell : sortedCells) {
        box.lastRow = std::max(box.lastRow, cell.first);
        box.firstColumn = std::min(box.firstColumn, cell.second);
        box.lastColumn = std::max(box.lastColumn, cell.second);
    }
    if (static_cast<long long>(box.rows()) * box.columns() <= 4 * sortedCells.size() + 256)
        return {box};
    return rectanglesOf(sheet, sortedCells);
}

QVariant variantOf(const uno::Any &value)
{
    double number = 0;
    if (value >>= number)
        return number;
    rtl::OUString text;
    if ((value >>= text) && !text.isEmpty())
        return fromOUString(text);
    return QVariant();
}

} // namespace

CalcBackend::CalcBackend(const QString &pipeName, const QStringList &officeArguments, QObject *parent)
    : QObject(parent), m_connection(new OfficeConnection(pipeName, officeArguments, this)),
      m_headless(officeArguments.contains(QStringLiteral("--headless")))
{
    connect(m_connection, &OfficeConnection::lost, this, [this](const QString &message) {
        forgetAll();
        emit officeLost(message);
    });
}

CalcBackend::~CalcBackend()
{
    // Documents let their listeners go through the connection: they go first.
    m_documents.clear();
    qDeleteAll(findChildren<CalcDocument *>(QString(), Qt::FindDirectChildrenOnly));
}

QString CalcBackend::defaultPipeName()
{
    return QStringLiteral("tarvio-calc-%1").arg(getuid());
}

QString CalcBackend::applicationName() const
{
    return QStringLiteral("LibreOffice Calc");
}

bool CalcBackend::ownsWindowTitled(const QString &title) const
{
    return title.endsWith(QStringLiteral(" - ") + applicationName());
}

bool CalcBackend::connectOffice(bool start, bool newSpreadsheet)
{
    if (m_connection->isOpen() || m_connection->open(false))
        return true;
    if (!start)
        return false;
    // A running office takes the pipe as it is; a new one opens a spreadsheet.
    const bool calc = newSpreadsheet && !officeProcessRuns();
    return m_connection->open(true, calc ? QStringList{QStringLiteral("--calc")} : QStringList());
}

void CalcBackend::start()
{
    if (connectOffice(true) && !frontDocument())
        newDocument();
}

bool CalcBackend::isRunning()
{
    return m_connection->isOpen() || officeProcessRuns();
}

QString CalcBackend::foregroundTitle()
{
    // Calc titles its windows "<document> - LibreOffice Calc".
    const QString title = ActiveWindowHistory::instance().activeTitle();
    if (!ownsWindowTitled(title))
        return QString();
    return applicationName() + QStringLiteral(" - ") + title.left(title.size() - applicationName().size() - 3);
}

void CalcBackend::forgetAll()
{
    const QList<CalcDocument *> documents = m_documents;
    m_documents.clear();
    for (CalcDocument *document : documents) {
        document->forget();
        document->deleteLater();
    }
}

CalcDocument *CalcBackend::adopt(const void *model)
{
    const auto &spreadsheet = *static_cast<const Reference<sheet::XSpreadsheetDocument> *>(model);
    if (!spreadsheet.is())
        return nullptr;
    for (CalcDocument *document : m_documents)
        if (document->model() == spreadsheet)
            return document;
    auto *document = new CalcDocument(m_nextId++, spreadsheet, m_connection, this);
    connect(document, &CalcDocument::closed, this, [this](CalcDocument *closed) {
        m_documents.removeAll(closed);
        closed->deleteLater();
    });
    m_documents << document;
    return document;
}

CalcDocument *CalcBackend::frontDocument()
{
    const QList<CalcDocument *> all = documents();
    return all.isEmpty() ? nullptr : all.first();
}

QList<CalcDocument *> CalcBackend::documents()
{
    if (!m_connection->isOpen())
        return {};
    // The current component follows the office window the user activated
    // last; a hidden document is never current, so the others follow it.
    Reference<sheet::XSpreadsheetDocument> front;
    QList<Reference<sheet::XSpreadsheetDocument>> open;
    m_connection->run([&] {
        front.set(m_connection->desktop()->getCurrentComponent(), UNO_QUERY);
        const Reference<container::XEnumeration> all = m_connection->desktop()->getComponents()->createEnumeration();
        while (all->hasMoreElements()) {
            Reference<sheet::XSpreadsheetDocument> document(all->nextElement(), UNO_QUERY);
            if (document.is())
                open << document;
        }
    });
    QList<CalcDocument *> found;
    if (CalcDocument *current = adopt(&front))
        found << current;
    for (const Reference<sheet::XSpreadsheetDocument> &document : open)
        if (CalcDocument *known = adopt(&document); known && !found.contains(known))
            found << known;
    return found;
}

uno::Sequence<beans::PropertyValue> CalcBackend::loadArguments() const
{
    // An office without a display shows no window: its documents load hidden.
    if (!m_headless)
        return {};
    beans::PropertyValue hidden;
    hidden.Name = "Hidden";
    hidden.Value <<= true;
    return uno::Sequence<beans::PropertyValue>(&hidden, 1);
}

CalcDocument *CalcBackend::newDocument()
{
    if (!connectOffice(true))
        return nullptr;
    Reference<sheet::XSpreadsheetDocument> document;
    m_connection->run(
        [&] {
            const Reference<frame::XComponentLoader> loader(m_connection->desktop(), UNO_QUERY_THROW);
            document.set(loader->loadComponentFromURL("private:factory/scalc", "_blank", 0, loadArguments()), UNO_QUERY);
        },
        60000);
    return adopt(&document);
}

qint64 CalcBackend::openDocument(const QString &path, QString *message)
{
    const QFileInfo file(path);
    if (!file.isReadable()) {
        if (message)
            *message = QStringLiteral("Cannot read %1.").arg(path);
        return 0;
    }
    if (!connectOffice(true, false)) {
        if (message)
            *message = QStringLiteral("LibreOffice Calc could not be started.");
        return 0;
    }
    Reference<sheet::XSpreadsheetDocument> document;
    const QString url = QUrl::fromLocalFile(file.absoluteFilePath()).toString(QUrl::FullyEncoded);
    m_connection->run(
        [&] {
            const Reference<frame::XComponentLoader> loader(m_connection->desktop(), UNO_QUERY_THROW);
            document.set(loader->loadComponentFromURL(toOUString(url), "_default", 0, loadArguments()), UNO_QUERY);
        },
        60000);
    CalcDocument *opened = adopt(&document);
    if (!opened && message)
        *message = QStringLiteral("LibreOffice Calc could not open %1 as a spreadsheet.").arg(file.fileName());
    return opened ? opened->id() : 0;
}

AutomationObject *CalcBackend::create(const QString &classId)
{
    QString id = classId.trimmed();
    if (id.endsWith(QLatin1Char('&')))
        id.chop(1);
    if (id.compare(applicationClass, Qt::CaseInsensitive) == 0) {
        connectOffice(true);
        return new CalcApplicationObject(this);
    }
    CalcDocument *front = frontDocument();
    if (front && id.compare(workbookClass, Qt::CaseInsensitive) == 0)
        return new CalcDocumentObject(this, CalcDocumentObject::Kind::Workbook, front);
    if (front && id.compare(worksheetClass, Qt::CaseInsensitive) == 0)
        return new CalcWorksheetObject(this, front, front->activeSheet());
    return new AutomationObject;
}

QList<qint64> CalcBackend::mainWindows()
{
    QList<qint64> ids;
    // The user's office takes our pipe when it does not listen yet; none is started here.
    if (!connectOffice(officeProcessRuns()))
        return ids;
    for (CalcDocument *document : documents())
        ids << document->id();
    return ids;
}

AutomationObject *CalcBackend::workbookWindow(qint64 mainWindow)
{
    for (CalcDocument *document : std::as_const(m_documents))
        if (document->id() == mainWindow && document->isOpen())
            return new CalcDocumentObject(this, CalcDocumentObject::Kind::Window, document);
    return new AutomationObject;
}

quint64 CalcBackend::bridgeCalls() const
{
    return m_connection->calls();
}

void CalcBackend::setWatchdogTimeout(int milliseconds)
{
    m_connection->setWatchdogTimeout(milliseconds);
}

QList<QVariant> CalcBackend::exchange(const QList<AutomationObject *> &write, const QList<double> &values,
                                      const QList<AutomationObject *> &read)
{
    // The inputs, a rectangle of cells at a time.
    QMap<SheetKey, QMap<CellKey, double>> inputs;
    for (qsizetype i = 0; i < write.size() && i < values.size(); ++i) {
        auto *range = qobject_cast<CalcRangeObject *>(write[i]);
        if (!range || range->isNull())
            continue;
        for (const CalcArea &area : range->areas())
            for (int r = area.firstRow; r <= area.lastRow; ++r)
                for (int c = area.firstColumn; c <= area.lastColumn; ++c)
                    inputs[SheetKey{range->document(), area.sheet}][CellKey(r, c)] = values[i];
    }
    for (auto sheet = inputs.cbegin(); sheet != inputs.cend(); ++sheet) {
        const QMap<CellKey, double> &cells = sheet.value();
        for (const CalcArea &area : rectanglesOf(sheet.key().sheet, cells.keys())) {
            const Reference<sheet::XCellRangeData> data = sheet.key().document->rangeData(area);
            if (!data.is())
                continue;
            uno::Sequence<uno::Sequence<uno::Any>> rows(area.rows());
            for (int r = 0; r < area.rows(); ++r) {
                uno::Sequence<uno::Any> row(area.columns());
                for (int c = 0; c < area.columns(); ++c)
                    row.getArray()[c] <<= cells.value(CellKey(area.firstRow + r, area.firstColumn + c));
                rows.getArray()[r] = row;
            }
            m_connection->run([&] { data->setDataArray(rows); });
        }
    }

    // The watched cells (each range's first), a rectangle per sheet where it is not too sparse.
    QMap<SheetKey, QMap<CellKey, QVariant>> outputs;
    for (AutomationObject *object : read) {
        auto *range = qobject_cast<CalcRangeObject *>(object);
        if (range && !range->isNull()) {
            const CalcArea &area = range->areas().first();
            outputs[SheetKey{range->document(), area.sheet}][CellKey(area.firstRow, area.firstColumn)] = QVariant();
        }
    }
    for (auto sheet = outputs.begin(); sheet != outputs.end(); ++sheet) {
        QMap<CellKey, QVariant> &cells = sheet.value();
        for (const CalcArea &area : readRectanglesOf(sheet.key().sheet, cells.keys())) {
            const Reference<sheet::XCellRangeData> data = sheet.key().document->rangeData(area);
            uno::Sequence<uno::Sequence<uno::Any>> rows;
            if (!data.is() || !m_connection->run([&] { rows = data->getDataArray(); }))
                continue;
            for (int r = 0; r < rows.getLength() && r < area.rows(); ++r)
                for (int c = 0; c < rows[r].getLength() && c < area.columns(); ++c) {
                    const CellKey key(area.firstRow + r, area.firstColumn + c);
                    if (cells.contains(key))
                        cells[key] = variantOf(rows[r][c]);
                }
        }
    }
    QList<QVariant> results;
    results.reserve(read.size());
    for (AutomationObject *object : read) {
        auto *range = qobject_cast<CalcRangeObject *>(object);
        if (!range || range->isNull()) {
            results << QVariant();
            continue;
        }
        const CalcArea &area = range->areas().first();
        results << outputs.value(SheetKey{range->document(), area.sheet}).value(CellKey(area.firstRow, area.firstColumn));
    }
    return results;
}
