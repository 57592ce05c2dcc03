#include "CalcDocument.h"

#include <QUrl>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/container/XNamed.hpp>
#include <com/sun/star/frame/XController.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XTitle.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/sheet/XCellRangeAddressable.hpp>
#include <com/sun/star/sheet/XSheetCellRanges.hpp>
#include <com/sun/star/sheet/XSpreadsheetView.hpp>
#include <com/sun/star/util/XChangesNotifier.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XModifiable.hpp>
#include <cppuhelper/implbase1.hxx>

#include <mutex>

using namespace com::sun::star;
using uno::Reference;
using uno::UNO_QUERY;
using uno::UNO_QUERY_THROW;

// Where a listener on a bridge thread posts to; cleared when the document goes.
struct CalcListenerTarget
{
    std::mutex mutex;
    CalcDocument *document = nullptr;

    template <typename Function>
    void post(Function function)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (document)
            QMetaObject::invokeMethod(document, [document = document, function] { function(document); },
                                      Qt::QueuedConnection);
    }
};

namespace {

// Listener calls are synchronous for the office: copy, hand over, return.
class ChangesListener : public cppu::WeakImplHelper1<util::XChangesListener>
{
public:
    explicit ChangesListener(std::shared_ptr<CalcListenerTarget> target) : m_target(std::move(target)) {}

    void SAL_CALL changesOccurred(const util::ChangesEvent &event) override
    {
        std::vector<Reference<uno::XInterface>> changed;
        qCDebug(lcCalc) << "Changes:" << event.Changes.getLength();
        for (const util::ElementChange &change : event.Changes) {
            Reference<uno::XInterface> element;
            if (change.ReplacedElement >>= element)
                changed.push_back(element);
        }
        m_target->post([changed](CalcDocument *document) { document->changesArrived(changed); });
    }

    void SAL_CALL disposing(const lang::EventObject &) override
    {
        m_target->post([](CalcDocument *document) { document->forget(); });
    }

private:
    std::shared_ptr<CalcListenerTarget> m_target;
};

QString areaKey(const CalcArea &area)
{
    return QStringLiteral("%1/%2/%3/%4/%5").arg(area.sheet).arg(area.firstRow).arg(area.firstColumn).arg(area.lastRow).arg(area.lastColumn);
}

CalcArea areaOf(const table::CellRangeAddress &address)
{
    return CalcArea{address.Sheet, address.StartRow, address.StartColumn, address.EndRow, address.EndColumn};
}

} // namespace

CalcDocument::CalcDocument(qint64 id, const Reference<sheet::XSpreadsheetDocument> &model, OfficeConnection *connection,
                           QObject *parent)
    : QObject(parent), m_id(id), m_model(model), m_connection(connection), m_target(std::make_shared<CalcListenerTarget>())
{
    m_target->document = this;
    m_listener = new ChangesListener(m_target);
    m_connection->run([&] {
        Reference<util::XChangesNotifier>(m_model, UNO_QUERY_THROW)->addChangesListener(m_listener);
        Reference<lang::XComponent>(m_model, UNO_QUERY_THROW)->addEventListener(m_listener.get());
    });
}

CalcDocument::~CalcDocument()
{
    {
        std::lock_guard<std::mutex> lock(m_target->mutex);
        m_target->document = nullptr;
    }
    if (isOpen()) {
        m_connection->run([&] {
            Reference<util::XChangesNotifier>(m_model, UNO_QUERY_THROW)->removeChangesListener(m_listener);
            Reference<lang::XComponent>(m_model, UNO_QUERY_THROW)->removeEventListener(m_listener.get());
        });
    }
}

void CalcDocument::forget()
{
    if (!m_model.is())
        return;
    m_model.clear();
    m_rangeData.clear();
    emit closed(this);
}

QString CalcDocument::name()
{
    QString title;
    if (isOpen())
        m_connection->run([&] { title = fromOUString(Reference<frame::XTitle>(m_model, UNO_QUERY_THROW)->getTitle()); });
    return title;
}

QString CalcDocument::location()
{
    QString url;
    if (isOpen())
        m_connection->run([&] { url = fromOUString(Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->getURL()); });
    return QUrl(url).toLocalFile();
}

void CalcDocument::close()
{
    if (isOpen())
        m_connection->run([&] { Reference<util::XCloseable>(m_model, UNO_QUERY_THROW)->close(true); });
}

int CalcDocument::sheetCount()
{
    int count = 0;
    if (isOpen())
        m_connection->run([&] {
            count = Reference<container::XIndexAccess>(m_model->getSheets(), UNO_QUERY_THROW)->getCount();
        });
    return count;
}

