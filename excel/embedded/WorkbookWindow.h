#pragma once

#include "EmbeddedDocument.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QLineEdit;
class QTabBar;
class SheetModel;
class SheetView;

// The embedded workbook's own window ("<name> - Tarvio Workbook"): the grid,
// a name box and formula bar above it, sheet tabs below, and the File, Edit,
// Sheet and Help menus.
class WorkbookWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit WorkbookWindow(EmbeddedDocument *document, QWidget *parent = nullptr);

    EmbeddedDocument *document() const { return m_document; }
    SheetView *view() const { return m_view; }

    // Saves to the document's file, or asks for a new .xlsx when the file is
    // not xlsx or held what cannot be written back. False when not saved.
    bool save();
    bool saveAs();
    // Asks about unsaved changes; false when the user cancels.
    bool confirmClose();

    // Moves a new window to the top left, a step beside the workbook windows already shown.
    void placeBesideTheOthers();
    // Shrinks the window so that it does not cover the program's other windows.
    void keepClearOfTheProgramsWindows(const QRect &available);
    // Shows a window for every document the embedded spreadsheet opens.
    static void serveDocuments();
    // Asks about every modified workbook; false when the user cancels one.
    static bool closeAllWindows();
    // What File > Quit does: the program quits as its main window would;
    // unset, the workbook windows close.
    static std::function<void()> quitProgram;

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
    void buildEditMenu();
    void buildSheetMenu();
    void buildHelpMenu();
    // An action of the grid: its keys work while the grid has the focus (an
    // open editor or the formula bar keeps its own).
    QAction *addGridAction(QMenu *menu, const QString &name, const QString &text, const QList<QKeySequence> &keys,
                           const std::function<void()> &triggered);
    // An entry was refused: said in the status bar, and the text as typed
    // stays open where it was typed.
    void entryRefused(const QModelIndex &index, const QString &text, const QString &message, int position);
    void cutSelection();
    void fillSelection(EmbeddedDocument::Fill direction);
    // Inserts (or deletes) as many rows or columns as the selection spans.
    void changeRowsColumns(workbook::RowsColumnsChange::Axis axis, bool insert);
    void showHeaderMenu(Qt::Orientation orientation, const QPoint &position);
    void showQuickHelp();
    void showAbout();
    // What loading could not read, said once when the window first shows.
    void tellReadNotes();
    void updateTitle();
    void fitUsedColumns();
    void showRowsAndMergedAreas();
    void updateFormulaBar();
    void selectionChanged();
    void commitFormulaBar();
    void goToNameBoxAddress();
    void clearSelection();
    // False, with a message, when the selection is not one block or too large.
    bool copySelection();
    void pasteClipboard();
    void showSheet(int index);
    void openFile();
    bool saveTo(const QString &path);

    QPointer<EmbeddedDocument> m_document;
    SheetModel *m_model;
    SheetView *m_view;
    QLineEdit *m_nameBox;
    QLineEdit *m_formulaBar;
    QTabBar *m_sheetTabs;
    QMenu *m_rowsMenu = nullptr;
    QMenu *m_columnsMenu = nullptr;
    bool m_closing = false;
};
