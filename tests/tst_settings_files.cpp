#include "SettingsFiles.h"
#include "SliderSettingsFile.h"
#include "TermsOfUseForm.h"

#include <QApplication>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

class TestSettingsFiles : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup() { SettingsFiles::setFolder(QString()); }
    void termsApprovalLivesUnderProductAndVersion();
    void acceptingTheTermsIsRememberedDecliningIsToo();
    void slidersAreStoredByWorkbookSheetAndCaption();
    void exactMatchIgnoresCase();
    void aRenamedWorkbookFindsItsSliderByCaption();
    void captionsOfSeveralLinesComeBack();
    void valuesPassThroughSinglePrecision();
    void aStoredRangeAppliesOnlyAroundTheCellsValue();
    void brokenFilesReadAsEmpty();

private:
    QString sliderFile() const { return m_dir->filePath(QStringLiteral("sliderSettings.cfg")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestSettingsFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    SettingsFiles::setFolder(m_dir->path());
}

void TestSettingsFiles::termsApprovalLivesUnderProductAndVersion()
{
    QCOMPARE(SettingsFiles::generalPath(), m_dir->filePath(QStringLiteral("settings.cfg")));
    QCOMPARE(SettingsFiles::sliderSettingsPath(), sliderFile());
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    SettingsFiles::setTermsOfUseApproved(true);
    QSettings raw(SettingsFiles::generalPath(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("Tarvio Ostra/1.1.0/TermsOfUseApproved")).toBool(), true);
    QVERIFY(SettingsFiles::termsOfUseApproved());
}

void TestSettingsFiles::acceptingTheTermsIsRememberedDecliningIsToo()
{
    TermsOfUseForm form;
    QWidget mainWindow;
    form.setMainWindow(&mainWindow);
    QVERIFY(form.findChild<QTextEdit *>(QStringLiteral("textEdit_termsOfUse"))->toPlainText().contains(QStringLiteral("Terms of Use")));
    QCOMPARE(form.size(), QSize(439, 300));
    QVERIFY(form.windowModality() == Qt::ApplicationModal);
    form.show();
    form.findChild<QPushButton *>(QStringLiteral("pushButton_accept"))->click();
    QVERIFY(SettingsFiles::termsOfUseApproved());
    QVERIFY(!form.isVisible());

    QWidget survivor;
    survivor.show();
    form.show();
    form.findChild<QPushButton *>(QStringLiteral("pushButton_reject"))->click();
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    QVERIFY(mainWindow.property("stopscan").toBool());
    QVERIFY(form.findChild<QPushButton *>(QStringLiteral("pushButton_accept"))->isHidden());
    QCoreApplication::processEvents(); // the windows are asked to close
    QVERIFY(!survivor.isVisible());
}

void TestSettingsFiles::slidersAreStoredByWorkbookSheetAndCaption()
{
    SliderSettingsFile file(sliderFile());
    QCOMPARE(SliderSettingsFile::captionKey(QStringLiteral("Speed\nm/s\n")), QStringLiteral("Speed////m/s////"));
    file.save(QStringLiteral("model.xlsx"), QStringLiteral("Inputs"), QStringLiteral("Speed"), {0, 50, 0.5});
    QSettings raw(sliderFile(), QSettings::IniFormat);
    QCOMPARE(raw.value(QStringLiteral("model.xlsx/Inputs/Speed/max")).toDouble(), 50.0);
    QCOMPARE(raw.value(QStringLiteral("model.xlsx/Inputs/Speed/label")).toString(), QStringLiteral("Speed"));
    const auto loaded = file.load(QStringLiteral("model.xlsx"), QStringLiteral("Inputs"), QStringLiteral("Speed"), {1, 2, 3});
    QVERIFY(loaded);
    QCOMPARE(loaded->max, 50.0);
    QCOMPARE(loaded->step, 0.5);
    QVERIFY(!file.load(QStringLiteral("model.xlsx"), QStringLiteral("Inputs"), QStringLiteral("Angle"), {1, 2, 3}));
}

void TestSettingsFiles::exactMatchIgnoresCase()
{
    SliderSettingsFile file(sliderFile());
    file.save(QStringLiteral("Model.xlsx"), QStringLiteral("Inputs"), QStringLiteral("speed"), {0, 10, 1});
    file.save(QStringLiteral("Other.xlsx"), QStringLiteral("Inputs"), QStringLiteral("SPEED"), {0, 99, 1});
    const auto loaded = file.load(QStringLiteral("MODEL.XLSX"), QStringLiteral("inputs"), QStringLiteral("SPEED"), {});
    QVERIFY(loaded);
    QCOMPARE(loaded->max, 10.0);
}

void TestSettingsFiles::aRenamedWorkbookFindsItsSliderByCaption()
{
    SliderSettingsFile file(sliderFile());
    file.save(QStringLiteral("draft.xlsx"), QStringLiteral("Model"), QStringLiteral("Angle"), {0, 90, 5});
    const auto loaded = file.load(QStringLiteral("final.xlsx"), QStringLiteral("Sheet1"), QStringLiteral("angle"), {});
    QVERIFY(loaded);
    QCOMPARE(loaded->max, 90.0);
    QCOMPARE(loaded->step, 5.0);
}

void TestSettingsFiles::captionsOfSeveralLinesComeBack()
{
    SliderSettingsFile file(sliderFile());
    file.save(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Speed\nm/s"), {0, 40, 2});
    const auto exact = file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Speed\nm/s"), {});
    QVERIFY(exact);
    QCOMPARE(exact->max, 40.0);
    const auto renamed = file.load(QStringLiteral("b.xlsx"), QStringLiteral("T"), QStringLiteral("SPEED\nM/S"), {});
    QVERIFY(renamed);
    QVERIFY(!file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Speed"), {}));
}

void TestSettingsFiles::valuesPassThroughSinglePrecision()
{
    SliderSettingsFile file(sliderFile());
    file.save(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {0.1, 0.7, 0.01});
    const auto loaded = file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {});
    QVERIFY(loaded);
    QCOMPARE(loaded->min, double(0.1f));
    QVERIFY(loaded->min != 0.1);
    QCOMPARE(loaded->step, double(0.01f));
    // A value that does not read as a number keeps the current one (through single precision too).
    QSettings(sliderFile(), QSettings::IniFormat).setValue(QStringLiteral("a.xlsx/S/Rate/max"), QStringLiteral("lots"));
    QCOMPARE(file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {0, 0.3, 0})->max, double(0.3f));
}

void TestSettingsFiles::aStoredRangeAppliesOnlyAroundTheCellsValue()
{
    QVERIFY(SliderSettingsFile::applies({0, 10, 1}, 0));
    QVERIFY(SliderSettingsFile::applies({0, 10, 1}, 10));
    QVERIFY(!SliderSettingsFile::applies({0, 10, 1}, 10.5));
    QVERIFY(!SliderSettingsFile::applies({0, 10, 1}, std::nan("")));
}

void TestSettingsFiles::brokenFilesReadAsEmpty()
{
    QFile garbage(sliderFile());
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write("\x01\x02[[[[=\n]]]=\xff\xfe\nmin=oops\n");
    garbage.close();
    SliderSettingsFile file(sliderFile());
    QVERIFY(!file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {}));
    QFile general(SettingsFiles::generalPath());
    QVERIFY(general.open(QIODevice::WriteOnly));
    general.write("[Tarvio Ostra]\n1.1.0\\TermsOfUseApproved=maybe\n");
    general.close();
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    // A "folder" below a plain file cannot exist, not even for root.
    SettingsFiles::setFolder(sliderFile() + QStringLiteral("/deeper"));
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    SettingsFiles::setTermsOfUseApproved(true); // cannot be written: not reported, nothing breaks
    QVERIFY(!QFile::exists(sliderFile() + QStringLiteral("/deeper/settings.cfg")));
}

QTEST_MAIN(TestSettingsFiles)
#include "tst_settings_files.moc"
