#include "AutomationObject.h"

#include "embedded/EmbeddedBackend.h"

AutomationObject::AutomationObject(QObject *parent)
    : QObject(parent)
{
}

bool AutomationObject::isNull() const
{
    return true;
}

QString AutomationObject::typeName() const
{
    return QString();
}

QVariant AutomationObject::read(const QString &, const QVariantList &) const
{
    return QVariant();
}

bool AutomationObject::write(const QString &, const QVariant &)
{
    return false;
}

QVariant AutomationObject::call(const QString &, const QVariantList &)
{
    return QVariant();
}

AutomationObject *AutomationObject::query(const QString &, const QVariantList &)
{
    return new AutomationObject;
}

namespace {

AutomationBackend *&registered()
{
    static AutomationBackend *backend = nullptr;
    return backend;
}

} // namespace

AutomationBackend &AutomationBackend::current()
{
    if (!registered())
        return EmbeddedBackend::instance();
    return *registered();
}

void AutomationBackend::setCurrent(AutomationBackend *backend)
{
    registered() = backend;
}
