#include "SettingsFiles.h"

#include "ProgramFolders.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

namespace {

QString &chosenFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString SettingsFiles::folder()
{
    if (!chosenFolder().isEmpty())
        return chosenFolder();
    const ProgramFolders program = ProgramFolders::ofThisProgram();
    if (program.keepsSettingsBeside())
        return program.programFolder();
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return config;
}

QString SettingsFiles::generalPath()
{
    return folder() + QStringLiteral("/settings.cfg");
}

QString SettingsFiles::sliderSettingsPath()
{
    return folder() + QStringLiteral("/sliderSettings.cfg");
}

bool SettingsFiles::termsOfUseApproved()
{
    QSettings settings(generalPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Tarvio Ostra"));
    settings.beginGroup(QStringLiteral("1.1.0"));
    // Only a real "true" counts: garbage in the file must not pass as acceptance.
    const QVariant value = settings.value(QStringLiteral("TermsOfUseApproved"), false);
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toString().compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

void SettingsFiles::setTermsOfUseApproved(bool approved)
{
    QSettings settings(generalPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Tarvio Ostra"));
    settings.beginGroup(QStringLiteral("1.1.0"));
    settings.setValue(QStringLiteral("TermsOfUseApproved"), approved);
}

void SettingsFiles::setFolder(const QString &folder)
{
    chosenFolder() = folder;
}

QByteArray SettingsFiles::windowGeometry(const QString &window)
{
    QSettings settings(generalPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Windows"));
    return settings.value(window).toByteArray();
}

void SettingsFiles::setWindowGeometry(const QString &window, const QByteArray &geometry)
{
    QSettings settings(generalPath(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Windows"));
    settings.setValue(window, geometry);
}
