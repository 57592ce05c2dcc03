#include "CachedImageLoader.h"

#include <QFile>
#include <QTest>

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void everyPictureLoadsAtItsSize_data();
    void everyPictureLoadsAtItsSize();
    void texturesTileWithoutSeams_data();
    void texturesTileWithoutSeams();
    void termsOfUseAreReadable();
    void loaderReturnsTheSameImageEveryTime();
    void missingImagesAreNull();
};

void TestResources::everyPictureLoadsAtItsSize_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    const QStringList chrome = {"btn_close", "btn_help", "btn_minimize_on", "btn_on", "btn_minimize"};
    for (const QString &button : chrome) {
        for (const char *suffix : {".png", "_down.png", "_hover.png"}) {
            const QString path = QStringLiteral(":resources/") + button + QLatin1String(suffix);
            QTest::newRow(qPrintable(path)) << path << QSize(22, 18);
        }
    }
    const QList<QPair<const char *, QSize>> pictures = {
        {":resources/watchbuttonclose.png", {24, 24}}, {":resources/watchbuttonbutton.png", {24, 24}},
        {":resources/btnScan1D.png", {32, 20}},        {":resources/btnSliderSettings.png", {32, 20}},
        {":resources/ActiveSliderBackground.png", {44, 36}},
        {":resources/slider_xz_x.png", {40, 24}},      {":resources/slider_xz_z.png", {40, 24}},
        {":resources/slider_xyz_x.png", {40, 24}},     {":resources/slider_xyz_y.png", {40, 24}},
        {":resources/slider_xyz_z.png", {40, 24}},     {":resources/img_small_graph.png", {16, 16}},
        {":/resources/img_big_graph.png", {24, 24}},   {":resources/metal.jpg", {256, 64}},
        {":resources/stainless-steel.jpg", {256, 256}}, {":resources/SplashScreen.png", {480, 270}},
        {":icons/IconTarvioOstra16.png", {16, 16}},    {":icons/IconTarvioOstra512.png", {512, 512}},
    };
    for (const auto &picture : pictures)
        QTest::newRow(picture.first) << QString::fromLatin1(picture.first) << picture.second;
}

void TestResources::everyPictureLoadsAtItsSize()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    const QImage image = CachedImageLoader::image(path);
    QVERIFY2(!image.isNull(), qPrintable(path));
    QCOMPARE(image.size(), size);
}

void TestResources::texturesTileWithoutSeams_data()
{
    QTest::addColumn<QString>("path");
    QTest::newRow("metal") << ":resources/metal.jpg";
    QTest::newRow("steel") << ":resources/stainless-steel.jpg";
}

void TestResources::texturesTileWithoutSeams()
{
    // Across the wrap, neighbouring rows and columns differ no more than inside.
    QFETCH(QString, path);
    const QImage image = CachedImageLoader::image(path).convertToFormat(QImage::Format_Grayscale8);
    const auto rowDifference = [&image](int a, int b) {
        double sum = 0;
        for (int x = 0; x < image.width(); ++x)
            sum += std::abs(qGray(image.pixel(x, a)) - qGray(image.pixel(x, b)));
        return sum / image.width();
    };
    const auto columnDifference = [&image](int a, int b) {
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
            sum += std::abs(qGray(image.pixel(a, y)) - qGray(image.pixel(b, y)));
        return sum / image.height();
    };
    double insideRows = 0;
    for (int y = 1; y < image.height(); ++y)
        insideRows = std::max(insideRows, rowDifference(y - 1, y));
    double insideColumns = 0;
    for (int x = 1; x < image.width(); ++x)
        insideColumns = std::max(insideColumns, columnDifference(x - 1, x));
    QVERIFY(rowDifference(image.height() - 1, 0) <= insideRows * 1.2 + 1);
    QVERIFY(columnDifference(image.width() - 1, 0) <= insideColumns * 1.2 + 1);
}

void TestResources::termsOfUseAreReadable()
{
    QFile terms(QStringLiteral(":/resources/TermsOfUse.txt"));
    QVERIFY(terms.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(terms.readAll());
    QVERIFY(text.contains(QLatin1String("Tarvio Ostra")));
    QVERIFY(text.contains(QLatin1String("I Have Read and I Accept")));
    QVERIFY(text.contains(QLatin1String("I Decline")));
}

void TestResources::loaderReturnsTheSameImageEveryTime()
{
    const QImage first = CachedImageLoader::image(QStringLiteral(":resources/metal.jpg"));
    const QImage second = CachedImageLoader::image(QStringLiteral(":resources/metal.jpg"));
    QCOMPARE(first.cacheKey(), second.cacheKey());
}

void TestResources::missingImagesAreNull()
{
    QVERIFY(CachedImageLoader::image(QStringLiteral(":resources/dummy")).isNull());
    QVERIFY(CachedImageLoader::image(QStringLiteral(":resources/dummy")).isNull());
    QVERIFY(CachedImageLoader::image(QString()).isNull());
}

QTEST_GUILESS_MAIN(TestResources)
#include "tst_resources.moc"
