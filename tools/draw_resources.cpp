// Draws the program's pictures: chrome and view buttons, axis overlays,
// the brushed-metal textures, the splash screen and the icons. One look for
// all of them: brushed metal, dark title bars, crisp one-pixel highlights and
// the green of the surfaces.
#include <QColor>
#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace {

const QColor accent(0x8b, 0xc8, 0x37);
const QColor accentDark(0x4f, 0x7a, 0x16);
const QColor glyphLight(0xd8, 0xdc, 0xe0);
const QColor barTop(0x3a, 0x3f, 0x45);
const QColor barBottom(0x1d, 0x20, 0x23);

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

bool save(const QImage &image, const QString &path, int quality = -1)
{
    if (!image.save(path, nullptr, quality)) {
        QTextStream(stderr) << "cannot write " << path << "\n";
        return false;
    }
    return true;
}

// Values of a seamless brushed texture: noise smeared along x (wrapping) and
// lightly along y (wrapping), so the tile repeats without seams both ways.
std::vector<double> brushedField(int width, int height, int streak, quint32 seed)
{
    QRandomGenerator random(seed);
    std::vector<double> noise(size_t(width) * height);
    for (double &v : noise)
        v = random.generateDouble() - 0.5;
    std::vector<double> smeared(noise.size());
    for (int y = 0; y < height; ++y) {
        const double rowShade = (random.generateDouble() - 0.5) * 0.6;
        for (int x = 0; x < width; ++x) {
            double sum = 0;
            for (int k = -streak; k <= streak; ++k)
                sum += noise[size_t(y) * width + (x + k + width) % width];
            smeared[size_t(y) * width + x] = sum / std::sqrt(2.0 * streak + 1) + rowShade;
        }
    }
    std::vector<double> field(noise.size());
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            field[size_t(y) * width + x] = 0.5 * smeared[size_t(y) * width + x]
                + 0.25 * smeared[size_t((y + 1) % height) * width + x]
                + 0.25 * smeared[size_t((y + height - 1) % height) * width + x];
    return field;
}

QImage brushedMetal(int width, int height, double base, double contrast, int streak, quint32 seed)
{
    const std::vector<double> field = brushedField(width, height, streak, seed);
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double v = std::clamp(base + contrast * field[size_t(y) * width + x], 0.0, 255.0);
            // A faint blue cast reads as steel rather than plain grey.
            image.setPixel(x, y, qRgb(int(v), int(std::min(255.0, v + 1)), int(std::min(255.0, v + 4))));
        }
    }
    return image;
}

// A smooth curve through point(t) for t from 0 to 1.
QPainterPath parametricPath(const std::function<QPointF(double)> &point, int segments = 50)
{
    QPainterPath path(point(0));
    for (int i = 1; i <= segments; ++i)
        path.lineTo(point(double(i) / segments));
    return path;
}

// ---- chrome buttons (22 x 18) -------------------------------------------

enum class ButtonState { Normal, Down, Hover };

using Glyph = std::function<void(QPainter &, const QRectF &, const QColor &)>;

QImage chromeButton(ButtonState state, const Glyph &glyph, const QColor &hoverGlyph)
{
    QImage image = transparentImage(22, 18);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF face(1.5, 1.5, 19, 15);
    QLinearGradient gradient(0, 1, 0, 17);
    switch (state) {
    case ButtonState::Normal:
        gradient.setColorAt(0, QColor(0x45, 0x4b, 0x52));
        gradient.setColorAt(1, QColor(0x24, 0x28, 0x2c));
        break;
    case ButtonState::Hover:
        gradient.setColorAt(0, QColor(0x5a, 0x62, 0x6b));
        gradient.setColorAt(1, QColor(0x33, 0x38, 0x3e));
        break;
    case ButtonState::Down:
        gradient.setColorAt(0, QColor(0x15, 0x17, 0x19));
        gradient.setColorAt(1, QColor(0x2a, 0x2e, 0x33));
        break;
    }
    p.setPen(QPen(QColor(0x0c, 0x0d, 0x0e), 1));
    p.setBrush(gradient);
    p.drawRoundedRect(face, 3, 3);
    // One-pixel highlight on the lit edge: the top when raised, the bottom when pressed.
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(255, 255, 255, state == ButtonState::Down ? 40 : 70));
    if (state == ButtonState::Down)
        p.drawLine(4, 16, 17, 16);
    else
        p.drawLine(4, 2, 17, 2);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF glyphArea = state == ButtonState::Down ? QRectF(6, 4, 11, 11) : QRectF(5.5, 3.5, 11, 11);
    glyph(p, glyphArea, state == ButtonState::Hover ? hoverGlyph : glyphLight);
    return image;
}

