#include "FormHandler.h"

#include "CachedImageLoader.h"

#include <QApplication>
#include <QBitmap>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QWidget>

namespace Backgrounds {

namespace {

const char *const buttonNames[] = {"closebutton", "minimizebutton", "helpbutton"};
const char *const defaultImages[] = {":resources/btn_close", ":resources/btn_minimize", ":resources/btn_help"};

QString buttonOf(int area)
{
    switch (area) {
    case FormHandler::CloseButton:
        return QStringLiteral("closebutton");
    case FormHandler::MinimizeButton:
        return QStringLiteral("minimizebutton");
    case FormHandler::HelpButton:
        return QStringLiteral("helpbutton");
    default:
        return QString();
    }
}

QRect buttonRect(QWidget *window, const char *button)
{
    return window->property((QByteArray(button) + "rect").constData()).toRect();
}

QPoint pointOf(QMouseEvent *event)
{
    return event->position().toPoint();
}

} // namespace

FormHandler::FormHandler(QObject *parent)
    : QObject(parent)
{
}

void FormHandler::attach(QWidget *window)
{
    window->installEventFilter(this);
    window->setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::CustomizeWindowHint);
    window->setAttribute(Qt::WA_MouseTracking);
}

int FormHandler::hitTest(QWidget *window, const QPoint &p)
{
    const QRect r = window->contentsRect();
    if (!r.contains(p))
        return Outside;
    const int x = p.x(), y = p.y(), right = r.right(), bottom = r.bottom();
    if (x <= 7 && y <= 7)
        return LeftEdge | TopEdge;
    if (x >= right - 8 && y <= 7)
        return TopEdge | RightEdge;
    if (x >= right - 8 && y >= bottom - 8)
        return RightEdge | BottomEdge;
    if (x <= 7 && y >= bottom - 8)
        return LeftEdge | BottomEdge;
    if (y >= bottom - 8)
        return BottomEdge;
    if (y <= 8)
        return TopEdge;
    if (x <= 8)
        return LeftEdge;
    if (x >= right - 8)
        return RightEdge;
    if (buttonRect(window, "closebutton").contains(p))
        return CloseButton;
    if (buttonRect(window, "minimizebutton").contains(p))
        return MinimizeButton;
    if (buttonRect(window, "helpbutton").contains(p))
        return HelpButton;
    if (y <= 24 && x > 20)
        return TitleBar;
    return ClientArea;
}

Qt::CursorShape FormHandler::cursorFor(int area)
{
    if (area == (LeftEdge | TopEdge) || area == (RightEdge | BottomEdge))
        return Qt::SizeFDiagCursor;
    if (area == (TopEdge | RightEdge) || area == (LeftEdge | BottomEdge))
        return Qt::SizeBDiagCursor;
    if (area & (TopEdge | BottomEdge) && area < CloseButton)
        return Qt::SizeVerCursor;
    if (area & (LeftEdge | RightEdge) && area < CloseButton)
        return Qt::SizeHorCursor;
    return Qt::ArrowCursor;
}

