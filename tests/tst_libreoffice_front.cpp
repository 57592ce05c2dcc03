#include "ActiveWindowHistory.h"
#include "CalcBackend.h"
#include "ExcelAttachment.h"
#include "embedded/EmbeddedBackend.h"

#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstring>
#include <memory>

// Which spreadsheet the user worked in last, as the window system tells:
// on a private X server, windows titled as Calc's and as ours take turns
// being active, the way a window manager marks them.
class TestLibreOfficeFront : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void theSpreadsheetActivatedLastIsTheOneInFront();

private:
    quint32 window(const char *title);
    void activate(quint32 window);
    quint32 atom(const char *name);

    QProcess server;
    xcb_connection_t *connection = nullptr;
    quint32 root = 0;
};

void TestLibreOfficeFront::initTestCase()
{
    // The server says which display it took.
    server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                                          QStringLiteral("tcp")});
    QVERIFY(server.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 60000);
    const QByteArray display = ':' + server.readLine().trimmed();
    qputenv("DISPLAY", display);
    connection = xcb_connect(display.constData(), nullptr);
    QVERIFY(!xcb_connection_has_error(connection));
    root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

void TestLibreOfficeFront::cleanupTestCase()
{
    if (connection)
        xcb_disconnect(connection);
    server.kill();
    server.waitForFinished();
}

quint32 TestLibreOfficeFront::atom(const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, quint16(strlen(name)), name), nullptr);
    const quint32 found = reply->atom;
    free(reply);
    return found;
}

quint32 TestLibreOfficeFront::window(const char *title)
{
    const quint32 id = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, id, root, 0, 0, 100, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      XCB_COPY_FROM_PARENT, 0, nullptr);
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8,
                        quint32(strlen(title)), title);
    xcb_flush(connection);
    return id;
}

void TestLibreOfficeFront::activate(quint32 window)
{
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, root, atom("_NET_ACTIVE_WINDOW"), XCB_ATOM_WINDOW, 32, 1,
                        &window);
    xcb_flush(connection);
}

void TestLibreOfficeFront::theSpreadsheetActivatedLastIsTheOneInFront()
{
    CalcBackend calc(QStringLiteral("tarvio-front-test-no-office"));
    AutomationBackend::add(&EmbeddedBackend::instance());
    AutomationBackend::add(&calc);
    const quint32 calcWindow = window("projectile.xlsx - LibreOffice Calc");
    const quint32 ourWorkbook = window("Book1 - Tarvio Workbook");
    const quint32 mainWindow = window("Tarvio Ostra");
    ActiveWindowHistory &history = ActiveWindowHistory::instance();

    activate(calcWindow);
    QTRY_COMPARE(history.activeTitle(), QStringLiteral("projectile.xlsx - LibreOffice Calc"));
    QCOMPARE(ExcelAttachment::lastActiveSpreadsheet(), &calc);
    QVERIFY(ExcelAttachment::isExcelForeground());
    QCOMPARE(calc.foregroundTitle(), QStringLiteral("LibreOffice Calc - projectile.xlsx"));

    // Pressing a button in the main window keeps Calc as the spreadsheet in use.
    activate(mainWindow);
    QTRY_COMPARE(history.titles().first(), QStringLiteral("Tarvio Ostra"));
    QCOMPARE(ExcelAttachment::lastActiveSpreadsheet(), &calc);
    QVERIFY(!ExcelAttachment::isExcelForeground());

    // Our workbook window, passed through on the way back, is the last one now.
    activate(ourWorkbook);
    QTRY_COMPARE(history.titles().first(), QStringLiteral("Book1 - Tarvio Workbook"));
    activate(mainWindow);
    QTRY_COMPARE(history.titles().first(), QStringLiteral("Tarvio Ostra"));
    QCOMPARE(ExcelAttachment::lastActiveSpreadsheet(), &EmbeddedBackend::instance());

    AutomationBackend::remove(&calc);
    AutomationBackend::remove(&EmbeddedBackend::instance());
}

QTEST_MAIN(TestLibreOfficeFront)
#include "tst_libreoffice_front.moc"
