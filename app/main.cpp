#include "CachedImageLoader.h"
#include "MainWindow.h"
#include "SplashScreen.h"
#include "embedded/EmbeddedBackend.h"
#include "embedded/WorkbookWindow.h"

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
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra16.png"))));
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra512.png"))));
    QApplication::setWindowIcon(icon);

    auto *splash = new SplashScreen; // removes itself
    splash->show();
    // Painted before the pause, or the window system shows an empty frame.
    QCoreApplication::processEvents();
    QThread::msleep(1000);

    MainWindow window;
    window.show();

    // Workbooks named on the command line open in the embedded spreadsheet.
    WorkbookWindow::serveDocuments();
    const QStringList files = QApplication::arguments().mid(1);
    for (const QString &file : files) {
        QString message;
        if (!EmbeddedBackend::instance().openDocument(file, &message))
            QMessageBox::warning(nullptr, QStringLiteral("Tarvio Workbook"), message);
    }
    return application.exec();
}
