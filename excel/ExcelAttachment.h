#pragma once

#include <QList>
#include <QObject>
#include <QString>

class VRKExcelApplication;

// Finds the spreadsheet the user works in and keeps the attached instances
// in a list, the current one first. New wrappers are children of `owner`.
class ExcelAttachment
{
public:
    ExcelAttachment(QList<VRKExcelApplication *> &applications, QObject *owner);

    // Every spreadsheet main window, front-most first.
    QList<qint64> findExcelMainWindows() const;
    // Makes the front-most spreadsheet the first entry.
    void attachToFrontExcel();
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
    static bool isExcelForeground();
    // The spreadsheet's name for the user ("Tarvio Workbook").
    static QString applicationName();

private:
    QList<VRKExcelApplication *> &m_applications;
    QObject *m_owner;
};
