#include "WatchExport.h"

#include "MinMaxMultiDimData.h"
#include "VRKExcelWatchScale.h"
#include "VRKExcelWatchView.h"

#include <QPainter>
#include <QStringList>

#include <algorithm>

namespace {

QString caption(const QString &text)
{
    return text.split(QLatin1Char('\n')).join(QStringLiteral(" / "));
}

QString number(double value)
{
    return QString::number(value, 'g', 6);
}

// The value of grid index i on an axis; a live history, whose axis has no
// span, counts its samples.
double axisValue(const Dimension &dimension, int i)
{
    if (dimension.first == dimension.second || dimension.count < 2)
        return i;
    return dimension.first + (dimension.second - dimension.first) * i / (dimension.count - 1);
}

} // namespace

QString WatchExport::samplesText(const VRKExcelWatchView &watch)
{
    const MinMaxMultiDimData *data = watch.data();
    const int depth = data->graphDepth();
    if (depth != 2 && depth != 4)
        return {};
    const QList<double> samples = data->extract(data->dataExtractionSettings().selection);
    if (samples.size() < 2)
        return {};
    const QString valueCaption = caption(watch.name());
    const Dimension xAxis = data->dimensions().value(data->freeAxis(0));
    QStringList lines;
    if (depth == 2) {
        lines << QStringLiteral("%1\t%2").arg(caption(xAxis.label), valueCaption);
        for (int i = 0; i < samples.size(); ++i)
            lines << QStringLiteral("%1\t%2").arg(number(axisValue(xAxis, i)), number(samples[i]));
        return lines.join(QLatin1Char('\n'));
    }
    const Dimension yAxis = data->dimensions().value(data->freeAxis(1));
    const int columns = std::max(1, xAxis.count);
    lines << QStringLiteral("%1\t%2\t%3").arg(caption(xAxis.label), caption(yAxis.label), valueCaption);
    for (int i = 0; i < samples.size(); ++i) {
        lines << QStringLiteral("%1\t%2\t%3")
                     .arg(number(axisValue(xAxis, i % columns)), number(axisValue(yAxis, i / columns)),
                          number(samples[i]));
    }
    return lines.join(QLatin1Char('\n'));
}

QImage WatchExport::picture(VRKExcelWatchView &watch)
{
    watch.hideButtons();
    // The pointer on the copy button has revealed the row's corner mark.
    const unsigned hidden = watch.displayFlags() & (VRKExcelWatchView::CrossHairBits | VRKExcelWatchView::RevealImage);
    watch.removeDisplayFlags(hidden);
    const int fastDrawRequests = watch.fastDrawRequests();
    for (int i = 0; i < fastDrawRequests; ++i)
        watch.setCanUseFastDraw(false);

    // A colour map means nothing without its legend.
    const MinMaxMultiDimData *data = watch.data();
    VRKExcelWatchScale *legend = data->graphDepth() == 4 && data->flat3D() ? watch.scale() : nullptr;
    QSize size = watch.size();
    if (legend)
        size = QSize(size.width() + legend->width(), std::max(size.height(), legend->height()));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::darkGray);
    watch.render(&image, QPoint(), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    if (legend)
        legend->render(&image, QPoint(watch.width(), 0), QRegion(), {});

    for (int i = 0; i < fastDrawRequests; ++i)
        watch.setCanUseFastDraw(true);
    watch.addDisplayFlags(hidden);
    return image;
}
