#include "SheetView.h"

#include <QHeaderView>
#include <QKeyEvent>

SheetView::SheetView(QWidget *parent)
    : QTableView(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setTabKeyNavigation(true);
    horizontalHeader()->setDefaultSectionSize(80);
    horizontalHeader()->setMinimumSectionSize(24);
    verticalHeader()->setDefaultSectionSize(22);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumWidth(56);
    setWordWrap(false);
    setCornerButtonEnabled(true);
}

void SheetView::moveCurrent(int rows, int columns)
{
    const QModelIndex current = currentIndex();
    if (!current.isValid() || !model())
        return;
    const int row = std::clamp(current.row() + rows, 0, model()->rowCount() - 1);
    const int column = std::clamp(current.column() + columns, 0, model()->columnCount() - 1);
    setCurrentIndex(model()->index(row, column));
}

void SheetView::keyPressEvent(QKeyEvent *event)
{
    if (state() != QAbstractItemView::EditingState) {
        if (event->matches(QKeySequence::Copy)) {
            emit copyRequested();
            return;
        }
        if (event->matches(QKeySequence::Paste)) {
            emit pasteRequested();
            return;
        }
        switch (event->key()) {
        case Qt::Key_Delete:
        case Qt::Key_Backspace:
            emit clearRequested();
            return;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            moveCurrent(event->modifiers() & Qt::ShiftModifier ? -1 : 1, 0);
            return;
        default:
            break;
        }
    }
    QTableView::keyPressEvent(event);
}

void SheetView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    QTableView::closeEditor(editor, hint);
    // Enter commits and goes down, as in every spreadsheet.
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        moveCurrent(1, 0);
}
