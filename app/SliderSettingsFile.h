#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A slider's range and step as the slider settings file keeps them.
struct SliderRange
{
    double min = 0;
    double max = 0;
    double step = 0;
};

// "sliderSettings.cfg": one group per slider identity (workbook, sheet,
// caption), so a slider put on a cell with the same caption again comes back
// with the range the user gave it. Each call opens and closes the file; a
// missing or unreadable file reads as an empty one.
class SliderSettingsFile
{
public:
    explicit SliderSettingsFile(const QString &path);

    // The caption's lines joined with "////", the identity's last part.
    static QString captionKey(const QString &caption);

    // Stores min, max and step as the shortest text that reads back as the
    // same double: "100" and "0.5", as typed.
    void save(const QString &workbook, const QString &sheet, const QString &caption, const SliderRange &range) const;

    // The stored range for a slider: the exact workbook, sheet and caption
    // (ignoring case), else the first group anywhere with that caption (a
    // renamed workbook). Values are read as doubles with the digits that were
    // stored (single-precision noise left by earlier versions is dropped);
    // missing or unreadable ones keep `current`'s.
    std::optional<SliderRange> load(const QString &workbook, const QString &sheet, const QString &caption,
                                    const SliderRange &current) const;

    // Whether a stored range applies to a slider whose cell holds `value`:
    // only a range that contains it does.
    static bool applies(const SliderRange &stored, double value);

private:
    QString m_path;
};
