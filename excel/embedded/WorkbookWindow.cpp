#include "WorkbookWindow.h"

#include "EmbeddedBackend.h"
#include "SheetModel.h"
#include "SheetView.h"
#include "CellDelegate.h"
#include "WorkbookOpening.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTimer>
#include <QUndoStack>
#include <QVBoxLayout>

using namespace workbook;

std::function<void()> WorkbookWindow::quitProgram;

WorkbookWindow::WorkbookWindow(EmbeddedDocument *document, QWidget *parent)
    : QMainWindow(parent), m_document(document), m_model(new SheetModel(document, this)), m_view(new SheetView),
      m_nameBox(new QLineEdit), m_formulaBar(new QLineEdit), m_sheetTabs(new QTabBar)
{
    setAttribute(Qt::WA_DeleteOnClose);
    resize(900, 600);

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(4, 4, 4, 4);
    m_nameBox->setFixedWidth(110);
    m_nameBox->setToolTip(tr("Name box: the current cell; type an address to go there"));
    m_formulaBar->setToolTip(tr("The current cell's content"));
    auto *fx = new QLabel(QStringLiteral("fx"));
    fx->setStyleSheet(QStringLiteral("font-style: italic; color: #606060; padding: 0 6px"));
    bar->addWidget(m_nameBox);
    bar->addWidget(fx);
    bar->addWidget(m_formulaBar, 1);
    layout->addLayout(bar);
    m_view->setModel(m_model);
    m_view->setItemDelegate(new CellDelegate(m_model, m_view));
    layout->addWidget(m_view, 1);
    m_sheetTabs->setShape(QTabBar::RoundedSouth);
    m_sheetTabs->setDrawBase(false);
    for (SheetIndex s = 0; s < document->book().sheetCount(); ++s)
        m_sheetTabs->addTab(QString::fromStdString(document->book().sheetName(s)));
    auto *tabs = new QHBoxLayout;
    tabs->setContentsMargins(4, 0, 4, 2);
    tabs->addWidget(m_sheetTabs);
    tabs->addStretch(1);
    layout->addLayout(tabs);
    setCentralWidget(central);
    buildMenus();

    connect(m_model, &SheetModel::editRefused, this, &WorkbookWindow::entryRefused);
    connect(m_view->selectionModel(), &QItemSelectionModel::selectionChanged, this, &WorkbookWindow::selectionChanged);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this, &WorkbookWindow::selectionChanged);
    connect(m_formulaBar, &QLineEdit::returnPressed, this, &WorkbookWindow::commitFormulaBar);
    // Escape in the formula bar gives the cell's content back, as in the cell.
    auto *revert = new QAction(m_formulaBar);
    revert->setShortcut(Qt::Key_Escape);
    revert->setShortcutContext(Qt::WidgetShortcut);
    m_formulaBar->addAction(revert);
    connect(revert, &QAction::triggered, this, [this] {
        m_view->setFocus();
        statusBar()->clearMessage();
        updateFormulaBar();
    });
    connect(m_nameBox, &QLineEdit::returnPressed, this, &WorkbookWindow::goToNameBoxAddress);
    connect(m_sheetTabs, &QTabBar::currentChanged, this, &WorkbookWindow::showSheet);
    connect(document, &EmbeddedDocument::modifiedChanged, this, &WorkbookWindow::updateTitle);
    connect(document, &EmbeddedDocument::renamed, this, &WorkbookWindow::updateTitle);
    connect(document, &EmbeddedDocument::cellsChanged, this, &WorkbookWindow::updateFormulaBar);
    // Column widths move with their columns.
    connect(document, &EmbeddedDocument::cellsMoved, this, [this](SheetIndex sheet, const RowsColumnsChange &change) {
        if (sheet != m_model->sheet() || change.axis != RowsColumnsChange::Axis::Columns)
            return;
        m_view->horizontalHeader()->reset();
        fitUsedColumns();
    });
    // An accepted edit ends what was said about a refused one.
    connect(document, &EmbeddedDocument::userEdited, statusBar(), &QStatusBar::clearMessage);
    // An undo on another sheet shows that sheet.
    connect(document, &EmbeddedDocument::userEdited, m_sheetTabs, &QTabBar::setCurrentIndex);
    connect(document, &QObject::destroyed, this, [this] {
        m_closing = true;
        close();
    });

    m_view->setCurrentIndex(m_model->index(0, 0));
    fitUsedColumns();
    showRowsAndMergedAreas();
    updateTitle();
    if (!document->readNotes().isEmpty())
        QTimer::singleShot(0, this, &WorkbookWindow::tellReadNotes);
}

