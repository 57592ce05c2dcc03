#pragma once

#include <QString>

// Where the program's own files are. A copy run from its build or unpacked
// folder keeps them beside the executable; an installed one (executable in
// <prefix>/bin) finds them in <prefix>/share/tarvio-ostra, wherever the prefix is.
class ProgramFolders
{
public:
    explicit ProgramFolders(const QString &programFolder);
    static ProgramFolders ofThisProgram(); // from QCoreApplication::applicationDirPath()

    // <prefix>/share/tarvio-ostra when it exists, else empty.
    QString installedDataFolder() const;
    bool isInstalled() const { return !installedDataFolder().isEmpty(); }

    // The file beside the executable, else the installed one; empty when neither exists.
    QString findFile(const QString &name) const;

    // Settings stay beside a portable copy that may write there; an installed
    // program keeps them per user (even when run by root, who may write to bin/).
    bool keepsSettingsBeside() const;

    QString programFolder() const { return m_programFolder; }

private:
    QString m_programFolder;
};
