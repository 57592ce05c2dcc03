#include "SplashScreen.h"

#include "CachedImageLoader.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QTimer>

SplashScreen::SplashScreen()
    : QLabel(nullptr), m_timer(new QTimer(this))
{
    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_TranslucentBackground);
    m_timer->setInterval(5000);
    connect(m_timer, &QTimer::timeout, this, &QObject::deleteLater);
    const QImage image = CachedImageLoader::image(QStringLiteral(":resources/SplashScreen.png"));
    setPixmap(QPixmap::fromImage(image));
    resize(image.size());
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (!screens.isEmpty()) {
        const QRect available = screens.first()->availableGeometry();
        move((available.width() - width()) / 2, (available.height() - height()) / 2);
    }
}

void SplashScreen::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const int right = contentsRect().right();
    const QImage icon = CachedImageLoader::image(QStringLiteral(":icons/IconTarvioOstra512.png"));
    if (!icon.isNull())
        painter.drawImage(right - 90, 18, icon.scaled(70, 70, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(14);
    painter.setFont(font);
    const QRect name(QPoint(right - 219, 98), QPoint(right - 20, 98 + 14 + 3));
    painter.setPen(Qt::white);
    painter.drawText(name, Qt::AlignRight, QStringLiteral("Tarvio Ostra"));
    painter.setPen(Qt::lightGray);
    painter.drawText(name.translated(0, 14 + 4), Qt::AlignRight, QStringLiteral("1.1.0"));
    if (!m_timer->isActive())
        m_timer->start();
}
