#include "EnvGuard.h"

#include <QtGlobal>

namespace rubbly::test {

EnvGuard::~EnvGuard()
{
    // Restore in reverse so a variable set twice ends as it was before the first set.
    for (auto it = m_saved.crbegin(); it != m_saved.crend(); ++it) {
        if (it->value)
            qputenv(it->name.constData(), *it->value);
        else
            qunsetenv(it->name.constData());
    }
}

void EnvGuard::remember(const char* name)
{
    Saved saved{name, std::nullopt};
    if (qEnvironmentVariableIsSet(name))
        saved.value = qgetenv(name);
    m_saved.append(saved);
}

EnvGuard& EnvGuard::set(const char* name, const QByteArray& value)
{
    remember(name);
    qputenv(name, value);
    return *this;
}

EnvGuard& EnvGuard::unset(const char* name)
{
    remember(name);
    qunsetenv(name);
    return *this;
}

} // namespace rubbly::test
