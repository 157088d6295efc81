#include "BinwellState.h"

namespace rubbly {

const TrashStatus* BinwellState::status() const
{
    if (const auto* normal = std::get_if<Normal>(&m_value))
        return &normal->status;
    if (const auto* cleaning = std::get_if<Cleaning>(&m_value))
        return &cleaning->status;
    return nullptr;
}

qint64 BinwellState::freedBytes() const
{
    const auto* success = std::get_if<Success>(&m_value);
    return success ? success->freedBytes : 0;
}

QString BinwellState::errorText() const
{
    const auto* error = std::get_if<Error>(&m_value);
    return error ? error->text : QString();
}

} // namespace rubbly
