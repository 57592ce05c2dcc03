#include "SliderSettingsFile.h"

#include <QLocale>
#include <QSettings>

#include <charconv>
#include <cmath>

namespace {

// QSettings folds runs of "/" in a group path, so a caption key of several
// lines is stored as nested groups: look it up the same way, part by part.
QStringList pathParts(const QString &path)
{
    return path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

// Enters the child groups that match `parts` ignoring case, one level per
// part, and says how many it entered (all of them when they all exist).
int enterIgnoringCase(QSettings &settings, const QStringList &parts)
{
    int entered = 0;
    for (const QString &part : parts) {
        QString found;
        for (const QString &group : settings.childGroups())
            if (group.compare(part, Qt::CaseInsensitive) == 0) {
                found = group;
                break;
            }
        if (found.isEmpty())
            break;
        settings.beginGroup(found);
        ++entered;
    }
    return entered;
}

// A value is stored as the shortest text that reads back as the same double:
// the digits the user typed ("100", "0.5"), in any locale.
QString storedText(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

// Earlier versions widened what the user typed from single precision before
// storing it (0.1 became 0.10000000149011612). A fraction that is exactly a
// single-precision number but needs more digits as a double is read as the
// digits that were typed.
double asTyped(double stored)
{
    const float single = float(stored);
    if (double(single) != stored || std::trunc(stored) == stored)
        return stored;
    char typed[32];
    const std::to_chars_result written = std::to_chars(typed, typed + sizeof typed, single); // shortest for a float
    const QString digits = QString::fromLatin1(typed, written.ptr - typed);
    return digits.size() < storedText(stored).size() ? digits.toDouble() : stored;
}

double storedValue(const QSettings &settings, const char *key, double current)
{
    bool ok = false;
    const double value = settings.value(QLatin1String(key)).toString().toDouble(&ok);
    return ok ? asTyped(value) : current;
}

SliderRange readRange(const QSettings &settings, const SliderRange &current)
{
    return SliderRange{storedValue(settings, "min", current.min), storedValue(settings, "max", current.max),
                       storedValue(settings, "step", current.step)};
}

} // namespace

SliderSettingsFile::SliderSettingsFile(const QString &path)
    : m_path(path)
{
}

QString SliderSettingsFile::captionKey(const QString &caption)
{
    return caption.split(QLatin1Char('\n'), Qt::KeepEmptyParts).join(QStringLiteral("////"));
}

void SliderSettingsFile::save(const QString &workbook, const QString &sheet, const QString &caption,
                              const SliderRange &range) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    const QString prefix = QStringLiteral("%1/%2/%3/").arg(workbook, sheet, captionKey(caption));
    settings.setValue(prefix + QStringLiteral("min"), storedText(range.min));
    settings.setValue(prefix + QStringLiteral("max"), storedText(range.max));
    settings.setValue(prefix + QStringLiteral("step"), storedText(range.step));
    settings.setValue(prefix + QStringLiteral("label"), caption);
}

std::optional<SliderRange> SliderSettingsFile::load(const QString &workbook, const QString &sheet, const QString &caption,
                                                    const SliderRange &current) const
{
    QSettings settings(m_path, QSettings::IniFormat);
    const QStringList key = pathParts(captionKey(caption));
    const QStringList exact = pathParts(workbook) + pathParts(sheet) + key;
    if (enterIgnoringCase(settings, exact) == exact.size() && settings.contains(QStringLiteral("min")))
        return readRange(settings, current);

    QSettings anywhere(m_path, QSettings::IniFormat);
    for (const QString &book : anywhere.childGroups()) {
        anywhere.beginGroup(book);
        for (const QString &page : anywhere.childGroups()) {
            anywhere.beginGroup(page);
            const int entered = enterIgnoringCase(anywhere, key);
            if (entered == key.size() && anywhere.contains(QStringLiteral("min")))
                return readRange(anywhere, current);
            for (int i = 0; i <= entered; ++i)
                anywhere.endGroup();
        }
        anywhere.endGroup();
    }
    return std::nullopt;
}

bool SliderSettingsFile::applies(const SliderRange &stored, double value)
{
    return stored.min <= value && value <= stored.max;
}
