#pragma once

#include <QTableView>

// The grid: a table view that moves down after Enter, clears with Delete and
// copies and pastes rectangular blocks as tab-separated text.
class SheetView : public QTableView
{
    Q_OBJECT
public:
    explicit SheetView(QWidget *parent = nullptr);

signals:
    void clearRequested();
    void copyRequested();
    void pasteRequested();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void moveCurrent(int rows, int columns);
};
