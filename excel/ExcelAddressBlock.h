#pragma once

#include <QList>
#include <QObject>
#include <QString>

// A cell position from an A1 reference; 0 means the part is absent (a whole
// row or column). `valid` is false for a column past XFD or a row past the
// sheet's last row.
struct ExcelCell
{
    int row = 0;
    int column = 0;
    bool valid = true;
};

// A parsed A1 address of one or more blocks separated by ";". It tells single
// cells, rectangles, whole rows and whole columns apart and can break a
// rectangle into single-cell blocks, reporting each through `rangeIterated`
// the moment it is made (a reported block lives only during that call).
class ExcelAddressBlock : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxColumn = 16384;   // XFD
    static constexpr int maxRow = 1048576;
    // A whole-sheet selection must not become billions of blocks.
    static constexpr int maxIteratedCells = 10000;

    explicit ExcelAddressBlock(const QString &address = QString(), bool iterateCells = false);
    ~ExcelAddressBlock() override;

    void setAddress(const QString &address, bool iterateCells = false);

    const QString &address() const { return m_address; }
    bool wholeRows() const { return m_wholeRows; }
    bool wholeColumns() const { return m_wholeColumns; }
    int startRow() const { return m_startRow; }
    int startColumn() const { return m_startColumn; }
    int endRow() const { return m_endRow; }
    int endColumn() const { return m_endColumn; }
    bool isValid() const { return m_valid; }
    bool isSimple() const { return m_simple; }
    bool isSingleCell() const;
    const QList<ExcelAddressBlock *> &children() const { return m_children; }

    static QString columnName(int column);
    static QString cellName(int row, int column);
    static ExcelCell parseCell(const QString &text);

signals:
    void rangeIterated(ExcelAddressBlock *block);

public slots:
    void rangeIteration(ExcelAddressBlock *block);

private:
    void setAddress(const QString &address, bool iterateCells, int &cellBudget);
    void parse(bool iterateCells, int &cellBudget);
    void parseSimple(bool iterateCells, int &cellBudget);
    void iterateRectangle(int &cellBudget);
    void parseParts(const QStringList &parts, bool iterateCells, int &cellBudget);
    ExcelAddressBlock *makeChild(const QString &address, bool iterateCells, int &cellBudget);
    // Appends a child while every block so far is valid; otherwise drops it.
    bool adopt(ExcelAddressBlock *child);
    void deleteChildren();

    QString m_address;
    bool m_wholeRows = false;
    bool m_wholeColumns = false;
    int m_startRow = 0;
    int m_startColumn = 0;
    int m_endRow = 0;
    int m_endColumn = 0;
    bool m_valid = false;
    bool m_simple = false;
    QList<ExcelAddressBlock *> m_children;
};
