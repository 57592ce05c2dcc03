#include "ActiveWindowHistory.h"

#include <QSocketNotifier>

#include <cstdlib>

#ifdef TARVIO_WITH_XCB
#include <xcb/xcb.h>
#endif

namespace {

constexpr int remembered = 16;

} // namespace

ActiveWindowHistory &ActiveWindowHistory::instance()
{
    static ActiveWindowHistory *history = new ActiveWindowHistory;
    return *history;
}

ActiveWindowHistory::ActiveWindowHistory()
{
#ifdef TARVIO_WITH_XCB
    // Our own connection: Qt's may be another platform's (offscreen) or none.
    if (!std::getenv("DISPLAY"))
        return;
    m_connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_connection)) {
        xcb_disconnect(m_connection);
        m_connection = nullptr;
        return;
    }
    m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
    m_activeAtom = atom("_NET_ACTIVE_WINDOW");
    const quint32 mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection, m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection);
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ActiveWindowHistory::readEvents);
    activeTitle();
#endif
}

ActiveWindowHistory::~ActiveWindowHistory()
{
#ifdef TARVIO_WITH_XCB
    if (m_connection)
        xcb_disconnect(m_connection);
#endif
}

#ifdef TARVIO_WITH_XCB

quint32 ActiveWindowHistory::atom(const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, quint16(strlen(name)), name), nullptr);
    const quint32 found = reply ? reply->atom : 0;
    free(reply);
    return found;
}

QString ActiveWindowHistory::titleOf(quint32 window)
{
    static const quint32 netName = atom("_NET_WM_NAME");
    static const quint32 utf8 = atom("UTF8_STRING");
    for (const auto &[property, type] : {std::pair{netName, utf8}, std::pair{quint32(XCB_ATOM_WM_NAME), quint32(XCB_ATOM_STRING)}}) {
        xcb_get_property_reply_t *reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, property, type, 0, 1024), nullptr);
        QString title;
        if (reply && xcb_get_property_value_length(reply) > 0) {
            const auto *text = static_cast<const char *>(xcb_get_property_value(reply));
            const int length = xcb_get_property_value_length(reply);
            title = type == utf8 ? QString::fromUtf8(text, length) : QString::fromLatin1(text, length);
        }
        free(reply);
        if (!title.isEmpty())
            return title;
    }
    return QString();
}

QString ActiveWindowHistory::activeTitle()
{
    if (!m_connection)
        return QString();
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        m_connection, xcb_get_property(m_connection, 0, m_root, m_activeAtom, XCB_ATOM_WINDOW, 0, 1), nullptr);
    quint32 window = 0;
    if (reply && xcb_get_property_value_length(reply) >= int(sizeof(quint32)))
        window = *static_cast<const quint32 *>(xcb_get_property_value(reply));
    free(reply);
    const QString title = window ? titleOf(window) : QString();
    if (!title.isEmpty() && (m_titles.isEmpty() || m_titles.first() != title)) {
        m_titles.removeAll(title);
        m_titles.prepend(title);
        if (m_titles.size() > remembered)
            m_titles.removeLast();
    }
    return title;
}

#else

QString ActiveWindowHistory::activeTitle()
{
    return QString();
}

void ActiveWindowHistory::readEvents()
{
}

#endif

#ifdef TARVIO_WITH_XCB
void ActiveWindowHistory::readEvents()
{
    bool activeChanged = false;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY
            && reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == m_activeAtom)
            activeChanged = true;
        free(event);
    }
    if (activeChanged)
        activeTitle();
}
#endif