void closeGlyph(QPainter &p, const QRectF &r, const QColor &color)
{
    p.setPen(QPen(color, 1.8, Qt::SolidLine, Qt::RoundCap));
    const QRectF g = r.adjusted(2, 2, -2, -2);
    p.drawLine(g.topLeft(), g.bottomRight());
    p.drawLine(g.topRight(), g.bottomLeft());
}

void minimizeGlyph(QPainter &p, const QRectF &r, const QColor &color)
{
    p.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(r.left() + 2, r.bottom() - 2), QPointF(r.right() - 2, r.bottom() - 2));
}

void helpGlyph(QPainter &p, const QRectF &r, const QColor &color)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    font.setBold(true);
    p.setFont(font);
    p.setPen(color);
    p.drawText(r.adjusted(0, 0, 0, 1), Qt::AlignCenter, QStringLiteral("?"));
}

void powerGlyph(QPainter &p, const QRectF &r, const QColor &color)
{
    p.setPen(QPen(color, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF ring = r.adjusted(1.5, 2, -1.5, -1);
    p.drawArc(ring, 58 * 16, -296 * 16);
    p.drawLine(QPointF(r.center().x(), r.top() + 0.5), QPointF(r.center().x(), r.center().y() + 0.5));
}

bool writeChromeButtons(const QString &dir)
{
    struct Button
    {
        const char *name;
        Glyph glyph;
        QColor hover;
    };
    const std::vector<Button> buttons = {
        {"btn_close", closeGlyph, QColor(0xff, 0x8a, 0x80)},
        {"btn_minimize", minimizeGlyph, Qt::white},
        {"btn_minimize_on", minimizeGlyph, accent.lighter(130)},
        {"btn_help", helpGlyph, accent.lighter(130)},
        {"btn_on", powerGlyph, QColor(0xff, 0x8a, 0x80)},
    };
    bool ok = true;
    for (const Button &button : buttons) {
        const QString base = dir + QLatin1Char('/') + QLatin1String(button.name);
        // The "_on" sets glow in the accent colour when idle, to mark the main window.
        const bool lit = QLatin1String(button.name).endsWith(QLatin1String("_on"));
        const Glyph idle = [&button, lit](QPainter &p, const QRectF &r, const QColor &color) {
            button.glyph(p, r, lit ? accent : color);
        };
        ok &= save(chromeButton(ButtonState::Normal, idle, button.hover), base + QLatin1String(".png"));
        ok &= save(chromeButton(ButtonState::Down, idle, button.hover), base + QLatin1String("_down.png"));
        ok &= save(chromeButton(ButtonState::Hover, button.glyph, button.hover), base + QLatin1String("_hover.png"));
    }
    return ok;
}

// ---- slider view buttons (32 x 20) and the active handle glow (44 x 36) --

QImage metalButton(int width, int height, const std::function<void(QPainter &)> &glyph)
{
    QImage image = transparentImage(width, height);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QImage metal = brushedMetal(width, height, 196, 16, 6, 7);
    QPainterPath face;
    face.addRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 3, 3);
    p.setClipPath(face);
    p.drawImage(0, 0, metal);
    QLinearGradient shade(0, 0, 0, height);
    shade.setColorAt(0, QColor(255, 255, 255, 60));
    shade.setColorAt(0.5, QColor(255, 255, 255, 0));
    shade.setColorAt(1, QColor(0, 0, 0, 50));
    p.fillRect(image.rect(), shade);
    p.setClipping(false);
    p.setPen(QPen(QColor(0x50, 0x54, 0x58), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(face);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QColor(255, 255, 255, 150));
    p.drawLine(3, 1, width - 4, 1);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p);
    return image;
}

void scanGlyph(QPainter &p)
{
    // A curve swept left to right: "go through the full range".
    const QPainterPath curve = parametricPath(
        [](double t) { return QPointF(7 + 15 * t, 10 - 4 * std::sin(t * 3.14159 * 1.5)); }, 30);
    p.setPen(QPen(QColor(0x1e, 0x22, 0x26), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(curve);
    p.setPen(Qt::NoPen);
    p.setBrush(accentDark);
    QPolygonF arrow;
    arrow << QPointF(22, 6.5) << QPointF(27, 10) << QPointF(22, 13.5);
    p.drawPolygon(arrow);
}

void settingsGlyph(QPainter &p)
{
    // Three tracks with knobs: the slider's settings.
    p.setPen(QPen(QColor(0x30, 0x34, 0x38), 1.2));
    const double knobs[3] = {12, 19, 15};
    for (int i = 0; i < 3; ++i) {
        const double y = 5.5 + 4.5 * i;
        p.drawLine(QPointF(8, y), QPointF(24, y));
    }
    p.setPen(QPen(QColor(0x1e, 0x22, 0x26), 1));
    p.setBrush(accent);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QPointF(knobs[i], 5.5 + 4.5 * i), 2.2, 2.2);
}

QImage activeSliderBackground()
{
    QImage image = transparentImage(44, 36);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(22, 18, 22);
    QColor inner = accent;
    inner.setAlpha(150);
    QColor outer = accent;
    outer.setAlpha(0);
    glow.setColorAt(0, inner);
    glow.setColorAt(0.55, QColor(accent.red(), accent.green(), accent.blue(), 90));
    glow.setColorAt(1, outer);
    p.setPen(Qt::NoPen);
    p.setBrush(glow);
    p.drawRoundedRect(QRectF(0, 0, 44, 36), 10, 10);
    return image;
}

// ---- axis overlays (40 x 24): which slider drives which graph axis ------

QImage axisOverlay(bool threeAxes, QChar highlighted)
{
    QImage image = transparentImage(40, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x14, 0x16, 0x18, 170));
    p.drawRoundedRect(QRectF(0.5, 0.5, 39, 23), 5, 5);

    const QPointF origin(8, 18);
    struct Axis
    {
        QChar name;
        QPointF tip;
    };
    std::vector<Axis> axes{{QLatin1Char('x'), {22, 18}}, {QLatin1Char('z'), {8, 4}}};
    if (threeAxes)
        axes.push_back({QLatin1Char('y'), {14, 12}});
    // The highlighted axis goes on top.
    std::stable_partition(axes.begin(), axes.end(), [highlighted](const Axis &axis) { return axis.name != highlighted; });
    for (const Axis &axis : axes) {
        const bool on = axis.name == highlighted;
        p.setPen(QPen(on ? accent : QColor(0x90, 0x96, 0x9c), on ? 2.0 : 1.2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(origin, axis.tip);
    }
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    font.setBold(true);
    p.setFont(font);
    p.setPen(accent);
    p.drawText(QRectF(24, 2, 14, 20), Qt::AlignCenter, QString(highlighted));
    return image;
}

// ---- watch buttons (24 x 24), drawn on the watch's grey button cell -----

QImage watchButton(const std::function<void(QPainter &)> &glyph)
{
    QImage image = transparentImage(24, 24);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    glyph(p);
    return image;
}

// ---- graph-size pictures ------------------------------------------------

QImage graphPicture(int size)
{
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    p.setPen(QPen(QColor(0x16, 0x18, 0x1a), 1));
    p.setBrush(QColor(0x2c, 0x31, 0x36));
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s / 8, s / 8);
    const QPainterPath curve = parametricPath([s](double t) {
        return QPointF(s * (0.15 + 0.7 * t), s * (0.75 - 0.5 * (0.5 - 0.5 * std::cos(t * 3.14159))));
    }, 20);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accent, std::max(1.2, s / 12), Qt::SolidLine, Qt::RoundCap));
    p.drawPath(curve);
    return image;
}

