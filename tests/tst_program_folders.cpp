#include "ProgramFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// A fake prefix: <prefix>/bin for the program, <prefix>/share/tarvio-ostra for its files.
class TestProgramFolders : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void aPortableCopyFindsItsFilesBesideItself();
    void anInstalledCopyFindsThemUnderShare();
    void settingsStayBesideOnlyAPortableCopy();

private:
    void touch(const QString &path) { QFile file(path); QVERIFY(file.open(QIODevice::WriteOnly)); }
    std::unique_ptr<QTemporaryDir> m_prefix;
    QString m_bin;
};

void TestProgramFolders::init()
{
    m_prefix = std::make_unique<QTemporaryDir>();
    m_bin = m_prefix->path() + QStringLiteral("/bin");
    QVERIFY(QDir().mkpath(m_bin));
}

void TestProgramFolders::aPortableCopyFindsItsFilesBesideItself()
{
    const ProgramFolders program(m_bin);
    QVERIFY(!program.isInstalled());
    QVERIFY(program.findFile(QStringLiteral("help.pdf")).isEmpty());
    touch(m_bin + QStringLiteral("/help.pdf"));
    QCOMPARE(program.findFile(QStringLiteral("help.pdf")), m_bin + QStringLiteral("/help.pdf"));
}

void TestProgramFolders::anInstalledCopyFindsThemUnderShare()
{
    const QString data = m_prefix->path() + QStringLiteral("/share/tarvio-ostra");
    QVERIFY(QDir().mkpath(data));
    const ProgramFolders program(m_bin);
    QCOMPARE(program.installedDataFolder(), data);
    QVERIFY(program.findFile(QStringLiteral("help.pdf")).isEmpty());
    touch(data + QStringLiteral("/help.pdf"));
    QCOMPARE(program.findFile(QStringLiteral("help.pdf")), data + QStringLiteral("/help.pdf"));
    // A copy beside the program still wins, as in the build tree.
    touch(m_bin + QStringLiteral("/help.pdf"));
    QCOMPARE(program.findFile(QStringLiteral("help.pdf")), m_bin + QStringLiteral("/help.pdf"));
}

void TestProgramFolders::settingsStayBesideOnlyAPortableCopy()
{
    QVERIFY(ProgramFolders(m_bin).keepsSettingsBeside());
    QVERIFY(QDir().mkpath(m_prefix->path() + QStringLiteral("/share/tarvio-ostra")));
    // Installed: per user, even though this test may write to bin/.
    QVERIFY(!ProgramFolders(m_bin).keepsSettingsBeside());
}

QTEST_GUILESS_MAIN(TestProgramFolders)
#include "tst_program_folders.moc"
