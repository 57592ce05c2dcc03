#pragma once

#include <QTableView>

#include <optional>

class QLineEdit;

// The grid: a table view that moves down after Enter and, when an entry is
// refused, opens the editor again on the text as typed.
class SheetView : public QTableView
{
    Q_OBJECT
public:
    explicit SheetView(QWidget *parent = nullptr);

    // The entry just committed at `index` was refused: once its editor closes
    // it opens again with `text`, the place at `position` marked.
    void keepEditing(const QModelIndex &index, const QString &text, int position);
    // The open cell editor, or null.
    QLineEdit *cellEditor() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void moveCurrent(int rows, int columns);
    void editAgain();

    struct Refused
    {
        QPersistentModelIndex index;
        QString text;
        int position = 0;
    };
    std::optional<Refused> m_refused;
};