// ---- the icon -----------------------------------------------------------

// A slider knob on its track and the curve it drives, on a steel tile.
QImage icon(int size)
{
    QImage image = transparentImage(size, size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double s = size;
    const double u = s / 16.0; // drawing unit: one pixel of the small icon

    QLinearGradient tile(0, 0, 0, s);
    tile.setColorAt(0, QColor(0x4a, 0x51, 0x58));
    tile.setColorAt(1, QColor(0x1a, 0x1d, 0x20));
    p.setPen(size >= 64 ? QPen(QColor(0x0c, 0x0d, 0x0e), 2 * u / 4) : Qt::NoPen);
    p.setBrush(tile);
    p.drawRoundedRect(QRectF(0.25 * u, 0.25 * u, s - 0.5 * u, s - 0.5 * u), 3 * u, 3 * u);
    if (size >= 64) {
        QImage metal = brushedMetal(size, size, 128, 40, 24, 11);
        QPainterPath clip;
        clip.addRoundedRect(QRectF(0.25 * u, 0.25 * u, s - 0.5 * u, s - 0.5 * u), 3 * u, 3 * u);
        p.save();
        p.setClipPath(clip);
        p.setOpacity(0.25);
        p.drawImage(0, 0, metal);
        p.restore();
        p.setPen(QPen(QColor(255, 255, 255, 60), u / 4));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(0.75 * u, 0.75 * u, s - 1.5 * u, s - 1.5 * u), 2.6 * u, 2.6 * u);
    }

    // Slider track and knob, left.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xc8, 0xcc, 0xd0));
    p.drawRoundedRect(QRectF(3.5 * u, 2.5 * u, 1.2 * u, 11 * u), 0.6 * u, 0.6 * u);
    p.setBrush(Qt::white);
    p.setPen(QPen(QColor(0x10, 0x12, 0x14), u * 0.5));
    p.drawRoundedRect(QRectF(2.2 * u, 5.6 * u, 3.8 * u, 2.6 * u), 0.8 * u, 0.8 * u);

    // The response curve, right, rising from the knob's height.
    const QPainterPath curve = parametricPath([u](double t) {
        const double x = 7.5 + 6.0 * t;
        const double y = 12.0 - 8.5 * (0.5 - 0.5 * std::cos(t * 3.14159)) + 1.2 * std::sin(t * 3.14159 * 2);
        return QPointF(x * u, y * u);
    });
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(accent, 1.8 * u, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(curve);
    return image;
}

// ---- the splash screen (480 x 270) --------------------------------------

QImage splashScreen()
{
    QImage image = transparentImage(480, 270);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath panel;
    panel.addRoundedRect(QRectF(0.5, 0.5, 479, 269), 14, 14);
    p.setClipPath(panel);
    p.drawImage(0, 0, brushedMetal(480, 270, 46, 14, 30, 5));
    QLinearGradient shade(0, 0, 0, 270);
    shade.setColorAt(0, QColor(255, 255, 255, 28));
    shade.setColorAt(0.35, QColor(255, 255, 255, 0));
    shade.setColorAt(1, QColor(0, 0, 0, 90));
    p.fillRect(image.rect(), shade);

    // A lit surface in the lower left: what a scan draws. The right part of
    // the top stays free for the icon and the texts the program draws there.
    struct Vertex
    {
        QPointF screen;
        double depth;
    };
    const int n = 24;
    auto heightAt = [](double a, double b) {
        return 0.32 * std::sin(a * 5.0) * std::cos(b * 3.5) + 0.18 * std::exp(-8 * ((a - 0.7) * (a - 0.7) + (b - 0.3) * (b - 0.3)));
    };
    const double yaw = -0.62, pitch = 0.5;
    auto rotate = [&](double x, double y, double z) {
        const double x1 = x * std::cos(yaw) - z * std::sin(yaw);
        const double z1 = x * std::sin(yaw) + z * std::cos(yaw);
        const double y2 = y * std::cos(pitch) - z1 * std::sin(pitch);
        const double z2 = y * std::sin(pitch) + z1 * std::cos(pitch);
        return std::array<double, 3>{x1, y2, z2};
    };
    auto vertex = [&](int i, int j) {
        const double a = double(i) / n, b = double(j) / n;
        const auto r = rotate(a - 0.5, heightAt(a, b), b - 0.5);
        return Vertex{QPointF(175 + 205 * r[0], 160 - 205 * r[1]), r[2]};
    };
    struct Cell
    {
        QPolygonF polygon;
        double depth;
        double light;
    };
    std::vector<Cell> cells;
    const double lx = -0.45, ly = 0.8, lz = -0.4;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const Vertex v0 = vertex(i, j), v1 = vertex(i + 1, j), v2 = vertex(i + 1, j + 1), v3 = vertex(i, j + 1);
            const double a = (i + 0.5) / n, b = (j + 0.5) / n, e = 1e-3;
            const double dha = (heightAt(a + e, b) - heightAt(a - e, b)) / (2 * e);
            const double dhb = (heightAt(a, b + e) - heightAt(a, b - e)) / (2 * e);
            const double norm = std::sqrt(dha * dha + 1 + dhb * dhb);
            const double lightLength = std::sqrt(lx * lx + ly * ly + lz * lz);
            const double diffuse = std::max(0.0, (-dha * lx + ly - dhb * lz) / norm / lightLength);
            cells.push_back({QPolygonF({v0.screen, v1.screen, v2.screen, v3.screen}),
                             (v0.depth + v1.depth + v2.depth + v3.depth) / 4, 0.3 + 0.9 * diffuse});
        }
    }
    std::sort(cells.begin(), cells.end(), [](const Cell &x, const Cell &y) { return x.depth > y.depth; });
    for (const Cell &cell : cells) {
        QColor face = QColor::fromRgbF(std::min(1.0, accent.redF() * cell.light), std::min(1.0, accent.greenF() * cell.light),
                                       std::min(1.0, accent.blueF() * cell.light));
        p.setPen(QPen(QColor(255, 255, 255, 40), 0.6));
        p.setBrush(face);
        p.drawPolygon(cell.polygon);
    }

    // A title bar strip like the program's windows, and the slogan.
    p.setClipping(false);
    p.setPen(QPen(QColor(0, 0, 0, 160), 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(panel);
    p.setPen(QPen(QColor(255, 255, 255, 55), 1));
    p.drawRoundedRect(QRectF(1.5, 1.5, 477, 267), 13, 13);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(0xb8, 0xbe, 0xc4));
    p.drawText(QRectF(240, 226, 220, 24), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Feel your spreadsheet move."));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 3) {
        QTextStream(stderr) << "usage: tarvio-draw-resources RESOURCES_DIR ICONS_DIR\n";
        return 1;
    }
    const QString resources = arguments.at(1);
    const QString icons = arguments.at(2);
    if (!QDir().mkpath(resources) || !QDir().mkpath(icons)) {
        QTextStream(stderr) << "cannot create the output folders\n";
        return 1;
    }
    auto in = [&resources](const char *name) { return resources + QLatin1Char('/') + QLatin1String(name); };

    bool ok = writeChromeButtons(resources);
    ok &= save(metalButton(32, 20, scanGlyph), in("btnScan1D.png"));
    ok &= save(metalButton(32, 20, settingsGlyph), in("btnSliderSettings.png"));
    ok &= save(activeSliderBackground(), in("ActiveSliderBackground.png"));
    ok &= save(axisOverlay(false, QLatin1Char('x')), in("slider_xz_x.png"));
    ok &= save(axisOverlay(false, QLatin1Char('z')), in("slider_xz_z.png"));
    ok &= save(axisOverlay(true, QLatin1Char('x')), in("slider_xyz_x.png"));
    ok &= save(axisOverlay(true, QLatin1Char('y')), in("slider_xyz_y.png"));
    ok &= save(axisOverlay(true, QLatin1Char('z')), in("slider_xyz_z.png"));
    ok &= save(watchButton([](QPainter &p) { closeGlyph(p, QRectF(5, 5, 14, 14), glyphLight); }),
               in("watchbuttonclose.png"));
    ok &= save(watchButton([](QPainter &p) {
                   p.setPen(Qt::NoPen);
                   p.setBrush(glyphLight);
                   for (int i = 0; i < 3; ++i)
                       p.drawEllipse(QPointF(6.5 + 5.5 * i, 12), 1.8, 1.8);
               }),
               in("watchbuttonbutton.png"));
    ok &= save(watchButton([](QPainter &p) {
                   // A chevron pointing up: fold the row away.
                   p.setPen(QPen(glyphLight, 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                   p.drawPolyline(QPolygonF({QPointF(6, 15), QPointF(12, 9), QPointF(18, 15)}));
               }),
               in("watchbuttonhide.png"));
    ok &= save(watchButton([](QPainter &p) {
                   // A bin: remove this watch.
                   p.setPen(QPen(glyphLight, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
                   p.setBrush(Qt::NoBrush);
                   p.drawLine(QPointF(6, 7.5), QPointF(18, 7.5));
                   p.drawLine(QPointF(10, 5), QPointF(14, 5));
                   p.drawPolyline(QPolygonF({QPointF(7.5, 8), QPointF(8.5, 19), QPointF(15.5, 19), QPointF(16.5, 8)}));
                   p.drawLine(QPointF(10.5, 10.5), QPointF(10.8, 16.5));
                   p.drawLine(QPointF(13.5, 10.5), QPointF(13.2, 16.5));
               }),
               in("watchbuttonremove.png"));
    ok &= save(watchButton([](QPainter &p) {
                   // A framed picture with a hill: copy the graph as an image.
                   p.setPen(QPen(glyphLight, 1.5));
                   p.setBrush(Qt::NoBrush);
                   p.drawRoundedRect(QRectF(4.5, 6.5, 15, 11), 1.5, 1.5);
                   p.setPen(Qt::NoPen);
                   p.setBrush(accent);
                   p.drawPolygon(QPolygonF({QPointF(6, 16), QPointF(10.5, 11), QPointF(13.5, 14), QPointF(15.5, 12),
                                            QPointF(18, 16)}));
               }),
               in("watchbuttonexportimage.png"));
    ok &= save(watchButton([](QPainter &p) {
                   // A small table: copy the samples as text.
                   p.setPen(QPen(glyphLight, 1.3));
                   p.setBrush(Qt::NoBrush);
                   p.drawRect(QRectF(5.5, 5.5, 13, 13));
                   for (double y : {9.8, 14.2})
                       p.drawLine(QPointF(5.5, y), QPointF(18.5, y));
                   p.drawLine(QPointF(10, 5.5), QPointF(10, 18.5));
               }),
               in("watchbuttonexportdata.png"));
    ok &= save(graphPicture(16), in("img_small_graph.png"));
    ok &= save(graphPicture(24), in("img_big_graph.png"));
    ok &= save(brushedMetal(256, 64, 204, 14, 10, 1), in("metal.jpg"), 92);
    ok &= save(brushedMetal(256, 256, 78, 20, 18, 3), in("stainless-steel.jpg"), 92);
    ok &= save(splashScreen(), in("SplashScreen.png"));
    ok &= save(icon(16), icons + QLatin1String("/IconTarvioOstra16.png"));
    ok &= save(icon(512), icons + QLatin1String("/IconTarvioOstra512.png"));
    return ok ? 0 : 1;
}
