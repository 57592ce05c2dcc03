#include "ExcelAttachment.h"
#include "ExcelLogging.h"

#include "ActiveWindowHistory.h"
#include "AutomationObject.h"
#include "VRKExcelObjects.h"

#include <QDebug>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

// Which window is in front, asked twice a second: silent unless asked for.
Q_LOGGING_CATEGORY(lcAttachment, "tarvio.attachment", QtWarningMsg)

ExcelAttachment::ExcelAttachment(QList<VRKExcelApplication *> &applications, QObject *owner)
    : m_applications(applications), m_owner(owner)
{
}

QList<qint64> ExcelAttachment::findExcelMainWindows() const
{
    return AutomationBackend::current().mainWindows();
}

AutomationBackend *ExcelAttachment::lastActiveSpreadsheet()
{
    ActiveWindowHistory &history = ActiveWindowHistory::instance();
    history.activeTitle();
    const QList<AutomationBackend *> backends = AutomationBackend::all();
    for (const QString &title : history.titles())
        for (AutomationBackend *backend : backends)
            if (backend->ownsWindowTitled(title))
                return backend;
    return nullptr;
}

void ExcelAttachment::attachToFrontExcel()
{
    if (AutomationBackend *spreadsheet = lastActiveSpreadsheet())
        AutomationBackend::setCurrent(spreadsheet);
    const QList<qint64> windows = findExcelMainWindows();
    if (windows.isEmpty())
        return;
    const qint64 front = windows.first();
    // Window ids are the spreadsheet's own: an entry matches when both agree.
    const QString name = applicationName();
    const auto hwnd = [&name](VRKExcelApplication *application) {
        if (!application || application->axObject()->read(QStringLiteral("Name")).toString() != name)
            return qint64(0);
        return application->axObject()->read(QStringLiteral("Hwnd")).toLongLong();
    };
    for (qsizetype i = 1; i < m_applications.size(); ++i) {
        if (hwnd(m_applications[i]) == front) {
            m_applications.swapItemsAt(0, i);
            break;
        }
    }
    if (!m_applications.isEmpty() && m_applications.first() && hwnd(m_applications.first()) == front)
        return;
    attachToExcelWindow(front);
}

void ExcelAttachment::attachToExcelWindow(qint64 mainWindow)
{
    // A main window without a workbook shown attaches nothing.
    wrapExcelWindow(mainWindow);
}

bool ExcelAttachment::wrapExcelWindow(qint64 mainWindow)
{
    AutomationObject *window = AutomationBackend::current().workbookWindow(mainWindow);
    if (window->isNull()) {
        qCDebug(lcExcel) << "No workbook window to attach to:" << mainWindow;
        delete window;
        return false;
    }
    auto *application = new VRKExcelApplication(m_owner);
    application->setAxObject(window->query(QStringLiteral("Application")));
    delete window;
    m_applications.prepend(application);
    return true;
}

void ExcelAttachment::offerToOpenExcel()
{
    const bool running = isExcelRunning();
    const QString application = applicationName();
    QMessageBox question(QMessageBox::Question, application,
                         running ? QStringLiteral("There is no workbook open in %1.").arg(application)
                                 : QStringLiteral("%1 is not open.").arg(application),
                         QMessageBox::Yes | QMessageBox::No);
    question.setInformativeText(running ? QStringLiteral("Open a new workbook?") : QStringLiteral("Open %1?").arg(application));
    question.setDefaultButton(QMessageBox::Yes);
    question.setWindowFlag(Qt::WindowStaysOnTopHint);
    if (question.exec() != QMessageBox::Yes)
        return;
    auto *wrapper = new VRKExcelApplication(m_owner);
    m_applications.prepend(wrapper);
    if (running)
        wrapper->workbooks()->add(false);
    else
        QTimer::singleShot(10, wrapper, &VRKExcelApplication::show);
}

bool ExcelAttachment::isExcelRunning()
{
    return AutomationBackend::current().isRunning();
}

bool ExcelAttachment::isForegroundTitle(const QString &prefix)
{
    const QString title = AutomationBackend::current().foregroundTitle().left(19);
    qCDebug(lcAttachment) << "---------->" << title;
    return title.startsWith(prefix);
}

bool ExcelAttachment::isExcelForeground()
{
    for (AutomationBackend *backend : AutomationBackend::all()) {
        const QString title = backend->foregroundTitle().left(19);
        if (!title.isEmpty() && title.startsWith(backend->applicationName().left(19)))
            return true;
    }
    return false;
}

QString ExcelAttachment::applicationName()
{
    return AutomationBackend::current().applicationName();
}
