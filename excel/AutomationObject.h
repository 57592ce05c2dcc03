#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class AutomationBackend;
class PointEvaluation;

// One object of the spreadsheet's automation model (Application, Window,
// Workbooks, Workbook, Worksheets, Worksheet, Range), reached by member name
// the way an automation container reaches it. This class is the null object:
// every read gives an invalid variant, every sub-object is null again.
// Backends derive from it; nothing above this layer knows which one it has.
class AutomationObject : public QObject
{
    Q_OBJECT
public:
    explicit AutomationObject(QObject *parent = nullptr);

    virtual bool isNull() const;
    // "Application", "Window", "Range" ...; empty for the null object.
    virtual QString typeName() const;
    virtual QVariant read(const QString &member, const QVariantList &arguments = {}) const;
    virtual bool write(const QString &member, const QVariant &value);
    virtual QVariant call(const QString &method, const QVariantList &arguments = {});
    // A sub-object by member name; the caller owns it. Never nullptr: a
    // member that gives nothing gives a null object.
    virtual AutomationObject *query(const QString &member, const QVariantList &arguments = {});
    // The backend that exchanges this range's cell together with others; none
    // when it is written and read one member at a time.
    virtual AutomationBackend *exchanger() const;

signals:
    // A worksheet's Change event: the user changed the cells of `range`.
    // The range lives only during the emission.
    void change(AutomationObject *range);
    // A worksheet's rows or columns were inserted or deleted. The ranges
    // handed out follow their cells, as a spreadsheet's own range objects do:
    // their addresses may have changed, and a range whose cells were all
    // deleted is null from now on.
    void cellsMoved();
};

// Helpers for backends serving the automation model.
namespace Automation {
// Member names compare as the automation model compares them: ignoring case.
bool isMember(const QString &member, const char *name);
// A member call's first argument as text; empty without one.
QString firstArgument(const QVariantList &arguments);
// What a document shows itself through: its window, the workbook, its sheets.
enum class DocumentPart { Window, Workbook, Worksheets };
QString typeNameOf(DocumentPart part);
} // namespace Automation

// Where automation objects come from, and the two window-system questions the
// program asks. The spreadsheets that can run here are registered; the one
// the user works in is current. With none registered the embedded workbook is.
class AutomationBackend
{
public:
    virtual ~AutomationBackend() = default;

    static AutomationBackend &current();
    static void setCurrent(AutomationBackend *backend);
    // Registration order is the order of preference when nothing is in front.
    static void add(AutomationBackend *backend);
    static void remove(AutomationBackend *backend);
    static QList<AutomationBackend *> all();

    // One exchange: writes each value into its range (all of them this
    // backend's cells), then reads every range of `read`: a number as a
    // double, anything else as an invalid variant. A backend over a wire
    // batches it; this one goes member by member.
    virtual QList<QVariant> exchange(const QList<AutomationObject *> &write, const QList<double> &values,
                                     const QList<AutomationObject *> &read);
    static QList<QVariant> exchangeEach(const QList<AutomationObject *> &write, const QList<double> &values,
                                        const QList<AutomationObject *> &read);
    // Many points evaluated in parallel, each as one exchange would write
    // `write` and read `read` (all of them this backend's cells), without
    // touching what the user sees. Null where this backend cannot (the
    // default): then every point is an exchange of its own.
    virtual std::unique_ptr<PointEvaluation> evaluatePointsInParallel(const QList<AutomationObject *> &write,
                                                                      const QList<AutomationObject *> &read);

    // An object from its class id; a trailing "&" asks for the running
    // instance first. A class id the backend does not know gives a null object.
    virtual AutomationObject *create(const QString &classId) = 0;
    // The spreadsheet's main windows, front-most first.
    virtual QList<qint64> mainWindows() = 0;
    // The automation Window of the workbook shown in a main window, or a null object.
    virtual AutomationObject *workbookWindow(qint64 mainWindow) = 0;
    // Whether the spreadsheet application runs at all.
    virtual bool isRunning() = 0;
    // The title of the window in front, as the spreadsheet titles its own
    // windows ("<application> - <workbook>").
    virtual QString foregroundTitle() = 0;
    // The application's name as the user knows it, for messages.
    virtual QString applicationName() const = 0;
    // Whether a top-level window of that title is one of this spreadsheet's.
    virtual bool ownsWindowTitled(const QString &title) const;
};