void WorkbookWindow::placeBesideTheOthers()
{
    // From the top left of the screen, each further workbook a step down and
    // to the right, so that none lands exactly on another (the program's main
    // window keeps to the lower right).
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect available = screen->availableGeometry();
    int open = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget != this && qobject_cast<WorkbookWindow *>(widget) && widget->isVisible())
            ++open;
    constexpr int step = 32;
    const int steps = std::max(1, (available.height() - height()) / step);
    const QPoint corner = available.topLeft() + QPoint(24, 24) + QPoint(step, step) * (open % steps);
    move(corner);
    keepClearOfTheProgramsWindows(available);
}

void WorkbookWindow::keepClearOfTheProgramsWindows(const QRect &available)
{
    // The program's main window (at the lower right) holds the controls the
    // user reaches for next: this one ends above them, or failing
    // that to their left, as long as it keeps a usable size.
    constexpr int gap = 8;
    constexpr QSize smallest(480, 320);
    // Not yet shown, the window has no frame: allow for a title bar.
    const QSize frame = isVisible() ? frameGeometry().size() - size() : QSize(0, 32);
    QRect place(pos(), size() + frame);
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        // Main windows only: dialogs and the splash come and go.
        if (widget == this || !widget->isVisible() || !qobject_cast<QMainWindow *>(widget)
            || qobject_cast<WorkbookWindow *>(widget))
            continue;
        const QRect other = widget->frameGeometry();
        if (!place.adjusted(0, 0, gap, gap).intersects(other))
            continue;
        if (other.top() - gap - place.top() >= smallest.height())
            place.setBottom(other.top() - gap - 1);
        else if (other.left() - gap - place.left() >= smallest.width())
            place.setRight(other.left() - gap - 1);
    }
    place = place.intersected(available);
    if (place.width() >= smallest.width() && place.height() >= smallest.height())
        resize(place.size() - frame);
}

void WorkbookWindow::tellReadNotes()
{
    // Said beside the workbook, not in its way: the user reads on while it shows.
    auto *box = new QMessageBox(QMessageBox::Information, QStringLiteral("Tarvio Workbook"),
                                tr("Not everything in %1 could be read as it is.").arg(m_document->name()),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("readNotes"));
    box->setInformativeText(m_document->readNotes().join(QLatin1Char('\n')));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}

void WorkbookWindow::fitUsedColumns()
{
    // Columns in use are widened to what they show (the view measures the
    // rows on screen), within reason.
    QList<int> used;
    m_document->book().forEachCell(m_model->sheet(), [&used](int, int column) {
        if (used.isEmpty() || used.last() != column)
            used << column;
    });
    const std::map<int, double> &stored = m_document->book().columnWidths(m_model->sheet());
    for (int column : used.mid(0, 64)) {
        if (stored.count(column))
            continue;
        m_view->resizeColumnToContents(column);
        m_view->setColumnWidth(column, std::clamp(m_view->columnWidth(column) + 8, 80, 320));
    }
    // Widths the file gave, in characters of about 7 pixels plus 5 of padding.
    for (const auto &[column, characters] : stored)
        m_view->setColumnWidth(column, static_cast<int>(characters * 7 + 5 + 0.5));
}

void WorkbookWindow::buildMenus()
{
    QMenu *file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&New"), QKeySequence::New, [] { EmbeddedBackend::instance().newDocument(); });
    file->addAction(tr("&Open..."), QKeySequence::Open, this, &WorkbookWindow::openFile);
    file->addAction(tr("&Save"), QKeySequence::Save, this, &WorkbookWindow::save);
    file->addAction(tr("Save &As..."), QKeySequence::SaveAs, this, &WorkbookWindow::saveAs);
    file->addSeparator();
    file->addAction(tr("&Close"), QKeySequence::Close, this, &QWidget::close);
    QAction *quit = file->addAction(tr("&Quit"), QKeySequence::Quit, [] {
        if (quitProgram)
            quitProgram();
        else
            closeAllWindows();
    });
    quit->setObjectName(QStringLiteral("quit"));
    buildEditMenu();
    buildSheetMenu();
    buildHelpMenu();
}

