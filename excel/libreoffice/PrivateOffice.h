#pragma once

#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A headless office of our own: its own profile and pipe, so that it never
// meets the user's office, and stopped by its process ids. For the tests, the
// benchmarks and the command line.
class PrivateOffice
{
public:
    enum class Display { Headless, Windows };
    explicit PrivateOffice(const QString &name, Display display = Display::Headless);
    ~PrivateOffice();

    const QString &pipe() const { return m_pipe; }
    // The arguments that make an office use this profile (headless unless it shows windows).
    QStringList arguments() const;
    // Starts the office listening on the pipe; it listens a few seconds later.
    void start();
    // Every office process on this profile: the one started here and any a backend started.
    QList<qint64> pids() const;
    void signal(int number);
    // Ends every office on this profile, by process id.
    void stop();

private:
    QString m_pipe;
    Display m_display;
    QTemporaryDir m_profile;
    QProcess m_process;
};
