#pragma once

#include "AutomationObject.h"
#include "ExcelAddressBlock.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariant>

// The program's wrappers of the spreadsheet's automation objects: one class
// per kind of object. A wrapper creates its object lazily, caches the
// wrappers it hands out as its Qt children, and owns its object.

class VRKExcelWorkbooks;
class VRKExcelWorkbook;
class VRKExcelWorksheets;
class VRKExcelWorksheet;
class VRKExcelSheet;
class VRKExcelWindow;
class VRKExcelRange;

class VRKExcelBase : public QObject
{
    Q_OBJECT
public:
    explicit VRKExcelBase(QObject *parent = nullptr);
    ~VRKExcelBase() override;

    // The wrapped object, created by createAxObject when none is set yet.
    AutomationObject *axObject();
    void setAxObject(AutomationObject *object);
    // Gives the object up without deleting it (for an object lent during a signal).
    AutomationObject *takeAxObject();

public slots:
    virtual AutomationObject *createAxObject() = 0;
    virtual void axObjectSet(AutomationObject *object);

protected:
    // A wrapper made with keep false lives until control returns to the event loop.
    template <typename Wrapper>
    static Wrapper *handOut(Wrapper *wrapper, bool keep)
    {
        if (!keep)
            wrapper->deleteLater();
        return wrapper;
    }
    static AutomationObject *classObject(const char *classId);
    // A member of a temporary Application, for a collection made without one.
    static AutomationObject *applicationMember(const QString &member);
    // Item lookup of the collections: a known child of that name, else the
    // collection's Item, wrapped; null when there is none.
    template <typename Item>
    Item *itemByName(const QString &name, bool keep);

    QList<VRKExcelBase *> ownedWrappers;

private:
    AutomationObject *m_axObject = nullptr;
};

class VRKExcelApplication : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    VRKExcelWorkbooks *workbooks();
    VRKExcelWindow *activeWindow(bool keep);
    VRKExcelWorkbook *activeWorkbook(bool keep);
    void setVisible(bool visible);
    AutomationObject *createAxObject() override;

public slots:
    void show();

private:
    VRKExcelWorkbooks *workbooksWrapper = nullptr;
};

class VRKExcelSheet : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    QString name();
    VRKExcelRange *range(const QString &address, bool keep);
    VRKExcelWorkbook *workbook();
    AutomationObject *createAxObject() override;
    void axObjectSet(AutomationObject *object) override;

signals:
    void rangeChanged(VRKExcelRange *range);
    // Rows or columns were inserted or deleted: the sheet's ranges followed
    // their cells and may have other addresses now, or none.
    void cellsMoved();

public slots:
    void sheetChange(AutomationObject *range);
    void sheetCellsMoved();

private:
    QHash<QString, VRKExcelRange *> rangeCache;
    VRKExcelWorkbook *workbookWrapper = nullptr;
};

class VRKExcelWorksheet : public VRKExcelSheet
{
    Q_OBJECT
public:
    using VRKExcelSheet::VRKExcelSheet;
};

class VRKExcelWindow : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    VRKExcelSheet *activeSheet(bool keep);
    VRKExcelRange *rangeSelection(bool keep);
    // The single cells of the selection that suit watches (formulas) or
    // sliders (no formula, not empty text), joined with ";".
    QString filteredSelection(bool formulas);
    AutomationObject *createAxObject() override;

public slots:
    void rangeIteratedForSelectionWithFilter(ExcelAddressBlock *block);

private:
    bool formulaMode = false;
    VRKExcelSheet *activeSheetWrapper = nullptr;
    QStringList acceptedAddresses;
};

class VRKExcelWorkbooks : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    // The workbook of that name, or null.
    VRKExcelWorkbook *item(const QString &name, bool keep);
    VRKExcelWorkbook *add(bool keep);
    AutomationObject *createAxObject() override;
};

class VRKExcelWorkbook : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    QString name();
    // Whether the workbook holds no unsaved change; setting it true marks it unmodified.
    bool isSaved();
    void setSaved(bool saved);
    VRKExcelWorksheets *worksheets();
    AutomationObject *createAxObject() override;

private:
    VRKExcelWorksheets *worksheetsWrapper = nullptr;
};

class VRKExcelWorksheets : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    // The sheet of that name, or null.
    VRKExcelWorksheet *item(const QString &name, bool keep);
    AutomationObject *createAxObject() override;
};

class VRKExcelRange : public VRKExcelBase
{
    Q_OBJECT
public:
    using VRKExcelBase::VRKExcelBase;
    QString address();
    // False once the cell's workbook is closed or its cells deleted: it reads nothing and takes no write.
    bool isAvailable();
    // The cells moved: the address is asked for again.
    void forgetAddress() { addressCache.clear(); }
    QVariant value();
    QVariant text();
    bool hasFormula();
    void setValue(const QVariant &value);
    VRKExcelSheet *worksheet(bool keep);
    // (row label, column label): the nearest text to the left and above.
    QStringList findLabels();
    // Reports the range's blocks (and, with iterateCells, its single cells)
    // through rangeIterated.
    void iterate(bool iterateCells);
    AutomationObject *createAxObject() override;

signals:
    void rangeIterated(ExcelAddressBlock *block);

public slots:
    void rangeIteration(ExcelAddressBlock *block);

private:
    QString findLabel(int row, int column, int rowStep, int columnStep);

    VRKExcelSheet *worksheetWrapper = nullptr;
    QString addressCache;
};

// Writes each value into its cell (the spreadsheet recalculates), then reads
// the cells of `read` back as single-precision numbers, NaN for anything that
// is not a number. Each spreadsheet serves its own cells in one exchange. A
// length mismatch of `write` and `values` writes nothing and returns an empty
// list.
QList<double> setCellValuesGetCellValues(const QList<VRKExcelRange *> &write, const QList<double> &values,
                                         const QList<VRKExcelRange *> &read);
// A cell's value as a reading: the number in single precision, NaN for
// anything that is not a number.
double readingOf(const QVariant &cell);
// Many points of a scan (`write` written, `read` read at each) evaluated in
// parallel, when one spreadsheet serves all the cells and can; null otherwise.
std::unique_ptr<PointEvaluation> parallelEvaluation(const QList<VRKExcelRange *> &write, const QList<VRKExcelRange *> &read);