QAction *WorkbookWindow::addGridAction(QMenu *menu, const QString &name, const QString &text,
                                       const QList<QKeySequence> &keys, const std::function<void()> &triggered)
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    m_view->addAction(action);
    connect(action, &QAction::triggered, this, triggered);
    return action;
}

void WorkbookWindow::buildEditMenu()
{
    QMenu *edit = menuBar()->addMenu(tr("&Edit"));
    QUndoStack *history = m_document->history();
    QAction *undo = history->createUndoAction(this, tr("&Undo"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = history->createRedoAction(this, tr("&Redo"));
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    edit->addAction(undo);
    edit->addAction(redo);
    edit->addSeparator();
    addGridAction(edit, QStringLiteral("cut"), tr("Cu&t"), {QKeySequence::Cut}, [this] { cutSelection(); });
    addGridAction(edit, QStringLiteral("copy"), tr("&Copy"), {QKeySequence::Copy}, [this] { copySelection(); });
    addGridAction(edit, QStringLiteral("paste"), tr("&Paste"), {QKeySequence::Paste}, [this] { pasteClipboard(); });
    addGridAction(edit, QStringLiteral("delete"), tr("&Delete"), {QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)},
                  [this] { clearSelection(); });
    edit->addSeparator();
    addGridAction(edit, QStringLiteral("fillDown"), tr("Fill Do&wn"), {QKeySequence(Qt::CTRL | Qt::Key_D)},
                  [this] { fillSelection(EmbeddedDocument::Fill::Down); });
    addGridAction(edit, QStringLiteral("fillRight"), tr("Fill &Right"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
                  [this] { fillSelection(EmbeddedDocument::Fill::Right); });
    edit->addSeparator();
    addGridAction(edit, QStringLiteral("selectAll"), tr("Select &All"), {QKeySequence::SelectAll}, [this] { m_view->selectAll(); });
}

void WorkbookWindow::buildSheetMenu()
{
    using Axis = RowsColumnsChange::Axis;
    QMenu *sheet = menuBar()->addMenu(tr("&Sheet"));
    m_rowsMenu = new QMenu(this);
    m_columnsMenu = new QMenu(this);
    const auto add = [this, sheet](QMenu *context, const QString &name, const QString &text, Axis axis, bool insert) {
        QAction *action = sheet->addAction(text, this, [this, axis, insert] { changeRowsColumns(axis, insert); });
        action->setObjectName(name);
        context->addAction(action);
    };
    add(m_rowsMenu, QStringLiteral("insertRows"), tr("&Insert Rows"), Axis::Rows, true);
    add(m_rowsMenu, QStringLiteral("deleteRows"), tr("&Delete Rows"), Axis::Rows, false);
    sheet->addSeparator();
    add(m_columnsMenu, QStringLiteral("insertColumns"), tr("Insert &Columns"), Axis::Columns, true);
    add(m_columnsMenu, QStringLiteral("deleteColumns"), tr("De&lete Columns"), Axis::Columns, false);
    for (QHeaderView *header : {m_view->horizontalHeader(), m_view->verticalHeader()}) {
        header->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint &position) {
            showHeaderMenu(header->orientation(), position);
        });
    }
}

void WorkbookWindow::buildHelpMenu()
{
    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&Quick Help"), QKeySequence::HelpContents, this, &WorkbookWindow::showQuickHelp)
        ->setObjectName(QStringLiteral("quickHelp"));
    help->addAction(tr("&About"), this, &WorkbookWindow::showAbout)->setObjectName(QStringLiteral("about"));
}

void WorkbookWindow::showHeaderMenu(Qt::Orientation orientation, const QPoint &position)
{
    const bool columns = orientation == Qt::Horizontal;
    QHeaderView *header = columns ? m_view->horizontalHeader() : m_view->verticalHeader();
    const int section = header->logicalIndexAt(position);
    if (section < 0)
        return;
    // A click outside the selected rows (columns) is about the one clicked.
    QItemSelectionModel *selection = m_view->selectionModel();
    const bool selected = columns ? selection->isColumnSelected(section) : selection->isRowSelected(section);
    if (!selected) {
        if (columns)
            m_view->selectColumn(section);
        else
            m_view->selectRow(section);
    }
    (columns ? m_columnsMenu : m_rowsMenu)->popup(header->viewport()->mapToGlobal(position));
}

