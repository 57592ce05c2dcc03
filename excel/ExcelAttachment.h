#pragma once

#include <QList>
#include <QObject>
#include <QString>

class AutomationBackend;
class VRKExcelApplication;

// Finds the spreadsheet the user works in and keeps the attached instances
// in a list, the current one first. New wrappers are children of `owner`.
class ExcelAttachment
{
public:
    ExcelAttachment(QList<VRKExcelApplication *> &applications, QObject *owner);

    // Every spreadsheet main window, front-most first.
    QList<qint64> findExcelMainWindows() const;
    // Makes the front-most main window of the spreadsheet the user worked in
    // last the first entry; that spreadsheet becomes the current one.
    void attachToFrontExcel();
    // Of the spreadsheets that can run here, the one whose window the user
    // activated last; null when the window system does not tell.
    static AutomationBackend *lastActiveSpreadsheet();
    // Wraps the workbook window of a main window, when it shows one.
    void attachToExcelWindow(qint64 mainWindow);
    // Prepends a wrapper of a workbook window's application; false when the
    // window gives no automation object.
    bool wrapExcelWindow(qint64 mainWindow);

    // No usable spreadsheet is attached: asks the user whether to open one
    // (or a new workbook in the running one) and prepares it on Yes. The
    // request that needed it is not repeated.
    void offerToOpenExcel();

    static bool isExcelRunning();
    // Whether the title of the window in front starts with `prefix`
    // (compared on at most 19 characters).
    static bool isForegroundTitle(const QString &prefix);
    // Whether a window of any spreadsheet is in front.
    static bool isExcelForeground();
    // The spreadsheet's name for the user ("Tarvio Workbook").
    static QString applicationName();

private:
    QList<VRKExcelApplication *> &m_applications;
    QObject *m_owner;
};
