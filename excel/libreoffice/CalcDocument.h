#pragma once

#include "CalcAddress.h"
#include "OfficeConnection.h"

#include <QHash>
#include <QObject>

#include <com/sun/star/sheet/XCellRangeData.hpp>
#include <com/sun/star/sheet/XSpreadsheet.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/util/XChangesListener.hpp>

#include <memory>

struct CalcListenerTarget;

// One spreadsheet document open in the office, as the backend knows it: its
// id, its sheets and the user's edits, which arrive on bridge threads and are
// handed to the GUI thread. Once the document closes or the office goes, it
// is forgotten and every object on it reads as nothing.
class CalcDocument : public QObject
{
    Q_OBJECT
public:
    CalcDocument(qint64 id, const com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheetDocument> &model,
                 OfficeConnection *connection, QObject *parent = nullptr);
    ~CalcDocument() override;

    qint64 id() const { return m_id; }
    bool isOpen() const { return m_model.is() && m_connection->isOpen(); }
    const com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheetDocument> &model() const { return m_model; }
    OfficeConnection &connection() const { return *m_connection; }

    // The document's title as the office shows it ("projectile.xlsx").
    QString name();
    // The file the document was loaded from; empty for a new one.
    QString location();
    int sheetCount();
    QString sheetName(int sheet);
    int sheetIndex(const QString &name);
    int activeSheet();
    com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheet> sheet(int sheet);
    // The selection's relative address and its sheet; empty when no cells are selected.
    QString selection(int *sheet);
    bool isModified();
    void setModified(bool modified);
    // Closes the document without saving it.
    void close();
    // A rectangle's cells for the exchange, kept: moves repeat their layout.
    com::sun::star::uno::Reference<com::sun::star::sheet::XCellRangeData> rangeData(const CalcArea &area);

    void forget();
    // The cells the user changed, handed over from the office's listener call.
    void changesArrived(const std::vector<com::sun::star::uno::Reference<com::sun::star::uno::XInterface>> &changed);

signals:
    void userEdited(int sheet, const QList<CalcArea> &areas);
    void closed(CalcDocument *document);

private:

    qint64 m_id;
    com::sun::star::uno::Reference<com::sun::star::sheet::XSpreadsheetDocument> m_model;
    OfficeConnection *m_connection;
    std::shared_ptr<CalcListenerTarget> m_target;
    com::sun::star::uno::Reference<com::sun::star::util::XChangesListener> m_listener;
    QHash<QString, com::sun::star::uno::Reference<com::sun::star::sheet::XCellRangeData>> m_rangeData;
};