void WorkbookWindow::changeRowsColumns(RowsColumnsChange::Axis axis, bool insert)
{
    if (!m_document)
        return;
    const bool rows = axis == RowsColumnsChange::Axis::Rows;
    const CellRange area = m_document->selection().first();
    int first = rows ? area.firstRow : area.firstColumn;
    int count = rows ? area.rows() : area.columns();
    // Whole rows selected and columns asked for (or the other way round): the current cell's one.
    const QModelIndex current = m_view->currentIndex();
    if (count == (rows ? maxRows : maxColumns) && current.isValid()) {
        first = rows ? current.row() : current.column();
        count = 1;
    }
    QString message;
    if (!m_document->restructure(m_model->sheet(), {axis, first, insert ? count : -count}, &message))
        QMessageBox::information(this, tr("Tarvio Workbook"), message);
    updateFormulaBar();
}

void WorkbookWindow::entryRefused(const QModelIndex &index, const QString &text, const QString &message, int position)
{
    statusBar()->showMessage(message);
    if (m_formulaBar->hasFocus()) {
        m_formulaBar->setText(text);
        if (position < text.size())
            m_formulaBar->setSelection(position, 1);
        else
            m_formulaBar->setCursorPosition(text.size());
        return;
    }
    m_view->keepEditing(index, text, position);
}

void WorkbookWindow::cutSelection()
{
    if (copySelection())
        clearSelection();
}

void WorkbookWindow::fillSelection(EmbeddedDocument::Fill direction)
{
    if (!m_document)
        return;
    QString message;
    if (!m_document->fill(m_model->sheet(), m_document->selection(), direction, &message))
        QMessageBox::information(this, tr("Tarvio Workbook"), message);
    updateFormulaBar();
}

void WorkbookWindow::showQuickHelp()
{
    QMessageBox box(QMessageBox::Information, tr("Tarvio Workbook Quick Help"), tr("Working in the workbook"),
                    QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("quickHelpBox"));
    box.setInformativeText(
        tr("Type into a cell to replace it, or press F2 to change what it holds; Enter goes down, Tab to the right, "
           "Escape gives the old content back. A formula starts with \"=\".\n\n"
           "Ctrl+Z undoes an edit, Ctrl+Y does it again. Ctrl+D fills the selection down from its first row, "
           "Ctrl+R to the right from its first column.\n\n"
           "Right-click a row or column heading to insert or delete rows or columns: formulas, names, sliders and "
           "watches follow their cells.\n\n"
           "Sliders and watches are made in the Tarvio Ostra window from the cells selected here."));
    box.exec();
}

void WorkbookWindow::showAbout()
{
    QMessageBox::about(
        this, tr("About Tarvio Workbook"),
        tr("<p><b>Tarvio Workbook</b>, the workbook of Tarvio Ostra %1.</p>"
           "<p>Built with these libraries, under their licences:</p>"
           "<ul><li>Qt %2: GNU LGPL version 3</li>"
           "<li>liborcus: Mozilla Public License 2.0</li>"
           "<li>libxlsxwriter: BSD 2-Clause License</li>"
           "<li>LibreOffice SDK: Mozilla Public License 2.0</li></ul>")
            .arg(QCoreApplication::applicationVersion(), QString::fromLatin1(qVersion())));
}

void WorkbookWindow::updateTitle()
{
    if (!m_document)
        return;
    setWindowTitle(m_document->name() + QStringLiteral("[*] - ") + EmbeddedBackend::instance().applicationName());
    setWindowModified(m_document->isModified());
}

void WorkbookWindow::updateFormulaBar()
{
    const QModelIndex current = m_view->currentIndex();
    m_nameBox->setText(current.isValid() ? QString::fromStdString(cellText({current.row(), current.column()})) : QString());
    if (!m_formulaBar->hasFocus())
        m_formulaBar->setText(current.isValid() ? m_model->inputText(current.row(), current.column()) : QString());
}

void WorkbookWindow::selectionChanged()
{
    updateFormulaBar();
    if (!m_document)
        return;
    QList<CellRange> areas;
    for (const QItemSelectionRange &range : m_view->selectionModel()->selection())
        areas << CellRange{m_model->sheet(), range.top(), range.left(), range.bottom(), range.right()};
    const QModelIndex current = m_view->currentIndex();
    if (areas.isEmpty() && current.isValid())
        areas << CellRange{m_model->sheet(), current.row(), current.column(), current.row(), current.column()};
    m_document->setSelection(areas);
}

