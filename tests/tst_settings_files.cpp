#include "SettingsFiles.h"
#include "SliderSettingsFile.h"
#include "SliderSettingsForm.h"
#include "TermsOfUseForm.h"
#include "VRKExcelCellSliderView.h"
#include "VRKSlider.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>

namespace {

// The shortest text that reads back as the same double: equal texts mean
// equal doubles, to the last bit (QCOMPARE on doubles forgives small errors).
QString digits(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

} // namespace

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
    void valuesAreStoredWithTheDigitsTyped();
    void filesWrittenBeforeStillLoad();
    void whatTheDialogAppliesIsStoredAsTyped();
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
    // Both answers read whole, with room round their words.
    for (const char *name : {"pushButton_accept", "pushButton_reject"}) {
        const QPushButton *answer = form.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY2(answer->width() >= answer->fontMetrics().horizontalAdvance(answer->text()) + 16, name);
    }
    form.findChild<QPushButton *>(QStringLiteral("pushButton_accept"))->click();
    QVERIFY(SettingsFiles::termsOfUseApproved());
    QVERIFY(!form.isVisible());

    QSignalSpy declined(&form, &TermsOfUseForm::declined);
    form.show();
    form.findChild<QPushButton *>(QStringLiteral("pushButton_reject"))->click();
    QVERIFY(!SettingsFiles::termsOfUseApproved());
    QVERIFY(mainWindow.property("stopscan").toBool());
    QVERIFY(form.findChild<QPushButton *>(QStringLiteral("pushButton_accept"))->isHidden());
    QCOMPARE(declined.count(), 1);
    // Asked again (the close was cancelled), both answers are there.
    form.ask();
    QVERIFY(form.isVisible());
    QVERIFY(!form.findChild<QPushButton *>(QStringLiteral("pushButton_accept"))->isHidden());
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

void TestSettingsFiles::valuesAreStoredWithTheDigitsTyped()
{
    SliderSettingsFile file(sliderFile());
    file.save(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {0.1, 100, 0.5});
    QFile stored(sliderFile());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(stored.readAll());
    for (const char *line : {"min=0.1\n", "max=100\n", "step=0.5\n"})
        QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
    QVERIFY(!text.contains(QStringLiteral("0000")));

    const auto loaded = file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {});
    QVERIFY(loaded);
    QCOMPARE(digits(loaded->min), QStringLiteral("0.1"));
    QCOMPARE(digits(loaded->max), QStringLiteral("100"));
    QCOMPARE(digits(loaded->step), QStringLiteral("0.5"));
    // A value that does not read as a number keeps the current one, as it is.
    QSettings(sliderFile(), QSettings::IniFormat).setValue(QStringLiteral("a.xlsx/S/Rate/max"), QStringLiteral("lots"));
    QCOMPARE(digits(file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {0, 0.3, 0})->max),
             QStringLiteral("0.3"));
}

void TestSettingsFiles::filesWrittenBeforeStillLoad()
{
    // Earlier versions stored doubles that had passed through single precision.
    {
        QSettings old(sliderFile(), QSettings::IniFormat);
        old.setValue(QStringLiteral("a.xlsx/S/Rate/min"), 3 * double(0.1f));
        old.setValue(QStringLiteral("a.xlsx/S/Rate/max"), 1000 * double(0.1f));
        old.setValue(QStringLiteral("a.xlsx/S/Rate/step"), double(0.1f));
        old.setValue(QStringLiteral("a.xlsx/S/Rate/label"), QStringLiteral("Rate"));
        old.setValue(QStringLiteral("b.xlsx/S/Big/min"), double(1234567890.0f));
        old.setValue(QStringLiteral("b.xlsx/S/Big/max"), 0.375);
        old.setValue(QStringLiteral("b.xlsx/S/Big/step"), 0.1);
    }
    QFile stored(sliderFile());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    QVERIFY(stored.readAll().contains("max=100.00000149011612"));
    SliderSettingsFile file(sliderFile());
    const auto loaded = file.load(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"), {});
    QVERIFY(loaded);
    // The step was a single-precision 0.1 exactly: it reads as the 0.1 typed.
    QCOMPARE(digits(loaded->step), QStringLiteral("0.1"));
    // Sums of such steps are no single-precision numbers; they load as stored
    // and the slider puts them back on its grid.
    QCOMPARE(digits(loaded->min), QStringLiteral("0.30000000447034836"));
    QCOMPARE(digits(loaded->max), QStringLiteral("100.00000149011612"));
    // Whole numbers and values that need no more digits stay exactly as stored.
    const auto big = file.load(QStringLiteral("b.xlsx"), QStringLiteral("S"), QStringLiteral("Big"), {});
    QVERIFY(big);
    QCOMPARE(digits(big->min), QStringLiteral("1234567936"));
    QCOMPARE(digits(big->max), QStringLiteral("0.375"));
    QCOMPARE(digits(big->step), QStringLiteral("0.1"));
}

void TestSettingsFiles::whatTheDialogAppliesIsStoredAsTyped()
{
    VRKExcelCellSliderView view;
    SliderSettingsForm form;
    form.editSlider(&view);
    auto enter = [&form](const char *field, const char *text) {
        auto *edit = form.findChild<QLineEdit *>(QLatin1String(field));
        edit->setText(QLatin1String(text));
        emit edit->editingFinished();
    };
    enter("lineEdit_min", "0");
    enter("lineEdit_max", "100");
    enter("lineEdit_step", "0.1");
    form.findChild<QPushButton *>(QStringLiteral("pushButton_OK"))->click();
    const VRKSlider *slider = view.slider();
    SliderSettingsFile(sliderFile())
        .save(QStringLiteral("a.xlsx"), QStringLiteral("S"), QStringLiteral("Rate"),
              {slider->minValue(), slider->maxValue(), slider->stepValue()});
    QFile stored(sliderFile());
    QVERIFY(stored.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(stored.readAll());
    for (const char *line : {"min=0\n", "max=100\n", "step=0.1\n"})
        QVERIFY2(text.contains(QLatin1String(line)), qPrintable(text));
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
