#pragma once

#include "embedded/EmbeddedBackend.h"

#include <QCoreApplication>

// The embedded spreadsheet as the tests drive it.

inline EmbeddedBackend &backend()
{
    return EmbeddedBackend::instance();
}

// Runs the deferred deletions a closed document or a handed-out wrapper left.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

inline void closeAllDocuments()
{
    for (EmbeddedDocument *doc : backend().documents())
        backend().closeDocument(doc);
    flushDeletes();
}