Reference<sheet::XSpreadsheet> CalcDocument::sheet(int index)
{
    Reference<sheet::XSpreadsheet> found;
    if (isOpen() && index >= 0)
        m_connection->run([&] {
            Reference<container::XIndexAccess> sheets(m_model->getSheets(), UNO_QUERY_THROW);
            if (index < sheets->getCount())
                sheets->getByIndex(index) >>= found;
        });
    return found;
}

QString CalcDocument::sheetName(int index)
{
    const Reference<sheet::XSpreadsheet> found = sheet(index);
    QString name;
    if (found.is())
        m_connection->run([&] { name = fromOUString(Reference<container::XNamed>(found, UNO_QUERY_THROW)->getName()); });
    return name;
}

int CalcDocument::sheetIndex(const QString &name)
{
    int index = -1;
    if (isOpen())
        m_connection->run([&] {
            const Reference<container::XIndexAccess> sheets(m_model->getSheets(), UNO_QUERY_THROW);
            if (!m_model->getSheets()->hasByName(toOUString(name)))
                return;
            const Reference<sheet::XCellRangeAddressable> found(m_model->getSheets()->getByName(toOUString(name)), UNO_QUERY_THROW);
            index = found->getRangeAddress().Sheet;
        });
    return index;
}

int CalcDocument::activeSheet()
{
    int index = -1;
    if (isOpen())
        m_connection->run([&] {
            const Reference<sheet::XSpreadsheetView> view(Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->getCurrentController(),
                                                          UNO_QUERY);
            if (view.is())
                index = Reference<sheet::XCellRangeAddressable>(view->getActiveSheet(), UNO_QUERY_THROW)->getRangeAddress().Sheet;
        });
    return index;
}

QString CalcDocument::selection(int *sheet)
{
    QString address;
    QString sheetName;
    if (isOpen())
        m_connection->run([&] {
            const Reference<frame::XController> controller = Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->getCurrentController();
            const Reference<beans::XPropertySet> cells(Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->getCurrentSelection(), UNO_QUERY);
            if (!controller.is() || !cells.is())
                return;
            rtl::OUString name;
            if (cells->getPropertyValue("AbsoluteName") >>= name)
                address = CalcAddress::relative(fromOUString(name), &sheetName);
        });
    if (sheet)
        *sheet = address.isEmpty() ? -1 : sheetIndex(sheetName);
    return address;
}

bool CalcDocument::isModified()
{
    bool modified = false;
    if (isOpen())
        m_connection->run([&] { modified = Reference<util::XModifiable>(m_model, UNO_QUERY_THROW)->isModified(); });
    return modified;
}

void CalcDocument::setModified(bool modified)
{
    if (isOpen())
        m_connection->run([&] { Reference<util::XModifiable>(m_model, UNO_QUERY_THROW)->setModified(modified); });
}

Reference<sheet::XCellRangeData> CalcDocument::rangeData(const CalcArea &area)
{
    const QString key = areaKey(area);
    if (const auto cached = m_rangeData.constFind(key); cached != m_rangeData.constEnd())
        return cached.value();
    const Reference<sheet::XSpreadsheet> onSheet = sheet(area.sheet);
    Reference<sheet::XCellRangeData> data;
    if (onSheet.is())
        m_connection->run([&] {
            data.set(onSheet->getCellRangeByPosition(area.firstColumn, area.firstRow, area.lastColumn, area.lastRow),
                     UNO_QUERY_THROW);
        });
    if (data.is())
        m_rangeData.insert(key, data);
    return data;
}

void CalcDocument::changesArrived(const std::vector<Reference<uno::XInterface>> &changed)
{
    QHash<int, QList<CalcArea>> bySheet;
    QList<int> order;
    for (const Reference<uno::XInterface> &element : changed) {
        m_connection->run([&] {
            QList<CalcArea> areas;
            if (const Reference<sheet::XSheetCellRanges> ranges(element, UNO_QUERY); ranges.is()) {
                for (const table::CellRangeAddress &address : ranges->getRangeAddresses())
                    areas << areaOf(address);
            } else if (const Reference<sheet::XCellRangeAddressable> range(element, UNO_QUERY); range.is()) {
                areas << areaOf(range->getRangeAddress());
            }
            for (const CalcArea &area : areas) {
                if (!bySheet.contains(area.sheet))
                    order << area.sheet;
                bySheet[area.sheet] << area;
            }
        });
    }
    qCDebug(lcCalc) << "Edited sheets:" << order;
    for (int sheet : order)
        emit userEdited(sheet, bySheet.value(sheet));
}
