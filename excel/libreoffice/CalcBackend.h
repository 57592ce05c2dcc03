#pragma once

#include "../AutomationObject.h"

#include <QList>
#include <QObject>
#include <QStringList>

namespace com::sun::star::uno {
template <class E> class Sequence;
}
namespace com::sun::star::beans {
struct PropertyValue;
}
class CalcDocument;
class OfficeConnection;

// LibreOffice Calc behind the automation layer: the spreadsheet documents of
// the office that listens on a pipe of this user's, front-most first. The
// office is the user's: the backend attaches to it, starts one only when none
// runs, and never ends it.
class CalcBackend : public QObject, public AutomationBackend
{
    Q_OBJECT
public:
    // `officeArguments` go to every office this backend starts or hands its
    // pipe to (a private profile, --headless).
    explicit CalcBackend(const QString &pipeName = defaultPipeName(), const QStringList &officeArguments = {},
                         QObject *parent = nullptr);
    ~CalcBackend() override;

    // A pipe name of this user's, so that users never share an office.
    static QString defaultPipeName();

    AutomationObject *create(const QString &classId) override;
    QList<qint64> mainWindows() override;
    AutomationObject *workbookWindow(qint64 mainWindow) override;
    bool isRunning() override;
    QString foregroundTitle() override;
    QString applicationName() const override;
    bool ownsWindowTitled(const QString &title) const override;
    // Writes the inputs a rectangle at a time and reads the watched cells a
    // rectangle per sheet at a time.
    QList<QVariant> exchange(const QList<AutomationObject *> &write, const QList<double> &values,
                             const QList<AutomationObject *> &read) override;

    // Connects to the office on the pipe; with `start`, hands the pipe to the
    // running office or starts one when none runs, with a new spreadsheet
    // unless it is about to open a file.
    bool connectOffice(bool start, bool newSpreadsheet = true);
    // Connects, starting an office with a new spreadsheet when none runs.
    void start();
    // Opens a file in the office; 0 with a message when it cannot.
    qint64 openDocument(const QString &path, QString *message);

    QList<CalcDocument *> documents();
    CalcDocument *frontDocument();
    CalcDocument *newDocument();

    // Calls made into the office so far; the exchange counts its round trips here.
    quint64 bridgeCalls() const;
    // How long one call may take before the office counts as hung.
    void setWatchdogTimeout(int milliseconds);

signals:
    // The office quit, crashed or stopped answering: its cells are let go.
    void officeLost(const QString &message);

private:
    CalcDocument *adopt(const void *model);
    com::sun::star::uno::Sequence<com::sun::star::beans::PropertyValue> loadArguments() const;
    void forgetAll();

    OfficeConnection *m_connection;
    QList<CalcDocument *> m_documents;
    bool m_headless;
    qint64 m_nextId = 1;
};
