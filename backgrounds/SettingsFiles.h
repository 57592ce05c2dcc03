#pragma once

#include <QByteArray>
#include <QString>

// Where the program keeps its two INI files: beside the executable when that
// folder is writable (a portable copy), else, and always for an installed
// program, in the user's configuration folder. The names, groups and keys are the same.
class SettingsFiles
{
public:
    static QString folder();
    static QString generalPath();      // ".../settings.cfg"
    static QString sliderSettingsPath(); // ".../sliderSettings.cfg"

    // TermsOfUseApproved under "Tarvio Ostra" / "1.1.0"; false when absent or unreadable.
    static bool termsOfUseApproved();
    static void setTermsOfUseApproved(bool approved);

    // Where a window was left (QWidget::saveGeometry), under "Windows" by its
    // name, so it comes back there; empty when none was stored.
    static QByteArray windowGeometry(const QString &window);
    static void setWindowGeometry(const QString &window, const QByteArray &geometry);

    // Puts both files in another folder (tests); an empty path restores the rule above.
    static void setFolder(const QString &folder);

    SettingsFiles() = delete;
};
