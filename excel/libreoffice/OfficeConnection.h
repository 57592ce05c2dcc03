#pragma once

#include <QLoggingCategory>
#include <QObject>
#include <QStringList>

#include <com/sun/star/bridge/XBridge.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/Exception.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

Q_DECLARE_LOGGING_CATEGORY(lcCalc)

// Releases a call the office never answers: when a guarded call outlives its
// time, the watchdog's thread runs `expire`, which lets the bridge go so that
// the waiting call throws.
class CallWatchdog
{
public:
    explicit CallWatchdog(std::function<void()> expire);
    ~CallWatchdog();
    void arm(int milliseconds);
    // Whether the watchdog fired since arm.
    bool disarm();

private:
    void watch();

    std::function<void()> m_expire;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_armed = false;
    bool m_fired = false;
    bool m_stop = false;
    std::chrono::steady_clock::time_point m_deadline;
    std::thread m_thread;
};

// The UNO bridge to one office over a named pipe. Calls into the office go
// through `run`, one bridge call each where it counts, under the watchdog.
class OfficeConnection : public QObject
{
    Q_OBJECT
public:
    OfficeConnection(const QString &pipeName, const QStringList &officeArguments, QObject *parent = nullptr);
    ~OfficeConnection() override;

    const QString &pipeName() const { return m_pipeName; }
    // Connects to the office listening on the pipe. When none listens and
    // `start` is set, hands the accept string to the running office (or
    // starts one, with `documentArguments`) and waits for it to listen.
    bool open(bool start, const QStringList &documentArguments = {});
    bool isOpen() const { return m_desktop.is(); }
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> desktop() const { return m_desktop; }

    // Runs `call` against the office; false when it threw, the office is
    // gone or the watchdog released it (a slow file load may ask for more time).
    template <typename Call>
    bool run(Call &&call, int milliseconds = 0)
    {
        if (!isOpen())
            return false;
        ++m_calls;
        m_watchdog.arm(milliseconds > 0 ? milliseconds : m_timeout);
        bool ok = false;
        try {
            call();
            ok = true;
        } catch (const com::sun::star::lang::DisposedException &) {
            m_gone = true;
        } catch (const com::sun::star::uno::Exception &e) {
            failed(e.Message);
        }
        if (m_watchdog.disarm())
            m_hung = true;
        if (m_gone || m_hung)
            lose();
        return ok && isOpen();
    }

    quint64 calls() const { return m_calls; }
    void setWatchdogTimeout(int milliseconds) { m_timeout = milliseconds; }

public slots:
    // Lets the bridge go when the office went away meanwhile.
    void checkGone();

signals:
    // The office went away (quit, crashed or stopped answering); said once per connection.
    void lost(const QString &message);

private:
    bool connectOnce();
    void failed(const rtl::OUString &message);
    // Forgets the bridge and says why, once.
    void lose();
    void disposeBridge();

    QString m_pipeName;
    QStringList m_officeArguments;
    com::sun::star::uno::Reference<com::sun::star::frame::XDesktop2> m_desktop;
    std::mutex m_bridgeMutex; // the watchdog's thread disposes the bridge
    com::sun::star::uno::Reference<com::sun::star::bridge::XBridge> m_bridge;
    CallWatchdog m_watchdog;
    std::atomic<bool> m_gone{false};
    bool m_hung = false;
    int m_timeout = 3000;
    quint64 m_calls = 0;
};

// UNO strings from and to Qt's.
QString fromOUString(const rtl::OUString &text);
rtl::OUString toOUString(const QString &text);
