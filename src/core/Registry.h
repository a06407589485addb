#pragma once

#include "core/runtime/Subscription.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

namespace corvane {

// A property value as the reader sees it. `OtherType` is a value that is not
// text, an integer or a boolean; `std::monostate` is an absent property.
struct OtherType {
    bool operator==(const OtherType&) const = default;
};
using RegistryValue = std::variant<std::monostate, std::string, std::int64_t, bool, OtherType>;

// One registry entry; released when destroyed.
class RegistryEntry {
public:
    virtual ~RegistryEntry() = default;
    virtual RegistryValue property(std::string_view key) const = 0;
};

// The entries of one service class, handed out one at a time in registry
// order; released when destroyed.
class RegistryIterator {
public:
    virtual ~RegistryIterator() = default;
    // The next entry, or null at the end.
    virtual std::unique_ptr<RegistryEntry> next() = 0;
};

// One look at the registry, taken by one reader for one refresh: every pass
// of that reader sees the same devices, and the session releases what it
// obtained when destroyed. Used on the reader's thread only; calls may block
// that thread but must come back within a few seconds.
class RegistrySession {
public:
    virtual ~RegistrySession() = default;
    // The services whose class is `className`, or null when matching fails.
    virtual std::unique_ptr<RegistryIterator> matchingServices(std::string_view className) = 0;
};

// The device registry. `openSession` may be called from any thread and never
// fails: a registry that cannot be reached gives a session that matches nothing.
//
// Why a registry of service classes and properties, and not a list of
// devices: the core keeps the system's own reader (IORegParser) with its
// rules over the raw properties, and another platform's registry of this
// shape plugs in directly; on Linux UPower's devices are mapped to entries.
class Registry {
public:
    virtual ~Registry() = default;
    virtual std::unique_ptr<RegistrySession> openSession() = 0;

    // Calls `changed` on the main thread whenever the registry sees a change
    // that a new session could read differently (a device came, went, or
    // changed what it reports), until the subscription ends. Reports may come
    // in bursts and some may be false alarms; none carries data. Called on
    // the main thread; the registry must outlive the subscription.
    virtual Subscription observeChanges(std::function<void()> changed) = 0;
};

} // namespace corvane
