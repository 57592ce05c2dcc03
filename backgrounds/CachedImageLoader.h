#pragma once

#include <QImage>
#include <QString>

// Process-wide image cache: an image is loaded from its resource path on the
// first request and kept for the life of the process, so painters may ask for
// it on every paint. A path that does not load is remembered as a null image.
class CachedImageLoader
{
public:
    // The same (implicitly shared) image for every request of one path.
    static QImage image(const QString &path);

    CachedImageLoader() = delete;
};
