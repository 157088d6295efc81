#pragma once

#include "DefaultsStore.h"

#include <QHash>

namespace rubbly::test {

// A defaults store in memory that counts writes, so tests can check that loading writes nothing.
class MemoryDefaults final : public DefaultsStore {
public:
    std::optional<DefaultsValue> value(const QString& key) const override
    {
        const auto it = values.constFind(key);
        return it == values.cend() ? std::nullopt : std::optional(*it);
    }
    // As the file store: storing what a key already holds writes nothing.
    void setValue(const QString& key, const DefaultsValue& v) override
    {
        if (const auto it = values.constFind(key); it != values.cend() && *it == v)
            return;
        ++writes;
        values.insert(key, v);
    }
    void removeValue(const QString& key) override
    {
        ++writes;
        values.remove(key);
    }

    QHash<QString, DefaultsValue> values;
    int writes = 0;
};

} // namespace rubbly::test
