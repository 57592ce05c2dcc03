#pragma once

#include "EmbeddedDocument.h"

#include <QMainWindow>
#include <QPointer>

class QLineEdit;
class QTabBar;
class SheetModel;
class SheetView;

// The embedded workbook's own window ("<name> - Tarvio Workbook"): the grid,
// a name box and formula bar above it, sheet tabs below, and the File menu.
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
    // Shows a window for every document the embedded spreadsheet opens.
    static void serveDocuments();
    // Asks about every modified workbook; false when the user cancels one.
    static bool closeAllWindows();

protected:
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildMenus();
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
    void copySelection();
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
    bool m_closing = false;
};
