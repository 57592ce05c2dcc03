#include "SheetView.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

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
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (state() != QAbstractItemView::EditingState && enter) {
        moveCurrent(event->modifiers() & Qt::ShiftModifier ? -1 : 1, 0);
        return;
    }
    QTableView::keyPressEvent(event);
}

void SheetView::keepEditing(const QModelIndex &index, const QString &text, int position)
{
    m_refused = Refused{index, text, position};
}

QLineEdit *SheetView::cellEditor() const
{
    // Closed editors are hidden until they are deleted.
    for (QLineEdit *editor : viewport()->findChildren<QLineEdit *>())
        if (!editor->isHidden())
            return editor;
    return nullptr;
}

void SheetView::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint)
{
    // A refused entry stays where it was typed.
    QTableView::closeEditor(editor, m_refused ? QAbstractItemDelegate::NoHint : hint);
    if (m_refused) {
        // Not from within the closing editor's own events.
        QTimer::singleShot(0, this, &SheetView::editAgain);
        return;
    }
    // Enter commits and goes down, as in every spreadsheet.
    if (hint == QAbstractItemDelegate::SubmitModelCache)
        moveCurrent(1, 0);
}

void SheetView::editAgain()
{
    if (!m_refused)
        return;
    const Refused refused = *m_refused;
    m_refused.reset();
    if (!refused.index.isValid())
        return;
    setCurrentIndex(refused.index);
    edit(refused.index);
    QLineEdit *editor = cellEditor();
    if (!editor)
        return;
    editor->setText(refused.text);
    // The character where it went wrong is selected; at the end, the cursor waits there.
    if (refused.position < refused.text.size())
        editor->setSelection(refused.position, 1);
    else
        editor->setCursorPosition(refused.text.size());
}