void WorkbookWindow::commitFormulaBar()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return;
    if (m_model->setData(current, m_formulaBar->text()))
        m_view->setFocus();
    updateFormulaBar();
}

void WorkbookWindow::goToNameBoxAddress()
{
    // A cell or a block ("B5:B6", "Sheet2!A1", "C:C"), as a spreadsheet's name box takes them.
    const auto range = parseRangeReference(m_nameBox->text().trimmed().toStdString());
    const SheetIndex sheet = range && !range->sheet.empty() ? m_document->book().findSheet(range->sheet) : m_model->sheet();
    if (!range || sheet < 0) {
        QMessageBox::information(this, tr("Tarvio Workbook"), tr("\"%1\" is not a cell address.").arg(m_nameBox->text()));
        updateFormulaBar();
        return;
    }
    m_sheetTabs->setCurrentIndex(sheet);
    const int top = range->wholeColumns ? 0 : range->first.row;
    const int left = range->wholeRows ? 0 : range->first.column;
    const int bottom = range->wholeColumns ? maxRows - 1 : range->last.row;
    const int right = range->wholeRows ? maxColumns - 1 : range->last.column;
    const QModelIndex first = m_model->index(top, left);
    m_view->setCurrentIndex(first);
    m_view->selectionModel()->select(QItemSelection(first, m_model->index(bottom, right)), QItemSelectionModel::ClearAndSelect);
    m_view->scrollTo(first);
    m_view->setFocus();
}

void WorkbookWindow::clearSelection()
{
    if (!m_document)
        return;
    m_document->clearAreas(m_model->sheet(), m_document->selection());
    updateFormulaBar();
}

bool WorkbookWindow::copySelection()
{
    const QItemSelection selection = m_view->selectionModel()->selection();
    if (selection.size() != 1) {
        QMessageBox::information(this, tr("Tarvio Workbook"), tr("Copy works on one rectangular block."));
        return false;
    }
    const QItemSelectionRange &range = selection.first();
    if (static_cast<long long>(range.height()) * range.width() > 1000000) {
        QMessageBox::information(this, tr("Tarvio Workbook"), tr("The block is too large to copy."));
        return false;
    }
    QStringList lines;
    for (int r = range.top(); r <= range.bottom(); ++r) {
        QStringList cells;
        // Values with all their digits, not as their formats show them: a paste gives back the same numbers.
        for (int c = range.left(); c <= range.right(); ++c)
            cells << QString::fromStdString(displayText(m_document->book().value({m_model->sheet(), r, c})));
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return true;
}

void WorkbookWindow::pasteClipboard()
{
    const QModelIndex current = m_view->currentIndex();
    if (!m_document || !current.isValid())
        return;
    QString text = QApplication::clipboard()->text();
    if (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    QList<QStringList> rows;
    for (const QString &line : text.split(QLatin1Char('\n')))
        rows << line.split(QLatin1Char('\t'));
    QString message;
    if (!m_document->pasteBlock({m_model->sheet(), current.row(), current.column()}, rows, &message))
        QMessageBox::warning(this, tr("Tarvio Workbook"), tr("Some entries were not accepted:\n%1").arg(message));
    updateFormulaBar();
}

void WorkbookWindow::showSheet(int index)
{
    if (!m_document || index < 0)
        return;
    m_model->setSheet(index);
    m_document->setActiveSheet(index);
    m_view->setCurrentIndex(m_model->index(0, 0));
    fitUsedColumns();
    showRowsAndMergedAreas();
    selectionChanged();
}

void WorkbookWindow::showRowsAndMergedAreas()
{
    // Row heights come with the areas: both shape the grid from the file.
    QHeaderView *rows = m_view->verticalHeader();
    for (const auto &[row, points] : m_document->book().formats().rowHeights(m_model->sheet()))
        rows->resizeSection(row, std::max(1, static_cast<int>(points * 4 / 3 + 0.5)));
    m_view->clearSpans();
    for (const MergedArea &a : m_document->book().formats().mergedAreas(m_model->sheet()))
        m_view->setSpan(a.firstRow, a.firstColumn, a.lastRow - a.firstRow + 1, a.lastColumn - a.firstColumn + 1);
}

void WorkbookWindow::openFile()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open Workbook"), QString(),
                                                      tr("Workbooks (*.xlsx *.xlsm *.ods *.csv);;All files (*)"));
    if (path.isEmpty())
        return;
    QString message;
    bool cancelled = false;
    const QPointer<WorkbookWindow> self(this);
    if (!EmbeddedBackend::instance().openDocument(path, &message, &cancelled) && !cancelled)
        QMessageBox::warning(self, tr("Tarvio Workbook"), message);
}