bool FormHandler::eventFilter(QObject *watched, QEvent *event)
{
    auto *window = qobject_cast<QWidget *>(watched);
    if (!window)
        return false;
    switch (event->type()) {
    case QEvent::Paint:
        paintChrome(window);
        return false;
    case QEvent::Resize:
        setWindowMask(window);
        return false;
    case QEvent::MouseButtonPress:
        mousePress(window, static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseButtonRelease:
        mouseRelease(window, static_cast<QMouseEvent *>(event));
        return true;
    case QEvent::MouseMove:
        mouseMove(window, static_cast<QMouseEvent *>(event));
        return false;
    case QEvent::Leave:
        leave(window);
        return false;
    default:
        return false;
    }
}

void FormHandler::updateCursor(QWidget *window, int area)
{
    const Qt::CursorShape shape = cursorFor(area);
    if (window->cursor().shape() == shape)
        return;
    window->setCursor(shape);
    // A window holding the grab shows the new cursor only when it grabs again.
    if (QWidget::mouseGrabber() == window)
        window->grabMouse();
}

void FormHandler::setGrabbedArea(QWidget *window, int area)
{
    if (window->property("grabbedarea").toInt() == area)
        return;
    if (area != Outside && area != ClientArea) {
        if (QWidget::mouseGrabber() != window)
            window->grabMouse();
    } else if (QWidget::mouseGrabber() == window) {
        window->releaseMouse();
    }
    window->setProperty("grabbedarea", area);
    updateCursor(window, area);
}

void FormHandler::setButtonState(QWidget *window, const QString &button, int state)
{
    const QByteArray stateName = (button + QStringLiteral("state")).toLatin1();
    if (window->property(stateName.constData()).toInt() == state)
        return;
    window->setProperty(stateName.constData(), state);
    window->update(window->property((button + QStringLiteral("rect")).toLatin1().constData()).toRect());
}

void FormHandler::mousePress(QWidget *window, QMouseEvent *event)
{
    const int area = hitTest(window, pointOf(event));
    if (event->button() == Qt::LeftButton) {
        setGrabbedArea(window, area);
        if (area & 15)
            window->setProperty("movingform", true);
    }
    if (area == CloseButton || area == MinimizeButton || area == HelpButton) {
        setButtonState(window, buttonOf(area), 1);
    } else if (area == TitleBar) {
        m_pressPosition = pointOf(event);
        window->setProperty("movingform", true);
    }
}

void FormHandler::mouseMove(QWidget *window, QMouseEvent *event)
{
    const QPoint p = pointOf(event);
    const bool held = event->buttons() & Qt::LeftButton;
    if (!held)
        setGrabbedArea(window, hitTest(window, p));
    const int grabbed = window->property("grabbedarea").toInt();
    for (const char *button : buttonNames)
        setButtonState(window, QString::fromLatin1(button), 0);
    if (grabbed == CloseButton || grabbed == MinimizeButton || grabbed == HelpButton)
        setButtonState(window, buttonOf(grabbed), held ? 1 : 2);

    if (held && (grabbed & 15) && grabbed < CloseButton) {
        QRect g = window->geometry();
        if (grabbed & LeftEdge) {
            g.setLeft(g.left() + p.x());
            if (window->minimumWidth() > 0 && g.width() < window->minimumWidth())
                g.setLeft(g.right() - window->minimumWidth() + 1);
            if (window->maximumWidth() > 0 && g.width() > window->maximumWidth())
                g.setLeft(g.right() - window->maximumWidth() + 1);
        }
        if (grabbed & TopEdge) {
            g.setTop(g.top() + p.y());
            if (window->minimumHeight() > 0 && g.height() < window->minimumHeight())
                g.setTop(g.bottom() - window->minimumHeight() + 1);
            if (window->maximumHeight() > 0 && g.height() > window->maximumHeight())
                g.setTop(g.bottom() - window->maximumHeight() + 1);
        }
        if (grabbed & RightEdge)
            g.setRight(g.left() + p.x());
        if (grabbed & BottomEdge)
            g.setBottom(g.top() + p.y());
        window->setGeometry(g);
    } else if (held && grabbed == TitleBar) {
        window->setGeometry(window->geometry().translated(p - m_pressPosition));
    }
}

void FormHandler::mouseRelease(QWidget *window, QMouseEvent *event)
{
    const int area = hitTest(window, pointOf(event));
    const int grabbed = window->property("grabbedarea").toInt();
    if (grabbed == CloseButton || grabbed == MinimizeButton || grabbed == HelpButton) {
        setButtonState(window, buttonOf(grabbed), area == grabbed ? 2 : 0);
        if (area == grabbed) {
            window->releaseMouse();
            if (grabbed == CloseButton)
                QTimer::singleShot(200, window, &QWidget::close);
            else if (grabbed == MinimizeButton)
                window->setWindowState(Qt::WindowMinimized);
            else
                QTimer::singleShot(200, window, [window] { QMetaObject::invokeMethod(window, "showHelp"); });
        }
    }
    updateCursor(window, area);
    window->setProperty("movingform", false);
}

void FormHandler::leave(QWidget *window)
{
    if (window->property("movingform").toBool())
        return;
    setGrabbedArea(window, Outside);
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    for (const char *button : buttonNames)
        setButtonState(window, QString::fromLatin1(button), 0);
    if (QWidget::mouseGrabber() == window)
        window->releaseMouse();
}

void FormHandler::setWindowMask(QWidget *window)
{
    QBitmap mask(window->size());
    mask.clear();
    QPainter painter(&mask);
    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(1, -1, window->width() - 2, window->height() + 1), 6, 6);
    painter.setClipPath(rounded);
    painter.fillRect(mask.rect(), Qt::color1);
    painter.end();
    window->setMask(mask);
}

void FormHandler::paintChrome(QWidget *window)
{
    QPainter painter(window);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect contents = window->contentsRect();

    const QImage steel = CachedImageLoader::image(QStringLiteral(":resources/stainless-steel.jpg"));
    if (!steel.isNull()) {
        for (int column = 0; column <= contents.width() / steel.width(); ++column)
            for (int row = 0; row <= contents.height() / steel.height(); ++row)
                painter.drawImage(column * steel.width(), row * steel.height(), steel);
    }

    const int l = contents.left() + 4, t = contents.top() + 4, rgt = contents.right() - 5, btm = contents.bottom() - 4;
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    painter.drawRoundedRect(QRect(l, t, rgt - l + 1, btm - t + 1), 3, 3);
    painter.setPen(QColor(255, 255, 255, 128));
    painter.drawRoundedRect(QRect(l + 1, t + 1, rgt - l + 1, btm - t + 1), 3, 3);

    painter.setPen(Qt::white);
    painter.drawText(QPoint(14, 20), window->property("windowtitle").toString());

    // Buttons from the right: close, minimize, help, each against the one
    // drawn before it; without a close button the row starts at the right edge.
    int previousLeft = -1;
    int lastLeft = contents.right() - 7;
    for (int i = 0; i < 3; ++i) {
        const QByteArray name(buttonNames[i]);
        if (!window->property(name.constData()).toBool())
            continue;
        QString base = window->property((name + "name").constData()).toString();
        if (base.isEmpty())
            base = QString::fromLatin1(defaultImages[i]);
        const int state = window->property((name + "state").constData()).toInt();
        const QString suffix = state == 1 ? QStringLiteral("_down.png") : state == 2 ? QStringLiteral("_hover.png") : QStringLiteral(".png");
        const QImage image = CachedImageLoader::image(base + suffix);
        const int anchor = previousLeft >= 0 ? previousLeft : (i == 0 ? contents.right() - 7 : contents.right());
        const QRect rect(anchor - image.width(), 20 - image.height() / 2, image.width(), image.height());
        if (!image.isNull())
            painter.drawImage(rect.topLeft(), image);
        window->setProperty((name + "rect").constData(), image.isNull() ? QRect() : rect);
        previousLeft = rect.left();
        lastLeft = rect.left();
    }

    painter.setPen(Qt::white);
    painter.drawLine(QPoint(contents.left() + 10, 25), QPoint(lastLeft - 4, 25));
    painter.setPen(QColor(0, 0, 0, 140));
    painter.drawLine(QPoint(contents.left() + 10, 24), QPoint(lastLeft - 4, 24));
}

} // namespace Backgrounds
