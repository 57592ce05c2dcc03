#include "OfficeConnection.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QThread>

#include <com/sun/star/bridge/BridgeFactory.hpp>
#include <com/sun/star/connection/Connector.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XEventListener.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>

#include <csignal>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcCalc, "tarvio.calc", QtWarningMsg)

using namespace com::sun::star;
using uno::Reference;
using uno::UNO_QUERY;

QString fromOUString(const rtl::OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

rtl::OUString toOUString(const QString &text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), text.size());
}

// ---- CallWatchdog

CallWatchdog::CallWatchdog(std::function<void()> expire)
    : m_expire(std::move(expire)), m_thread([this] { watch(); })
{
}

CallWatchdog::~CallWatchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

void CallWatchdog::arm(int milliseconds)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_armed = true;
        m_fired = false;
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    }
    m_wake.notify_all();
}

bool CallWatchdog::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
    return m_fired;
}

void CallWatchdog::watch()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stop) {
        if (!m_armed) {
            m_wake.wait(lock);
            continue;
        }
        if (m_wake.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed
            && std::chrono::steady_clock::now() >= m_deadline) {
            m_fired = true;
            m_armed = false;
            lock.unlock();
            m_expire();
            lock.lock();
        }
    }
}

// ---- bootstrapping

namespace {

// The local end of every bridge, made once per process.
Reference<uno::XComponentContext> localContext()
{
    static Reference<uno::XComponentContext> context = [] {
        // The bridge writes to a pipe the office may close at any moment (a quit,
        // a crash, a restart after making its profile): that must be an error
        // on the call, not a signal that ends the program.
        signal(SIGPIPE, SIG_IGN);
        // Without it bootstrapping crashes instead of throwing.
        setenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" TARVIO_LIBREOFFICE_PROGRAM "/fundamentalrc", 0);
        try {
            return cppu::defaultBootstrap_InitialComponentContext();
        } catch (const uno::Exception &e) {
            qCWarning(lcCalc) << "UNO bootstrap failed:" << fromOUString(e.Message);
            return Reference<uno::XComponentContext>();
        }
    }();
    return context;
}

// Tells the connection when the bridge goes, from whatever thread the bridge uses.
class BridgeListener : public cppu::WeakImplHelper1<lang::XEventListener>
{
public:
    BridgeListener(OfficeConnection *connection, std::atomic<bool> *gone) : m_connection(connection), m_gone(gone) {}
    void SAL_CALL disposing(const lang::EventObject &) override
    {
        *m_gone = true;
        // The GUI thread learns it even when no call is under way.
        QMetaObject::invokeMethod(m_connection, "checkGone", Qt::QueuedConnection);
    }

private:
    OfficeConnection *m_connection;
    std::atomic<bool> *m_gone;
};

} // namespace

// ---- OfficeConnection

OfficeConnection::OfficeConnection(const QString &pipeName, const QStringList &officeArguments, QObject *parent)
    : QObject(parent), m_pipeName(pipeName), m_officeArguments(officeArguments), m_watchdog([this] { disposeBridge(); })
{
}

OfficeConnection::~OfficeConnection()
{
    m_desktop.clear();
    disposeBridge();
}

void OfficeConnection::disposeBridge()
{
    Reference<lang::XComponent> bridge;
    {
        std::lock_guard<std::mutex> lock(m_bridgeMutex);
        bridge.set(m_bridge, UNO_QUERY);
        m_bridge.clear();
    }
    if (!bridge.is())
        return;
    try {
        bridge->dispose();
    } catch (const uno::Exception &) {
        // Already gone: nothing to let go.
    }
}

bool OfficeConnection::connectOnce()
{
    const Reference<uno::XComponentContext> local = localContext();
    if (!local.is())
        return false;
    Reference<bridge::XBridge> bridge;
    try {
        const Reference<connection::XConnection> pipe =
            connection::Connector::create(local)->connect(toOUString(QStringLiteral("pipe,name=") + m_pipeName));
        bridge = bridge::BridgeFactory::create(local)->createBridge(rtl::OUString(), "urp", pipe, nullptr);
    } catch (const uno::Exception &) {
        return false; // nobody listens
    }
    m_gone = false;
    m_hung = false;
    {
        std::lock_guard<std::mutex> lock(m_bridgeMutex);
        m_bridge = bridge;
    }
    Reference<lang::XComponent>(bridge, UNO_QUERY)->addEventListener(new BridgeListener(this, &m_gone));
    // The desktop comes from the office; it may hang like any other call.
    Reference<uno::XComponentContext> remote;
    m_watchdog.arm(m_timeout);
    try {
        remote.set(bridge->getInstance("StarOffice.ComponentContext"), UNO_QUERY);
        if (remote.is())
            m_desktop = frame::Desktop::create(remote);
    } catch (const uno::Exception &e) {
        qCInfo(lcCalc) << "The office did not hand out its desktop:" << fromOUString(e.Message);
    }
    m_watchdog.disarm();
    if (!m_desktop.is())
        disposeBridge();
    return m_desktop.is();
}

bool OfficeConnection::open(bool start, const QStringList &documentArguments)
{
    if (isOpen() && !m_gone)
        return true;
    if (isOpen())
        lose();
    if (connectOnce() || !start)
        return isOpen();
    // A running office takes the accept string through its own instance
    // pipe and listens without a restart; otherwise this starts one.
    const QString accept = QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(m_pipeName);
    QProcess office;
    office.setProgram(QStringLiteral(TARVIO_LIBREOFFICE_PROGRAM "/soffice"));
    office.setArguments(m_officeArguments + QStringList{accept} + documentArguments);
    // The office may outlive us; it must not hold our terminal or our caller's pipes.
    office.setStandardInputFile(QProcess::nullDevice());
    office.setStandardOutputFile(QProcess::nullDevice());
    office.setStandardErrorFile(QProcess::nullDevice());
    if (!office.startDetached()) {
        qCWarning(lcCalc) << "Could not start the office";
        return false;
    }
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 60000) {
        if (connectOnce())
            return true;
        QThread::msleep(100);
    }
    qCWarning(lcCalc) << "No office listened on" << m_pipeName;
    return false;
}

void OfficeConnection::checkGone()
{
    if (m_gone)
        lose();
}

void OfficeConnection::failed(const rtl::OUString &message)
{
    qCDebug(lcCalc) << "Call failed:" << fromOUString(message);
}

void OfficeConnection::lose()
{
    if (!isOpen())
        return;
    const bool hung = m_hung;
    m_desktop.clear();
    disposeBridge();
    m_gone = false;
    m_hung = false;
    emit lost(hung ? QStringLiteral("LibreOffice Calc stopped answering. The sliders and watches on its cells are "
                                    "let go.")
                   : QStringLiteral("LibreOffice Calc has closed. The sliders and watches on its cells are let go."));
}
