#pragma once

#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QMetaObject>
#include <QObject>

#include <utility>

namespace corvane {

// Runs `callback` with the answer to `call`, read as a reply of `Types`, once
// the call is answered, fails or times out: exactly once, never inside
// `onReply` itself, and not at all when `context` is destroyed first (so the
// callback may use what `context` owns). Called on the thread `context` lives
// in; the callback runs there.
//
//     onReply<uint>(bus.asyncCall(message), this, [this](const QDBusPendingReply<uint>& reply) { ... });
template <typename... Types, typename Callback>
void onReply(const QDBusPendingCall& call, QObject* context, Callback callback)
{
    // Qt's watcher never signals a call that has no connection behind it (one
    // on a missing bus): a call that has ended already is answered from the
    // event loop instead.
    if (call.isFinished()) {
        QMetaObject::invokeMethod(
            context, [callback = std::move(callback), call]() mutable { callback(QDBusPendingReply<Types...>(call)); },
            Qt::QueuedConnection);
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(call, context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
        [callback = std::move(callback)](QDBusPendingCallWatcher* finished) mutable {
            finished->deleteLater();
            callback(QDBusPendingReply<Types...>(*finished));
        });
}

} // namespace corvane
