#pragma once

#include "TrashEntryList.h"
#include "TrashStatus.h"

#include <QObject>
#include <QString>

#include <functional>

class QWidget;

namespace rubbly {
class MenuBarView;
class SettingsView;
} // namespace rubbly

namespace rubbly::test {

// A Trash with an entry of every kind and more than five entries, largest first.
TrashStatus fullTrash();
// Entries that all occupy nothing (empty files, empty folders).
TrashStatus zeroByteTrash();
// The part of `parent` of type T, and named `name` unless that is null; the test stops when there is
// none, so a part renamed in the view fails loudly instead of leaving a check with nothing to check.
template <typename T = QWidget> T* part(const QObject& parent, const char* name = nullptr)
{
    T* found = name ? parent.findChild<T*>(QString::fromLatin1(name)) : parent.findChild<T*>();
    if (!found)
        qFatal("no part %s of type %s", name ? name : "", T::staticMetaObject.className());
    return found;
}

// A listing of 24 entries from several folders (Chinese names and one without an info file among
// them), trashed over the weeks before `now`, one every 17 hours.
TrashEntryList sampleListing(Timestamp now);

// Every state of the panel and of the settings window the gallery pictures, built one at a time on
// fakes and a virtual clock. Each visit gets the state's name and the widget to look at (the
// settings scenes hand over the window, or the dialog it shows); the widget lives only during the
// visit. The texts are in whatever language is installed.
void forEachPanelScene(const std::function<void(const QString& name, QWidget& view)>& visit);
void forEachSettingsScene(const std::function<void(const QString& name, QWidget& view)>& visit);

} // namespace rubbly::test
