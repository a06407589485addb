#include "core/Notifier.h"

#include "core/Texts.h"
#include "core/runtime/Async.h"

#include <array>

namespace corvane {

namespace {

void registerFeedbackCategory(NotificationCenter& center, const Texts& texts)
{
    NotificationCategory category {
        notification::kCategoryIdentifier,
        {
            {notification::kRemindAction, texts.localized(notification::kRemindTitleKey)},
            {notification::kNeverAction, texts.localized(notification::kNeverTitleKey)},
        },
    };
    center.setNotificationCategories({std::move(category)});
}

} // namespace

Notifier::Notifier(NotificationCenter& center, Executor& main, const Texts& texts)
    : m_center(center)
    , m_main(main)
    , m_texts(texts)
    , m_random(std::random_device {}())
{
}

void Notifier::requestAuthorization(std::function<void(bool, std::optional<NotificationError>)> completion)
{
    // The reply may come on any thread, and after this notifier is gone: it
    // holds only the platform's objects, which outlive every notifier.
    // Everything after it runs on the main thread.
    m_center.requestAuthorization(notification::kOptionAlert | notification::kOptionSound,
        [&center = m_center, &main = m_main, &texts = m_texts, completion = std::move(completion)](
            bool granted, std::optional<NotificationError> error) {
            main.post([&center, &texts, completion, granted, error = std::move(error)] {
                if (granted)
                    registerFeedbackCategory(center, texts);
                completion(granted, error);
            });
        });
}

void Notifier::registerCategories() { registerFeedbackCategory(m_center, m_texts); }

Task<std::int64_t> Notifier::authorizationStatus()
{
    std::function<void(Completion<std::int64_t>)> ask
        = [this](Completion<std::int64_t> done) { m_center.getAuthorizationStatus(std::move(done)); };
    co_return co_await awaitCompletion<std::int64_t>(m_main, std::move(ask));
}

NotificationRequest Notifier::lowBatteryRequest(const Device& device, std::string body)
{
    NotificationRequest request;
    request.identifier = makeIdentifier();
    request.content.title = device.name;
    request.content.body = std::move(body);
    request.content.userInfo = {{notification::kDeviceKey, device.serialNumber}};
    request.content.defaultSound = true;
    request.content.categoryIdentifier = notification::kCategoryIdentifier;
    return request;
}

std::string Notifier::makeIdentifier()
{
    std::array<std::uint8_t, 16> bytes {};
    {
        std::lock_guard lock(m_randomMutex);
        for (std::size_t i = 0; i < bytes.size(); i += 8) {
            auto word = m_random();
            for (std::size_t j = 0; j < 8; ++j)
                bytes[i + j] = static_cast<std::uint8_t>(word >> (8 * j));
        }
    }
    bytes[6] = static_cast<std::uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<std::uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant

    constexpr std::string_view kDigits = "0123456789ABCDEF";
    std::string text;
    text.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            text.push_back('-');
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return text;
}

} // namespace corvane
