#include "CellDelegate.h"

#include "SheetModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyle>

using namespace workbook;

namespace {

QPen penOf(const BorderSide &side)
{
    QPen pen(side.colour == noColour ? QColor(Qt::black) : QColor::fromRgb(static_cast<QRgb>(side.colour) | 0xFF000000u));
    switch (side.line) {
    case BorderLine::Medium: pen.setWidth(2); break;
    case BorderLine::Thick:
    case BorderLine::Double: pen.setWidth(3); break;
    case BorderLine::Dashed: pen.setStyle(Qt::DashLine); break;
    case BorderLine::Dotted:
    case BorderLine::Hair: pen.setStyle(Qt::DotLine); break;
    default: break;
    }
    return pen;
}

} // namespace

CellDelegate::CellDelegate(SheetModel *model, QObject *parent)
    : QStyledItemDelegate(parent), m_model(model)
{
}

void CellDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (m_model->cellStyle(index.row(), index.column()).wrap)
        option->features |= QStyleOptionViewItem::WrapText;
    if (!m_model->holdsNumber(index.row(), index.column())) {
        // Text runs on into the empty cells beside it, which draw its rest.
        option->textElideMode = Qt::ElideNone;
        return;
    }
    // The room the view leaves for text; General numbers are shortened to it
    // in digits of the cell's font, and what still does not fit is "#" across it.
    const QStyle *style = option->widget ? option->widget->style() : QApplication::style();
    const int room = option->rect.width() - 2 * (style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1);
    const QFontMetrics &metrics = option->fontMetrics;
    option->textElideMode = Qt::ElideNone;
    if (metrics.horizontalAdvance(option->text) <= room)
        return;
    const int digits = std::max(1, room / std::max(1, metrics.horizontalAdvance(QLatin1Char('0'))));
    option->text = m_model->shownText(index.row(), index.column(), digits);
    if (option->text.startsWith(QLatin1Char('#')) || metrics.horizontalAdvance(option->text) > room)
        option->text = QString(std::max(1, room / std::max(1, metrics.horizontalAdvance(QLatin1Char('#')))), QLatin1Char('#'));
}

QModelIndex CellDelegate::overflowingInto(const QModelIndex &index) const
{
    // The nearest filled cell to the left, if it holds left-aligned text.
    constexpr int farthest = 16;
    for (int column = index.column() - 1; column >= std::max(0, index.column() - farthest); --column) {
        const QModelIndex left = index.siblingAtColumn(column);
        if (left.data().toString().isEmpty())
            continue;
        const CellStyle &style = m_model->cellStyle(left.row(), column);
        const bool leftAligned = style.alignment == HorizontalAlignment::General || style.alignment == HorizontalAlignment::Left;
        return !m_model->holdsNumber(left.row(), column) && leftAligned && !style.wrap ? left : QModelIndex();
    }
    return {};
}

void CellDelegate::paintOverflow(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    const QModelIndex origin = view && index.data().toString().isEmpty() ? overflowingInto(index) : QModelIndex();
    if (!origin.isValid())
        return;
    QStyleOptionViewItem text = option;
    text.rect = view->visualRect(origin);
    initStyleOption(&text, origin);
    const QStyle *style = view->style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &text, view);
    if (text.fontMetrics.horizontalAdvance(text.text) <= textRect.width())
        return;
    // The origin's text, laid out as the origin lays it out, seen through this cell.
    painter->save();
    painter->setClipRect(option.rect);
    painter->setFont(text.font);
    painter->setPen(text.palette.color(QPalette::Text));
    if (const QVariant foreground = origin.data(Qt::ForegroundRole); foreground.canConvert<QBrush>())
        painter->setPen(foreground.value<QBrush>().color());
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
    const QRect run(textRect.left() + margin, textRect.top(), option.rect.right() - textRect.left(), textRect.height());
    painter->drawText(run, int(text.displayAlignment & Qt::AlignVertical_Mask) | Qt::AlignLeft | Qt::TextSingleLine, text.text);
    painter->restore();
}

void CellDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    paintOverflow(painter, option, index);
    const CellStyle &style = m_model->cellStyle(index.row(), index.column());
    const QRect r = option.rect;
    const std::pair<const BorderSide &, QLine> sides[] = {
        {style.left, QLine(r.topLeft(), r.bottomLeft())},
        {style.right, QLine(r.topRight(), r.bottomRight())},
        {style.top, QLine(r.topLeft(), r.topRight())},
        {style.bottom, QLine(r.bottomLeft(), r.bottomRight())},
    };
    for (const auto &[side, line] : sides) {
        if (side.line == BorderLine::None)
            continue;
        painter->save();
        painter->setPen(penOf(side));
        painter->drawLine(line);
        painter->restore();
    }
}
