#include "CanberraSoundPlayer.h"

#include "AppIdentity.h"

#include <QLoggingCategory>

#include <canberra.h>

namespace rubbly {

Q_LOGGING_CATEGORY(lcSound, RUBBLY_APP_ID ".Sound")

CanberraSoundPlayer::CanberraSoundPlayer(std::function<void()> beep)
    : m_beep(std::move(beep))
{
    if (ca_context_create(&m_context) != CA_SUCCESS) {
        m_context = nullptr;
        return;
    }
    ca_context_change_props(m_context, CA_PROP_APPLICATION_NAME, "Rubbly", CA_PROP_APPLICATION_ID, RUBBLY_APP_ID,
                            CA_PROP_APPLICATION_ICON_NAME, RUBBLY_APP_ID, nullptr);
}

CanberraSoundPlayer::~CanberraSoundPlayer()
{
    if (m_context)
        ca_context_destroy(m_context);
}

bool CanberraSoundPlayer::play(std::uint32_t slot, const QString& eventId)
{
    const int result = m_context ? ca_context_play(m_context, slot, CA_PROP_EVENT_ID, eventId.toUtf8().constData(),
                                                   CA_PROP_CANBERRA_CACHE_CONTROL, "volatile", nullptr)
                                 : CA_ERROR_NOTAVAILABLE;
    if (result == CA_SUCCESS)
        return true;
    if (!m_reported) {
        m_reported = true;
        qCInfo(lcSound) << "cannot play the event sound" << eventId << ":" << ca_strerror(result);
    }
    return false;
}

void CanberraSoundPlayer::cancel(std::uint32_t slot)
{
    if (m_context)
        ca_context_cancel(m_context, slot);
}

void CanberraSoundPlayer::beep()
{
    if (m_beep)
        m_beep();
}

} // namespace rubbly
