#include "ExcelAttachment.h"

#include "AutomationObject.h"
#include "VRKExcelObjects.h"

#include <QDebug>

ExcelAttachment::ExcelAttachment(QList<VRKExcelApplication *> &applications, QObject *owner)
    : m_applications(applications), m_owner(owner)
{
}

QList<qint64> ExcelAttachment::findExcelMainWindows() const
{
    return AutomationBackend::current().mainWindows();
}

void ExcelAttachment::attachToFrontExcel()
{
    const QList<qint64> windows = findExcelMainWindows();
    if (windows.isEmpty())
        return;
    const qint64 front = windows.first();
    const auto hwnd = [](VRKExcelApplication *application) {
        return application ? application->axObject()->read(QStringLiteral("Hwnd")).toLongLong() : 0;
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
        qDebug() << "ERROR ON AccessibleObjectFromWindow:" << mainWindow;
        delete window;
        return false;
    }
    auto *application = new VRKExcelApplication(m_owner);
    application->setAxObject(window->query(QStringLiteral("Application")));
    delete window;
    m_applications.prepend(application);
    return true;
}

bool ExcelAttachment::isExcelRunning()
{
    return AutomationBackend::current().isRunning();
}

bool ExcelAttachment::isForegroundTitle(const QString &prefix)
{
    const QString title = AutomationBackend::current().foregroundTitle().left(19);
    qDebug() << "---------->" << title;
    return title.startsWith(prefix);
}

bool ExcelAttachment::isExcelForeground()
{
    return isForegroundTitle(applicationName());
}

QString ExcelAttachment::applicationName()
{
    return AutomationBackend::current().applicationName();
}
