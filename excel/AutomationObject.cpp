#include "AutomationObject.h"

#include "PointEvaluation.h"

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

AutomationBackend *AutomationObject::exchanger() const
{
    return nullptr;
}

namespace {

AutomationBackend *&chosen()
{
    static AutomationBackend *backend = nullptr;
    return backend;
}

QList<AutomationBackend *> &registered()
{
    static QList<AutomationBackend *> backends;
    return backends;
}

} // namespace

AutomationBackend &AutomationBackend::current()
{
    if (chosen())
        return *chosen();
    if (!registered().isEmpty())
        return *registered().first();
    return EmbeddedBackend::instance();
}

void AutomationBackend::setCurrent(AutomationBackend *backend)
{
    chosen() = backend;
}

void AutomationBackend::add(AutomationBackend *backend)
{
    if (!registered().contains(backend))
        registered() << backend;
}

void AutomationBackend::remove(AutomationBackend *backend)
{
    registered().removeAll(backend);
    if (chosen() == backend)
        chosen() = nullptr;
}

QList<AutomationBackend *> AutomationBackend::all()
{
    if (registered().isEmpty())
        return {&current()};
    return registered();
}

QList<QVariant> AutomationBackend::exchange(const QList<AutomationObject *> &write, const QList<double> &values,
                                            const QList<AutomationObject *> &read)
{
    return exchangeEach(write, values, read);
}

std::unique_ptr<PointEvaluation> AutomationBackend::evaluatePointsInParallel(const QList<AutomationObject *> &,
                                                                            const QList<AutomationObject *> &)
{
    return nullptr;
}

QList<QVariant> AutomationBackend::exchangeEach(const QList<AutomationObject *> &write, const QList<double> &values,
                                                const QList<AutomationObject *> &read)
{
    for (qsizetype i = 0; i < write.size() && i < values.size(); ++i)
        write[i]->write(QStringLiteral("Value"), values[i]);
    QList<QVariant> results;
    results.reserve(read.size());
    for (AutomationObject *range : read)
        results << range->read(QStringLiteral("Value"));
    return results;
}

bool AutomationBackend::ownsWindowTitled(const QString &title) const
{
    return title.endsWith(QStringLiteral(" - ") + applicationName());
}

bool Automation::isMember(const QString &member, const char *name)
{
    return member.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

QString Automation::firstArgument(const QVariantList &arguments)
{
    return arguments.isEmpty() ? QString() : arguments.first().toString();
}

QString Automation::typeNameOf(DocumentPart part)
{
    switch (part) {
    case DocumentPart::Window:
        return QStringLiteral("Window");
    case DocumentPart::Workbook:
        return QStringLiteral("Workbook");
    case DocumentPart::Worksheets:
        return QStringLiteral("Worksheets");
    }
    return QString();
}
