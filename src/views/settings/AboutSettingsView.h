#pragma once

#include "UpdateTypes.h"

#include <QStringList>
#include <QUrl>
#include <QWidget>

namespace rubbly {

class UpdateServicing;
class Workspace;

// The release notes as rows: the first four lines that hold more than blanks, each without a leading
// list number ("1. ", "12.") taken off once.
QStringList releaseNoteRows(const QString& notes);

// The product's identity, the self-updater's controls for whatever state it is in, and two links.
// It only renders the update service's status and calls it from its buttons; a download goes on
// while the window is closed, and the pane shows the current state whenever it is opened.
class AboutSettingsView final : public QWidget {
    Q_OBJECT
public:
    struct Links {
        QUrl website;
        QUrl profile;
        QString profileHandle;
    };
    AboutSettingsView(UpdateServicing& updates, Workspace& workspace, QString version, Links links,
                      QWidget* parent = nullptr);

    // For tests: the texts of the buttons the current state offers (an icon-only button by its help).
    QStringList buttonTexts() const;
    void clickButton(const QString& text);
    QStringList texts() const;

private:
    void render();

    UpdateServicing& m_updates;
    Workspace& m_workspace;
    QWidget* m_section;
    QWidget* m_stateBlock = nullptr;
};

} // namespace rubbly
