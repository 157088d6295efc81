#pragma once

#include "UiLanguage.h"

namespace rubbly::test {

// Switches the interface language for a scope and back, for views built inside it.
class UiLanguageGuard final {
public:
    explicit UiLanguageGuard(UiLanguage language)
        : m_previous(installedUiLanguage())
    {
        installUiLanguage(language);
    }
    ~UiLanguageGuard() { installUiLanguage(m_previous); }
    UiLanguageGuard(const UiLanguageGuard&) = delete;
    UiLanguageGuard& operator=(const UiLanguageGuard&) = delete;

private:
    UiLanguage m_previous;
};

} // namespace rubbly::test
