#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace rubbly::test {

// Sets or unsets environment variables and restores every one of them when it goes out of scope,
// also when a QVERIFY returns early.
class EnvGuard final {
public:
    EnvGuard() = default;
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

    EnvGuard& set(const char* name, const QByteArray& value);
    EnvGuard& unset(const char* name);

private:
    void remember(const char* name);
    struct Saved {
        QByteArray name;
        std::optional<QByteArray> value;
    };
    QList<Saved> m_saved;
};

} // namespace rubbly::test
