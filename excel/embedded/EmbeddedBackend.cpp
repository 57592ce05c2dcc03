#include "EmbeddedBackend.h"

#include "EmbeddedObjects.h"
#include "EmbeddedPointEvaluation.h"
#include "io/WorkbookFiles.h"

#include <QFileInfo>
#include <QThread>

using namespace workbook;

namespace {

// The class ids of the automation model's creatable objects.
const QString applicationClass = QStringLiteral("{00024500-0000-0000-c000-000000000046}");
const QString workbookClass = QStringLiteral("{00020819-0000-0000-c000-000000000046}");
const QString worksheetClass = QStringLiteral("{00020820-0000-0000-c000-000000000046}");

} // namespace

EmbeddedBackend::EmbeddedBackend()
    : m_scanThreads(std::max(1, QThread::idealThreadCount()))
{
}

EmbeddedBackend &EmbeddedBackend::instance()
{
    static EmbeddedBackend *backend = new EmbeddedBackend;
    return *backend;
}

QString EmbeddedBackend::applicationName() const
{
    return QStringLiteral("Tarvio Workbook");
}

AutomationObject *EmbeddedBackend::create(const QString &classId)
{
    QString id = classId.trimmed();
    const bool runningFirst = id.endsWith(QLatin1Char('&'));
    if (runningFirst)
        id.chop(1);
    if (id.compare(applicationClass, Qt::CaseInsensitive) == 0) {
        // With "&" the running instance serves; either way there is one. A
        // spreadsheet that starts now opens with a blank workbook.
        const bool starting = !m_running;
        start();
        if (starting && documents().isEmpty())
            newDocument();
        return new EmbeddedApplicationObject;
    }
    // A bare workbook or worksheet is the one in front, as the spreadsheet hands it out.
    EmbeddedDocument *front = frontDocument();
    if (front && id.compare(workbookClass, Qt::CaseInsensitive) == 0)
        return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Workbook, front);
    if (front && id.compare(worksheetClass, Qt::CaseInsensitive) == 0)
        return new EmbeddedWorksheetObject(front, front->activeSheet());
    return new AutomationObject;
}

namespace {

// The cells of `objects` when each is a single cell of `document` (the first one's when null).
bool cellsOf(const QList<AutomationObject *> &objects, EmbeddedDocument *&document, std::vector<CellLocation> &cells)
{
    for (AutomationObject *object : objects) {
        const auto *range = qobject_cast<const EmbeddedRangeObject *>(object);
        CellLocation where;
        if (!range || !range->singleCell(where) || (document && range->document() != document))
            return false;
        document = range->document();
        cells.push_back(where);
    }
    return true;
}

} // namespace

std::unique_ptr<PointEvaluation> EmbeddedBackend::evaluatePointsInParallel(const QList<AutomationObject *> &write,
                                                                           const QList<AutomationObject *> &read)
{
    EmbeddedDocument *document = nullptr;
    std::vector<CellLocation> inputs, outputs;
    if (m_scanThreads < 2 || write.isEmpty() || !cellsOf(write, document, inputs) || !cellsOf(read, document, outputs))
        return nullptr;
    auto points = std::make_unique<EmbeddedPointEvaluation>(document, std::move(inputs), std::move(outputs), m_scanThreads);
    if (!points->usable())
        return nullptr;
    return points;
}

QList<qint64> EmbeddedBackend::mainWindows()
{
    QList<qint64> ids;
    for (EmbeddedDocument *doc : documents())
        ids << doc->id();
    return ids;
}

AutomationObject *EmbeddedBackend::workbookWindow(qint64 mainWindow)
{
    EmbeddedDocument *doc = document(mainWindow);
    if (!doc)
        return new AutomationObject;
    return new EmbeddedDocumentObject(EmbeddedDocumentObject::Kind::Window, doc);
}

QString EmbeddedBackend::foregroundTitle()
{
    EmbeddedDocument *active = activeDocumentWindow ? activeDocumentWindow() : nullptr;
    return active ? applicationName() + QStringLiteral(" - ") + active->name() : QString();
}

