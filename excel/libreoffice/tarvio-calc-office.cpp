// tarvio-calc-office: tarvio-calc's face on LibreOffice Calc. tarvio-calc
// hands a command line with --office to this program, which opens the file in
// the office listening on --pipe NAME, or else in a private headless office it
// starts and stops itself, and works through the same backend as the program.
#include "CalcBackend.h"
#include "CalcCommand.h"
#include "CalcDocument.h"
#include "CalcObjects.h"
#include "PrivateOffice.h"
#include "Reference.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <iostream>
#include <memory>

using namespace workbook;

namespace {

// How long a private office may take to listen after it starts.
constexpr int officeStartTenths = 600;

// The document's cells through the automation layer, as the program reaches them.
class OfficeCells : public CalcCells
{
public:
    OfficeCells(CalcBackend &backend, CalcDocument &document) : m_backend(backend), m_document(document) {}

    int find(const std::string &reference) override
    {
        const auto range = parseRangeReference(reference);
        if (!range || !range->isSingleCell())
            return -1;
        const int sheet = range->sheet.empty() ? 0 : m_document.sheetIndex(QString::fromStdString(range->sheet));
        if (sheet < 0 || sheet >= m_document.sheetCount())
            return -1;
        m_sheets.push_back(std::make_unique<CalcWorksheetObject>(&m_backend, &m_document, sheet));
        std::unique_ptr<AutomationObject> cell(
            m_sheets.back()->query(QStringLiteral("Range"), {QString::fromStdString(cellText(range->first))}));
        if (cell->isNull())
            return -1;
        m_cells.push_back(std::move(cell));
        return int(m_cells.size() - 1);
    }

    bool setInput(int cell, const std::string &text, std::string &message) override
    {
        // A number goes in as the number typed, not as text the office reads again.
        double number = 0;
        const bool isNumber = parseNumber(text, number);
        if (m_cells[size_t(cell)]->write(QStringLiteral("Value"), isNumber ? QVariant(number) : QVariant(QString::fromStdString(text))))
            return true;
        message = "LibreOffice Calc did not take the value";
        return false;
    }

    void exchange(const std::vector<int> &inputs, const std::vector<double> &values, const std::vector<int> &outputs,
                  std::vector<Value> &results) override
    {
        QList<AutomationObject *> write, read;
        for (int cell : inputs)
            write << m_cells[size_t(cell)].get();
        for (int cell : outputs)
            read << m_cells[size_t(cell)].get();
        const QList<QVariant> numbers = m_backend.exchange(write, QList<double>(values.begin(), values.end()), read);
        results.clear();
        for (qsizetype i = 0; i < read.size(); ++i) {
            bool ok = false;
            const double number = i < numbers.size() ? numbers[i].toDouble(&ok) : 0;
            // Text and errors as the office shows them; they are rare, so they cost a call each.
            results.push_back(ok ? Value::number(number)
                                 : Value::text(read[i]->read(QStringLiteral("Text")).toString().toStdString()));
        }
    }

private:
    CalcBackend &m_backend;
    CalcDocument &m_document;
    std::vector<std::unique_ptr<CalcWorksheetObject>> m_sheets;
    std::vector<std::unique_ptr<AutomationObject>> m_cells;
};

int unreadable(const QString &message)
{
    std::cerr << "tarvio-calc: " << message.toStdString() << "\n";
    return calcUnreadableFile;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    CalcCommand command;
    std::string problem;
    if (!parseCalcCommand(std::vector<std::string>(argv + 1, argv + argc), command, problem))
        return calcUsage(std::cerr, problem);
    if (command.dump || !command.office)
        return calcUsage(std::cerr, "this program runs tarvio-calc's --office commands");

    std::unique_ptr<PrivateOffice> office;
    std::unique_ptr<CalcBackend> backend;
    if (command.pipe.empty()) {
        office = std::make_unique<PrivateOffice>(QStringLiteral("calc"));
        office->start();
        backend = std::make_unique<CalcBackend>(office->pipe(), office->arguments());
        for (int i = 0; i < officeStartTenths && !backend->connectOffice(false); ++i)
            QThread::msleep(100);
        if (!backend->connectOffice(false))
            return unreadable(QStringLiteral("LibreOffice Calc could not be started."));
    } else {
        backend = std::make_unique<CalcBackend>(QString::fromStdString(command.pipe));
        if (!backend->connectOffice(false))
            return unreadable(QStringLiteral("no office listens on the pipe %1").arg(QString::fromStdString(command.pipe)));
    }

    // The user's own copy of the file stays as they left it.
    const QString path = QFileInfo(QString::fromStdString(command.path)).absoluteFilePath();
    for (CalcDocument *open : backend->documents())
        if (open->location() == path)
            return unreadable(QStringLiteral("%1 is open in that office; close it there first, or leave out --pipe")
                                  .arg(command.path.c_str()));
    QString message;
    const qint64 id = backend->openDocument(path, &message);
    CalcDocument *document = nullptr;
    for (CalcDocument *open : backend->documents())
        if (open->id() == id)
            document = open;
    if (!document)
        return unreadable(message.isEmpty() ? QStringLiteral("LibreOffice Calc could not open %1").arg(path) : message);

    int status = calcDone;
    {
        OfficeCells cells(*backend, *document);
        status = runCalcCommand(command, cells, std::cout, std::cerr);
    }
    // What we changed is never saved: the document goes as it came.
    document->setModified(false);
    document->close();
    return status;
}
