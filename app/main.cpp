#include "CachedImageLoader.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarvio Ostra"));
    QApplication::setApplicationVersion(QStringLiteral("1.1.0"));
    QIcon icon;
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra16.png"))));
    icon.addPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra512.png"))));
    QApplication::setWindowIcon(icon);

    QLabel window;
    window.setWindowTitle(QStringLiteral("Tarvio Ostra"));
    window.setPixmap(QPixmap::fromImage(CachedImageLoader::image(QStringLiteral(":resources/SplashScreen.png"))));
    window.show();
    return application.exec();
}
