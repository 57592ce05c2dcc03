#pragma once

#include <QObject>
#include <QStringList>

struct xcb_connection_t;
class QSocketNotifier;

// Which top-level windows the user activated, newest first, by title, as the
// window system tells (_NET_ACTIVE_WINDOW on X11). It tells which spreadsheet
// the user worked in last even once our own window is in front. Without an X
// display it knows nothing.
class ActiveWindowHistory : public QObject
{
    Q_OBJECT
public:
    static ActiveWindowHistory &instance();
    ~ActiveWindowHistory() override;

    // The title of the window active now; empty when unknown.
    QString activeTitle();
    // Titles of the windows activated lately, newest first.
    QStringList titles() const { return m_titles; }

private:
    ActiveWindowHistory();
    void readEvents();
    QString titleOf(quint32 window);
    quint32 atom(const char *name);

    xcb_connection_t *m_connection = nullptr;
    quint32 m_root = 0;
    quint32 m_activeAtom = 0;
    QSocketNotifier *m_notifier = nullptr;
    QStringList m_titles;
};
