#include "PrivateOffice.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <QUrl>

#include <csignal>
#include <unistd.h>

PrivateOffice::PrivateOffice(const QString &name, Display display)
    : m_pipe(QStringLiteral("tarvio-private-%1-%2").arg(name).arg(getpid())), m_display(display)
{
    // A test that crashes or is killed never reaches stop(): a watcher of our
    // own ends this profile's offices when we are gone, so none is left
    // running (and holding the test runner's output open).
    QProcess reaper;
    reaper.setProgram(QStringLiteral("/bin/sh"));
    reaper.setArguments({QStringLiteral("-c"), QStringLiteral(R"sh(
        while kill -0 "$1" 2>/dev/null; do sleep 1; done
        for process in /proc/[0-9]*; do
            [ "${process#/proc/}" = "$$" ] && continue
            case "$(tr '\0' ' ' < "$process/cmdline" 2>/dev/null)" in
                *"$2"*) kill -CONT "${process#/proc/}"; kill -KILL "${process#/proc/}" ;;
            esac
        done
        rm -rf "$2")sh"),
                         QStringLiteral("reaper"), QString::number(getpid()), m_profile.path()});
    reaper.setStandardInputFile(QProcess::nullDevice());
    reaper.setStandardOutputFile(QProcess::nullDevice());
    reaper.setStandardErrorFile(QProcess::nullDevice());
    reaper.startDetached();
}

PrivateOffice::~PrivateOffice()
{
    stop();
}

QStringList PrivateOffice::arguments() const
{
    QStringList arguments{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(m_profile.path()).toString(),
                          QStringLiteral("--norestore"), QStringLiteral("--nologo"), QStringLiteral("--nodefault"),
                          QStringLiteral("--nolockcheck")};
    if (m_display == Display::Headless)
        arguments << QStringLiteral("--headless") << QStringLiteral("--invisible");
    return arguments;
}

void PrivateOffice::start()
{
    const QString accept = QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(m_pipe);
    // The launcher restarts the office once after it made a new profile.
    m_process.setProgram(QStringLiteral(TARVIO_LIBREOFFICE_PROGRAM "/soffice"));
    m_process.setArguments(arguments() << accept);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start();
    m_process.waitForStarted();
}

QList<qint64> PrivateOffice::pids() const
{
    QList<qint64> found;
    const QByteArray profile = m_profile.path().toUtf8();
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const qint64 pid = entry.toLongLong(&isPid);
        QFile commandLine(QStringLiteral("/proc/%1/cmdline").arg(entry));
        if (isPid && commandLine.open(QIODevice::ReadOnly) && commandLine.readAll().contains(profile))
            found << pid;
    }
    return found;
}

void PrivateOffice::signal(int number)
{
    for (qint64 pid : pids())
        ::kill(pid_t(pid), number);
}

void PrivateOffice::stop()
{
    for (qint64 pid : pids()) {
        ::kill(pid_t(pid), SIGCONT);
        ::kill(pid_t(pid), SIGKILL);
    }
    if (m_process.state() != QProcess::NotRunning)
        m_process.waitForFinished(10000);
    for (int i = 0; i < 100 && !pids().isEmpty(); ++i)
        QThread::msleep(50);
}
