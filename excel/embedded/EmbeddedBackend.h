#pragma once

#include "../AutomationObject.h"
#include "EmbeddedDocument.h"
#include "io/WorkbookFiles.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

// The embedded spreadsheet behind the automation layer: our own workbooks,
// each in a window of its own, in front-to-back order.
class EmbeddedBackend : public QObject, public AutomationBackend
{
    Q_OBJECT
public:
    static EmbeddedBackend &instance();

    AutomationObject *create(const QString &classId) override;
    QList<qint64> mainWindows() override;
    AutomationObject *workbookWindow(qint64 mainWindow) override;
    bool isRunning() override { return m_running; }
    QString foregroundTitle() override;
    QString applicationName() const override;
    // Points of one document's single cells, on `scanThreads` workers; null
    // for other cells, or with fewer than two workers.
    std::unique_ptr<PointEvaluation> evaluatePointsInParallel(const QList<AutomationObject *> &write,
                                                              const QList<AutomationObject *> &read) override;
    // How many workers a scan gets: every core unless set; 1 scans point by point.
    int scanThreads() const { return m_scanThreads; }
    void setScanThreads(int threads) { m_scanThreads = std::max(1, threads); }

    // Starts the spreadsheet application (idempotent).
    void start();
    // Documents, front-most first.
    QList<EmbeddedDocument *> documents() const;
    EmbeddedDocument *document(qint64 id) const;
    EmbeddedDocument *frontDocument() const;
    EmbeddedDocument *newDocument();
    // Opens a file in a new document; null with a message when it cannot be
    // read or the user cancelled the opening (`cancelled`).
    EmbeddedDocument *openDocument(const QString &path, QString *message, bool *cancelled = nullptr);
    void bringToFront(EmbeddedDocument *document);
    void closeDocument(EmbeddedDocument *document);

    // The window layer shows a window for every new document and tells which
    // of its windows is active.
    std::function<void(EmbeddedDocument *)> showDocument;
    std::function<EmbeddedDocument *()> activeDocumentWindow;
    // How files are read: the window layer's way keeps the windows live;
    // without it the file is read in the caller's thread.
    std::function<workbook::LoadReport(const QString &path, workbook::Workbook &book)> loadFile;

signals:
    void documentOpened(EmbeddedDocument *document);
    void documentClosed(qint64 id);

private:
    EmbeddedBackend();
    // `prepare` fills in what the document's window must know before it shows.
    EmbeddedDocument *adopt(std::unique_ptr<workbook::Workbook> book, const QString &name,
                            const std::function<void(EmbeddedDocument *)> &prepare = {});

    QList<QPointer<EmbeddedDocument>> m_documents; // front first
    qint64 m_nextId = 1;
    int m_nextBookNumber = 1;
    bool m_running = false;
    int m_scanThreads;
};