void EmbeddedBackend::start()
{
    m_running = true;
}

QList<EmbeddedDocument *> EmbeddedBackend::documents() const
{
    QList<EmbeddedDocument *> alive;
    for (const QPointer<EmbeddedDocument> &doc : m_documents)
        if (doc)
            alive << doc.data();
    return alive;
}

EmbeddedDocument *EmbeddedBackend::document(qint64 id) const
{
    for (EmbeddedDocument *doc : documents())
        if (doc->id() == id)
            return doc;
    return nullptr;
}

EmbeddedDocument *EmbeddedBackend::frontDocument() const
{
    const QList<EmbeddedDocument *> all = documents();
    return all.isEmpty() ? nullptr : all.first();
}

EmbeddedDocument *EmbeddedBackend::adopt(std::unique_ptr<Workbook> book, const QString &name,
                                         const std::function<void(EmbeddedDocument *)> &prepare)
{
    start();
    auto *doc = new EmbeddedDocument(m_nextId++, name, std::move(book), this);
    m_documents.prepend(doc);
    connect(doc, &QObject::destroyed, this, [this] { m_documents.removeAll(QPointer<EmbeddedDocument>()); });
    if (prepare)
        prepare(doc);
    if (showDocument)
        showDocument(doc);
    emit documentOpened(doc);
    return doc;
}

EmbeddedDocument *EmbeddedBackend::newDocument()
{
    auto book = std::make_unique<Workbook>();
    book->addSheet("Sheet1");
    const QString name = QStringLiteral("Book%1").arg(m_nextBookNumber++);
    book->name = name.toStdString();
    return adopt(std::move(book), name);
}

namespace {

// The lines a user is told after opening: what was not read, with where, and
// the formulas kept as the file had them.
QStringList readNotesOf(const LoadReport &report)
{
    constexpr size_t shown = 20;
    QStringList notes;
    for (size_t i = 0; i < report.notRead.size() && i < shown; ++i)
        notes << QString::fromStdString(report.notRead[i]);
    if (report.notRead.size() > shown)
        notes << QStringLiteral("... and %1 more.").arg(report.notRead.size() - shown);
    if (report.unreadableFormulas > 0) {
        QStringList cells;
        for (const std::string &cell : report.unreadableFormulaCells)
            cells << QString::fromStdString(cell);
        notes << QStringLiteral("%1 formula(s) this program cannot evaluate keep their text and the result the file "
                                "saved, and are saved back unchanged: %2")
                     .arg(report.unreadableFormulas)
                     .arg(cells.join(QStringLiteral(", ")));
    }
    return notes;
}

} // namespace

EmbeddedDocument *EmbeddedBackend::openDocument(const QString &path, QString *message, bool *cancelled)
{
    auto book = std::make_unique<Workbook>();
    const QString file = QFileInfo(path).absoluteFilePath();
    const LoadReport report = loadFile ? loadFile(file, *book) : loadWorkbookFile(file.toStdString(), *book);
    if (cancelled)
        *cancelled = report.cancelled;
    if (!report.ok) {
        if (message)
            *message = QString::fromStdString(report.message);
        return nullptr;
    }
    return adopt(std::move(book), QFileInfo(path).fileName(), [&report](EmbeddedDocument *doc) {
        QStringList unsupported;
        for (const std::string &part : report.unsupported)
            unsupported << QString::fromStdString(part);
        doc->setUnsupported(unsupported);
        doc->setReadNotes(readNotesOf(report));
    });
}

void EmbeddedBackend::bringToFront(EmbeddedDocument *document)
{
    const int index = m_documents.indexOf(document);
    if (index > 0)
        m_documents.move(index, 0);
}

void EmbeddedBackend::closeDocument(EmbeddedDocument *document)
{
    if (!document)
        return;
    const qint64 id = document->id();
    m_documents.removeAll(document);
    document->deleteLater();
    emit documentClosed(id);
}
