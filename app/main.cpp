#include "ActiveWindowHistory.h"
#include "CachedImageLoader.h"
#include "MainWindow.h"
#include "SplashScreen.h"
#include "embedded/EmbeddedBackend.h"
#include "embedded/WorkbookWindow.h"
#ifdef TARVIO_WITH_LIBREOFFICE
#include "CalcBackend.h"
#endif

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPixmap>
#include <QThread>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvio Ostra"));
    QApplication::setApplicationVersion(QStringLiteral("1.1.0"));
    // Ties the windows to the menu entry, for the desktop's icon and grouping.
    QGuiApplication::setDesktopFileName(QStringLiteral("tarvio-ostra"));
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra16.png"))));
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra512.png"))));
    QApplication::setWindowIcon(icon);

    auto *splash = new SplashScreen; // removes itself
    splash->show();
    // Painted before the pause, or the window system shows an empty frame.
    QCoreApplication::processEvents();
    QThread::msleep(1000);

    // From now on the program knows which spreadsheet window the user activated last.
    ActiveWindowHistory::instance();
    // The embedded workbook first: it serves when no other spreadsheet is in front.
    AutomationBackend::add(&EmbeddedBackend::instance());
    QStringList files = QApplication::arguments().mid(1);
#ifdef TARVIO_WITH_LIBREOFFICE
    auto *calc = new CalcBackend(CalcBackend::defaultPipeName(), {}, &application);
    AutomationBackend::add(calc);
    // Said after the move that found the office gone, not inside it.
    QObject::connect(calc, &CalcBackend::officeLost, calc, [](const QString &message) {
        QMessageBox::warning(nullptr, QStringLiteral("LibreOffice Calc"), message);
    }, Qt::QueuedConnection);
    // --calc FILE opens the file in LibreOffice Calc, attached.
    const qsizetype calcOption = files.indexOf(QStringLiteral("--calc"));
    if (calcOption >= 0 && calcOption + 1 < files.size()) {
        QString message;
        if (calc->openDocument(files.at(calcOption + 1), &message))
            AutomationBackend::setCurrent(calc);
        else
            QMessageBox::warning(nullptr, calc->applicationName(), message);
        files.remove(calcOption, 2);
    }
#endif

    MainWindow window;
    window.show();

    // Workbooks named on the command line open in the embedded spreadsheet.
    WorkbookWindow::serveDocuments();
    WorkbookWindow::quitProgram = [&window] { window.closeApplication(); };
    for (const QString &file : files) {
        QString message;
        if (!EmbeddedBackend::instance().openDocument(file, &message))
            QMessageBox::warning(nullptr, QStringLiteral("Tarvio Workbook"), message);
    }
    return application.exec();
}
