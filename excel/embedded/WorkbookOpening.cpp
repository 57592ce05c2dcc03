#include "WorkbookOpening.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QLocale>
#include <QProgressDialog>
#include <QTimer>

#include <climits>

#include <thread>

using namespace workbook;

WorkbookOpening::WorkbookOpening(const QString &path, QWidget *parent)
    : m_path(path), m_dialog(new QProgressDialog(parent))
{
    m_dialog->setWindowTitle(tr("Tarvio Workbook"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setMinimumDuration(INT_MAX); // shown by run(), not by the dialog's own clock
    m_dialog->setRange(0, 0);
    m_dialog->setLabelText(tr("Opening %1...").arg(QFileInfo(path).fileName()));
    connect(m_dialog, &QProgressDialog::canceled, this, [this] {
        m_cancel.cancel();
        m_dialog->setLabelText(tr("Stopping..."));
    });
}

WorkbookOpening::~WorkbookOpening()
{
    delete m_dialog;
}

void WorkbookOpening::showStep(int stage, quint64 received, quint64 total)
{
    if (!m_dialog || m_cancel.cancelled())
        return;
    const QString opening = tr("Opening %1...").arg(QFileInfo(m_path).fileName());
    const QLocale locale;
    switch (static_cast<LoadProgress::Stage>(stage)) {
    case LoadProgress::Stage::Reading:
        m_dialog->setLabelText(opening + QLatin1Char('\n') + tr("Reading the file"));
        break;
    case LoadProgress::Stage::Receiving:
        // Cells counted in thousands keep the bar's range within an int.
        m_dialog->setRange(0, int(total / 1000 + 1));
        m_dialog->setValue(int(received / 1000));
        m_dialog->setLabelText(opening + QLatin1Char('\n')
                               + tr("%1 of %2 cells").arg(locale.toString(received), locale.toString(total)));
        break;
    case LoadProgress::Stage::Building:
        // The record is whole: what is left is quick and cannot be stopped half way.
        m_dialog->setCancelButton(nullptr);
        m_dialog->setRange(0, 0);
        m_dialog->setLabelText(opening + QLatin1Char('\n') + tr("Building the workbook"));
        break;
    }
}

LoadReport WorkbookOpening::run(Workbook &book)
{
    LoadOptions options;
    options.cancel = &m_cancel;
    options.progress = [this](const LoadProgress &progress) {
        if (onLoadingThread)
            onLoadingThread(progress);
        QMetaObject::invokeMethod(this, [this, progress] {
            showStep(int(progress.stage), progress.cellsReceived, progress.cellsTotal);
        }, Qt::QueuedConnection);
    };
    LoadReport report;
    bool done = false;
    QEventLoop loop;
    const std::string path = m_path.toStdString();
    std::thread loading([&] {
        report = loadWorkbookFile(path, book, options);
        QMetaObject::invokeMethod(&loop, [&] {
            done = true;
            loop.quit();
        }, Qt::QueuedConnection);
    });
    // Until the dialog shows, the user's input waits: nothing can close the
    // window that asked for the file while it opens. Painting goes on.
    QTimer showing;
    showing.setSingleShot(true);
    connect(&showing, &QTimer::timeout, &loop, &QEventLoop::quit);
    showing.start(m_showDelay);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!done) {
        m_dialog->show();
        emit dialogShown();
        loop.exec();
    }
    loading.join();
    m_dialog->hide();
    return report;
}
