#pragma once

#include "core/runtime/Subscription.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

namespace corvane {

// Observers of events named by `Key` (one event when `Key` is the default).
// `notify` calls each observer of a key, in the order they subscribed, on the
// notifying thread and with no lock held, so an observer may subscribe, notify
// or cancel itself or others. Safe from any thread; the tokens may outlive the
// registry.
//
// Cancelling (the token's `cancel` or destruction) ends the calls: once it
// returns, the observer is not called again, and no call of it is running on
// another thread, so what the observer touches may be destroyed next. A call
// on the cancelling thread itself (an observer ending its own subscription) is
// not waited for. Cancel only waits: two observers that cancel each other from
// calls running at once on two threads would wait for each other forever.
template <typename Key = std::monostate> class ObserverRegistry {
public:
    ObserverRegistry() = default;
    ObserverRegistry(const ObserverRegistry&) = delete;
    ObserverRegistry& operator=(const ObserverRegistry&) = delete;

    Subscription subscribe(Key key, std::function<void()> observer)
    {
        std::lock_guard lock(m_state->mutex);
        const auto id = m_state->nextId++;
        m_state->entries.emplace(id, std::make_shared<Entry>(std::move(key), std::move(observer)));
        return Subscription([weak = std::weak_ptr<State>(m_state), id] {
            if (auto state = weak.lock())
                state->cancel(id);
        });
    }
    Subscription subscribe(std::function<void()> observer) { return subscribe(Key {}, std::move(observer)); }

    void notify(const Key& key = {})
    {
        std::vector<std::shared_ptr<Entry>> matching;
        {
            std::lock_guard lock(m_state->mutex);
            for (const auto& [id, entry] : m_state->entries) {
                if (entry->key == key)
                    matching.push_back(entry);
            }
        }
        for (const auto& entry : matching)
            m_state->call(*entry);
    }

private:
    struct Entry {
        Entry(Key k, std::function<void()> f)
            : key(std::move(k))
            , observer(std::move(f))
        {
        }
        Key key;
        std::function<void()> observer;
        bool cancelled = false;
        // One element per call running now, naming the thread that runs it.
        std::vector<std::thread::id> callers;
    };

    struct State {
        std::mutex mutex;
        std::condition_variable callEnded;
        std::uint64_t nextId = 1;
        std::map<std::uint64_t, std::shared_ptr<Entry>> entries;

        void call(Entry& entry)
        {
            const auto self = std::this_thread::get_id();
            {
                std::lock_guard lock(mutex);
                // Cancelled since `notify` looked: a cancel that returned promised no more calls.
                if (entry.cancelled)
                    return;
                entry.callers.push_back(self);
            }
            // Leaves the call even when the observer throws, so that no cancel waits forever.
            const auto leave = [this, &entry, self](void*) {
                {
                    std::lock_guard lock(mutex);
                    entry.callers.erase(std::find(entry.callers.begin(), entry.callers.end(), self));
                }
                callEnded.notify_all();
            };
            const std::unique_ptr<void, decltype(leave)> leaving(this, leave);
            entry.observer();
        }

        void cancel(std::uint64_t id)
        {
            const auto self = std::this_thread::get_id();
            std::function<void()> released;
            {
                std::unique_lock lock(mutex);
                const auto found = entries.find(id);
                if (found == entries.end())
                    return;
                const auto entry = found->second;
                entries.erase(found);
                entry->cancelled = true;
                callEnded.wait(lock, [&] {
                    return std::all_of(
                        entry->callers.begin(), entry->callers.end(), [&](auto caller) { return caller == self; });
                });
                // No call left anywhere: the observer and what it holds go now, on
                // this thread, not later on the thread that notified last.
                if (entry->callers.empty())
                    released = std::move(entry->observer);
            }
        }
    };

    std::shared_ptr<State> m_state = std::make_shared<State>();
};

} // namespace corvane
