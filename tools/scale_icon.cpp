// Writes the program's icon at a smaller size for the desktop's icon theme:
//   tarvio-scale-icon icons/IconTarvioOstra512.png 48 build/packaging/icon-48.png
#include <QImage>
#include <QTextStream>

int main(int argc, char *argv[])
{
    const int size = argc == 4 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    if (size <= 0) {
        QTextStream(stderr) << "usage: tarvio-scale-icon ICON.png SIZE OUTPUT.png\n";
        return 1;
    }
    const QImage icon(QString::fromLocal8Bit(argv[1]));
    if (icon.isNull()) {
        QTextStream(stderr) << "cannot read " << argv[1] << "\n";
        return 1;
    }
    const QImage scaled = icon.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (!scaled.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        QTextStream(stderr) << "cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