bool WorkbookWindow::saveTo(const QString &path)
{
    QString message;
    if (!m_document->saveAs(path, &message)) {
        QMessageBox::warning(this, tr("Tarvio Workbook"), message);
        return false;
    }
    if (!message.isEmpty())
        QMessageBox::information(this, tr("Tarvio Workbook"), message);
    return true;
}

bool WorkbookWindow::save()
{
    if (!m_document)
        return false;
    const QString path = m_document->filePath();
    const bool xlsx = path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
    if (path.isEmpty() || !xlsx || !m_document->unsupported().isEmpty()) {
        // Never overwrite a file with less than it held: save a new xlsx instead.
        if (!path.isEmpty()) {
            const QString lost = m_document->unsupported().isEmpty() ? tr("the original file format")
                                                                      : m_document->unsupported().join(QStringLiteral(", "));
            QMessageBox::information(this, tr("Tarvio Workbook"),
                                     tr("%1 is saved as a new .xlsx file; the original stays as it is.\n"
                                        "Not kept in the new file: %2.")
                                         .arg(QFileInfo(path).fileName(), lost));
        }
        return saveAs();
    }
    return saveTo(path);
}

bool WorkbookWindow::saveAs()
{
    if (!m_document)
        return false;
    const QString original = m_document->filePath();
    QString suggestion = original.isEmpty() ? m_document->name() + QStringLiteral(".xlsx")
                                            : QFileInfo(original).path() + QLatin1Char('/') + QFileInfo(original).completeBaseName()
            + QStringLiteral(".xlsx");
    QString path = QFileDialog::getSaveFileName(this, tr("Save Workbook As"), suggestion, tr("Excel workbook (*.xlsx)"));
    if (path.isEmpty())
        return false;
    if (!path.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        path += QStringLiteral(".xlsx");
    if (!m_document->unsupported().isEmpty() && QFileInfo(path) == QFileInfo(original)) {
        QMessageBox::warning(this, tr("Tarvio Workbook"), tr("Choose another name: the original file would lose what it holds."));
        return false;
    }
    return saveTo(path);
}

bool WorkbookWindow::confirmClose()
{
    if (!m_document || !m_document->isModified())
        return true;
    raise();
    activateWindow();
    const auto answer = QMessageBox::question(this, tr("Tarvio Workbook"),
                                              tr("Save the changes to %1 before closing?").arg(m_document->name()),
                                              QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
    if (answer == QMessageBox::Cancel)
        return false;
    return answer == QMessageBox::Discard || save();
}

void WorkbookWindow::closeEvent(QCloseEvent *event)
{
    if (!m_closing && !confirmClose()) {
        event->ignore();
        return;
    }
    m_closing = true;
    if (m_document)
        EmbeddedBackend::instance().closeDocument(m_document);
    event->accept();
}

void WorkbookWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_document)
        EmbeddedBackend::instance().bringToFront(m_document);
}

void WorkbookWindow::serveDocuments()
{
    EmbeddedBackend &backend = EmbeddedBackend::instance();
    backend.showDocument = [](EmbeddedDocument *document) {
        auto *window = new WorkbookWindow(document);
        window->placeBesideTheOthers();
        window->show();
    };
    backend.activeDocumentWindow = []() -> EmbeddedDocument * {
        auto *window = qobject_cast<WorkbookWindow *>(QApplication::activeWindow());
        return window ? window->document() : nullptr;
    };
    backend.loadFile = [](const QString &path, Workbook &book) {
        WorkbookOpening opening(path, QApplication::activeWindow());
        return opening.run(book);
    };
}

bool WorkbookWindow::closeAllWindows()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<WorkbookWindow *>(widget)) {
            if (!window->confirmClose())
                return false;
        }
    }
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<WorkbookWindow *>(widget)) {
            window->m_closing = true;
            window->close();
        }
    }
    return true;
}
