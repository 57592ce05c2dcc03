#include "CachedImageLoader.h"

#include <QHash>
#include <QMutex>
#include <QMutexLocker>

QImage CachedImageLoader::image(const QString &path)
{
    static QMutex mutex;
    static QHash<QString, QImage> cache;

    QMutexLocker locker(&mutex);
    auto found = cache.constFind(path);
    if (found == cache.constEnd())
        found = cache.insert(path, QImage(path));
    return *found;
}
