#pragma once

#include "RowsColumns.h"
#include "Workbook.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUndoStack>

#include <functional>
#include <memory>

// One workbook open in the embedded spreadsheet, with what its window shows:
// the active sheet and the selected areas. Every change a user makes in the
// window goes through here, so that the sheet's Change event can follow and
// the change can be undone.
class EmbeddedDocument : public QObject
{
    Q_OBJECT
public:
    EmbeddedDocument(qint64 id, const QString &name, std::unique_ptr<workbook::Workbook> book, QObject *parent = nullptr);
    ~EmbeddedDocument() override;

    // A stable number for the document's window, as a window handle would be.
    qint64 id() const { return m_id; }
    workbook::Workbook &book() { return *m_book; }
    QString name() const { return m_name; }
    QString filePath() const { return QString::fromStdString(m_book->filePath); }
    // What the file held that saving as xlsx would lose (from loading).
    QStringList unsupported() const { return m_unsupported; }
    void setUnsupported(const QStringList &parts) { m_unsupported = parts; }
    // What loading could not read or evaluate, a line each, for the user to hear once.
    QStringList readNotes() const { return m_readNotes; }
    void setReadNotes(const QStringList &notes) { m_readNotes = notes; }

    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    workbook::SheetIndex activeSheet() const { return m_activeSheet; }
    void setActiveSheet(workbook::SheetIndex sheet);
    // Areas of the active sheet; never empty (at least the current cell).
    const QList<workbook::CellRange> &selection() const { return m_selection; }
    void setSelection(const QList<workbook::CellRange> &areas);

    // A user's edit: typed text into one cell, or a block of texts from a
    // paste. Refused formulas leave the cell as it was and say why in plain
    // words, and where in the text (`position`, 0-based).
    bool editCell(const workbook::CellLocation &where, const QString &text, QString *message = nullptr,
                  int *position = nullptr);
    bool pasteBlock(const workbook::CellLocation &topLeft, const QList<QStringList> &rows, QString *message = nullptr);
    // Clears the cells of the areas as one edit; an array formula's block goes only as a whole.
    void clearAreas(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    // Copies the first row (column) of each area into the rest of it, or,
    // for an area one row (column) deep, the row above (column to the left);
    // relative references shift as they do in a copied formula.
    enum class Fill { Down, Right };
    bool fill(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas, Fill direction, QString *message = nullptr);
    // Inserts or deletes rows or columns; formulas, names and the automation
    // ranges handed out follow their cells.
    bool restructure(workbook::SheetIndex sheet, const workbook::RowsColumnsChange &change, QString *message = nullptr);

    // The user's edits, to undo and redo. Automation writes never enter it:
    // a scan or a dragged slider is no edit.
    QUndoStack *history() { return &m_history; }

    // Saves as xlsx; a file whose contents cannot all be written keeps its old self.
    bool saveAs(const QString &path, QString *message);

    // Programmatic writes (automation) do not count as the user's edits; the
    // window still learns of the cells they changed.
    void scheduleRecalculation();

signals:
    void userEdited(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    // Rows or columns of a sheet were inserted or deleted: the automation
    // ranges follow their cells. Then sheetRestructured (every range has
    // followed), then userEdited.
    void cellsMoved(workbook::SheetIndex sheet, const workbook::RowsColumnsChange &change);
    void sheetRestructured(workbook::SheetIndex sheet);
    void cellsChanged(const QList<workbook::CellLocation> &cells);
    void selectionChanged();
    void activeSheetChanged(workbook::SheetIndex sheet);
    void modifiedChanged(bool modified);
    void renamed(const QString &name);

private:
    friend class CellEditCommand;
    friend class RestructureCommand;
    struct CellContent
    {
        workbook::CellLocation where;
        workbook::CellInput input;
        workbook::Value shown; // what a kept formula shows

        bool operator==(const CellContent &o) const
        {
            return where == o.where && input.isFormula == o.input.isFormula && input.isKept == o.input.isKept
                && input.constant == o.input.constant && input.formula == o.input.formula && shown == o.shown;
        }
    };
    using Contents = QList<CellContent>;

    void recalculateNow();
    // The filled cells within the areas.
    Contents contentsOf(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    void put(const Contents &contents);
    // Runs `edit` (which changes cells within `areas` only) as one step of the history.
    void recordEdit(const QString &name, workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas,
                    const std::function<void()> &edit);
    // After rows or columns moved: the ranges handed out follow, then the window.
    void moved(workbook::SheetIndex sheet, const workbook::RowsColumnsChange &change);
    // After an edit, an undo or a redo: the window and the sheet's Change event follow.
    void edited(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    // Why a typed entry was refused, in plain words: a formula that does not
    // parse, else the workbook's `reason`.
    static QString whyRefused(const std::string &text, const std::string &reason, int *position = nullptr);
    // Whether clearing the area would take part of an array formula's block with the cell.
    bool splitsAnArray(const workbook::CellRange &area, const workbook::CellLocation &where) const;

    qint64 m_id;
    QString m_name;
    std::unique_ptr<workbook::Workbook> m_book;
    QStringList m_unsupported;
    QStringList m_readNotes;
    bool m_modified = false;
    bool m_recalculationScheduled = false;
    workbook::SheetIndex m_activeSheet = 0;
    QList<workbook::CellRange> m_selection;
    QUndoStack m_history;
};
