#include "embedded/EmbeddedBackend.h"
#include "embedded/WorkbookOpening.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QTest>

using namespace workbook;

namespace {

const QString goodFile = QStringLiteral(TARVIO_FIXTURES "/broken/good.xlsx");

// What the dialog showed while the load waited at the reader's start.
struct Seen
{
    bool visible = false;
    QString label;
};

// Holds the load at the reader's start until the dialog is up, looks at the
// dialog from the window's thread and, when asked, presses its Cancel.
void holdAtReading(WorkbookOpening &opening, QSemaphore &shown, Seen &seen, bool cancel)
{
    opening.setShowDelay(0);
    QObject::connect(&opening, &WorkbookOpening::dialogShown, &opening, [&shown] { shown.release(); });
    opening.onLoadingThread = [&opening, &shown, &seen, cancel](const LoadProgress &progress) {
        if (progress.stage != LoadProgress::Stage::Reading || !shown.tryAcquire(1, 30000))
            return;
        // Answered at once: the window's event loop runs while the file loads.
        QMetaObject::invokeMethod(opening.dialog(), [&opening, &seen, cancel] {
            seen.visible = opening.dialog()->isVisible();
            seen.label = opening.dialog()->labelText();
            if (auto *button = opening.dialog()->findChild<QPushButton *>(); button && cancel)
                button->click();
        }, Qt::BlockingQueuedConnection);
    };
}

} // namespace

class TestWorkbookOpening : public QObject
{
    Q_OBJECT
private slots:
    void theDialogShowsWhileTheWindowStaysLive();
    void cancelStopsTheReaderAndOpensNothing();
};

void TestWorkbookOpening::theDialogShowsWhileTheWindowStaysLive()
{
    WorkbookOpening opening(goodFile);
    QSemaphore shown;
    Seen seen;
    holdAtReading(opening, shown, seen, false);
    Workbook book;
    const LoadReport report = opening.run(book);
    QVERIFY2(report.ok, report.message.c_str());
    QVERIFY(seen.visible);
    QCOMPARE(seen.label, QStringLiteral("Opening good.xlsx..."));
    QVERIFY(!opening.dialog()->isVisible());
    QCOMPARE(book.sheetCount(), 1);
}

void TestWorkbookOpening::cancelStopsTheReaderAndOpensNothing()
{
    EmbeddedBackend &backend = EmbeddedBackend::instance();
    QSemaphore shown;
    Seen seen;
    backend.loadFile = [&](const QString &path, Workbook &book) {
        WorkbookOpening opening(path);
        holdAtReading(opening, shown, seen, true);
        return opening.run(book);
    };
    const int before = backend.documents().size();
    QString message;
    bool cancelled = false;
    QVERIFY(!backend.openDocument(goodFile, &message, &cancelled));
    QVERIFY(cancelled);
    QVERIFY(seen.visible);
    QCOMPARE(backend.documents().size(), before);
    backend.loadFile = nullptr;
}

QTEST_MAIN(TestWorkbookOpening)
#include "tst_workbook_opening.moc"
