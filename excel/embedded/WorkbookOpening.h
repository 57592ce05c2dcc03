#pragma once

#include "io/WorkbookFiles.h"

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>

#include <functional>

// Opens a workbook file without holding up the windows: the load runs on a
// thread of its own while the event loop goes on. A load that takes more
// than a moment shows "Opening FILE..." with what it is doing and Cancel,
// which stops the reader at once.
class WorkbookOpening : public QObject
{
    Q_OBJECT
public:
    explicit WorkbookOpening(const QString &path, QWidget *parent = nullptr);
    ~WorkbookOpening() override;

    // Loads into the empty `book`; returns once the file is read, refused or
    // the user cancelled (report.cancelled).
    workbook::LoadReport run(workbook::Workbook &book);

    void setShowDelay(int milliseconds) { m_showDelay = milliseconds; }
    QProgressDialog *dialog() const { return m_dialog; }
    // Called on the loading thread at each step, before the window hears of it.
    std::function<void(const workbook::LoadProgress &)> onLoadingThread;

signals:
    void dialogShown();

private:
    void showStep(int stage, quint64 received, quint64 total);

    QString m_path;
    QPointer<QProgressDialog> m_dialog;
    workbook::LoadCancel m_cancel;
    int m_showDelay = 500;
};
