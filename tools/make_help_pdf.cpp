// Turns the quick help (docs/quick-help.md) into the PDF the help button opens:
//   tarvio-make-help-pdf docs/quick-help.md "build/app/Tarvio Vendel Quick Help.pdf"
#include <QFile>
#include <QGuiApplication>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <QTextStream>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        QTextStream(stderr) << "usage: tarvio-make-help-pdf HELP.md OUTPUT.pdf\n";
        return 1;
    }
    QFile source(arguments.at(1));
    if (!source.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << arguments.at(1) << "\n";
        return 1;
    }
    QTextDocument document;
    document.setMarkdown(QString::fromUtf8(source.readAll()));
    // Written whole or not at all.
    QSaveFile output(arguments.at(2));
    if (!output.open(QIODevice::WriteOnly)) {
        QTextStream(stderr) << "cannot write " << arguments.at(2) << "\n";
        return 1;
    }
    {
        QPdfWriter pdf(&output);
        pdf.setPageSize(QPageSize(QPageSize::A4));
        pdf.setTitle(QStringLiteral("Tarvio Ostra Quick Help"));
        pdf.setCreator(QStringLiteral("Tarvio Ostra"));
        document.print(&pdf);
    }
    return output.commit() ? 0 : 1;
}
