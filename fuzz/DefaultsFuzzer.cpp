// The defaults file ($XDG_CONFIG_HOME/rubbly/defaults.json): the user, a sync tool or an older or newer
// version of the program may have written it. Settings, records and the slim snapshot live in it.

#include "DefaultsFile.h"
#include "FuzzCheck.h"

#include "JsonFileDefaultsStore.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

using namespace rubbly;

namespace {

// The loaded values behind the typed reads every setting goes through.
class LoadedDefaults final : public DefaultsStore {
public:
    explicit LoadedDefaults(const JsonFileDefaultsStore::Values& values)
        : m_values(values)
    {
    }
    std::optional<DefaultsValue> value(const QString& key) const override
    {
        const auto it = m_values.constFind(key);
        return it == m_values.cend() ? std::nullopt : std::optional(*it);
    }
    void setValue(const QString&, const DefaultsValue&) override {}
    void removeValue(const QString&) override {}

private:
    const JsonFileDefaultsStore::Values& m_values;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input = fuzz::bytes(data, size);
    const auto values = JsonFileDefaultsStore::decodeFile(input);

    // Loaded from a real file, as the program loads it: what parses is what the store holds; what
    // does not is moved aside unchanged, never lost.
    fuzz::DefaultsFile file(input);
    if (!values) {
        FUZZ_CHECK(!file.store().setAsidePath().isEmpty());
        QFile aside(file.store().setAsidePath());
        FUZZ_CHECK(aside.open(QIODevice::ReadOnly) && aside.readAll() == input);
        return 0;
    }
    FUZZ_CHECK(file.store().setAsidePath().isEmpty());
    for (auto it = values->cbegin(); it != values->cend(); ++it)
        FUZZ_CHECK(file.store().value(it.key()) == std::optional(*it));

    // Numbers are what the file says: an int is the file's integer, not some other value.
    const QJsonObject object = QJsonDocument::fromJson(input).object();
    for (auto it = values->cbegin(); it != values->cend(); ++it) {
        if (const qint64* i = std::get_if<qint64>(&*it))
            FUZZ_CHECK(static_cast<double>(*i) == object.value(it.key())[QLatin1String("int")].toDouble());
    }

    // A file that loads is saved (at the next change) as something that loads to the same values.
    const auto reloaded = JsonFileDefaultsStore::decodeFile(JsonFileDefaultsStore::encodeFile(*values));
    FUZZ_CHECK(reloaded.has_value());
    FUZZ_CHECK(*reloaded == *values);

    // A number read as the other kind of number is the same number.
    const LoadedDefaults defaults(*values);
    for (auto it = values->cbegin(); it != values->cend(); ++it) {
        const auto asInt = defaults.intValue(it.key());
        const auto asDouble = defaults.doubleValue(it.key());
        FUZZ_CHECK(asInt.has_value() <= asDouble.has_value());
        if (asInt)
            FUZZ_CHECK(static_cast<double>(*asInt) == *asDouble);
        if (asDouble)
            FUZZ_CHECK(std::isfinite(*asDouble));
    }
    return 0;
}
