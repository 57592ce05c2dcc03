#include "ProgramFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

ProgramFolders::ProgramFolders(const QString &programFolder)
    : m_programFolder(programFolder)
{
}

ProgramFolders ProgramFolders::ofThisProgram()
{
    return ProgramFolders(QCoreApplication::applicationDirPath());
}

QString ProgramFolders::installedDataFolder() const
{
    const QString folder = QDir::cleanPath(m_programFolder + QStringLiteral("/../share/tarvio-ostra"));
    return QFileInfo(folder).isDir() ? folder : QString();
}

QString ProgramFolders::findFile(const QString &name) const
{
    const QString beside = m_programFolder + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside))
        return beside;
    const QString data = installedDataFolder();
    if (!data.isEmpty() && QFileInfo::exists(data + QLatin1Char('/') + name))
        return data + QLatin1Char('/') + name;
    return QString();
}

bool ProgramFolders::keepsSettingsBeside() const
{
    return !isInstalled() && QFileInfo(m_programFolder).isWritable();
}
