#include "SettingsWindow.h"

#include "SettingsView.h"

namespace rubbly {

SettingsWindow::SettingsWindow(std::function<SettingsView*()> create, QObject* parent)
    : QObject(parent)
    , m_create(std::move(create))
{
}

SettingsWindow::~SettingsWindow()
{
    delete m_view;
}

SettingsView* SettingsWindow::open()
{
    if (!m_view) {
        m_view = m_create();
        Q_EMIT created(m_view);
    }
    m_view->show();
    m_view->raise();
    m_view->activateWindow();
    return m_view;
}

} // namespace rubbly
