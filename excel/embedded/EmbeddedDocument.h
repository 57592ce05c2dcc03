#pragma once

#include "Workbook.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <memory>

// One workbook open in the embedded spreadsheet, with what its window shows:
// the active sheet and the selected areas. Every change a user makes in the
// window goes through here, so that the sheet's Change event can follow.
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
    // paste. Refused formulas leave the cell as it was and say why.
    bool editCell(const workbook::CellLocation &where, const QString &text, QString *message = nullptr);
    bool pasteBlock(const workbook::CellLocation &topLeft, const QList<QStringList> &rows, QString *message = nullptr);
    // Clears the cells of an area; an array formula's block goes only as a whole.
    void clearArea(workbook::SheetIndex sheet, const workbook::CellRange &area);

    // Saves as xlsx; a file whose contents cannot all be written keeps its old self.
    bool saveAs(const QString &path, QString *message);

    // Programmatic writes (automation) do not count as the user's edits; the
    // window still learns of the cells they changed.
    void scheduleRecalculation();

signals:
    void userEdited(workbook::SheetIndex sheet, const QList<workbook::CellRange> &areas);
    void cellsChanged(const QList<workbook::CellLocation> &cells);
    void selectionChanged();
    void activeSheetChanged(workbook::SheetIndex sheet);
    void modifiedChanged(bool modified);
    void renamed(const QString &name);

private:
    void recalculateNow();
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
};
