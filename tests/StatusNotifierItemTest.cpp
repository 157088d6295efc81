#include "StatusNotifierItem.h"
#include "EnvGuard.h"
#include "FakeStatusNotifierWatcher.h"
#include "TrayIcons.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

const QString kItemInterface = u"org.kde.StatusNotifierItem"_s;
const QString kMenuInterface = u"com.canonical.dbusmenu"_s;

// Our item as a status-area host sees it: a watcher and a client on connections of their own.
class StatusNotifierItemTest : public QObject {
    Q_OBJECT

    QDBusConnection m_client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"host"_s);
    std::unique_ptr<FakeStatusNotifierWatcher> m_watcher;
    std::unique_ptr<StatusNotifierItem> m_item;
    QList<QVariantList> m_labels; // XAyatanaNewLabel as the host received it

    // Calls the item (or its menu) from the host's connection; events keep running so it can answer.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item->serviceName(), path, interface, method);
        message.setArguments(arguments);
        return m_client.call(message, QDBus::BlockWithGui);
    }

    QDBusMessage menuCall(const QString& method, const QVariantList& arguments)
    {
        return call(StatusNotifierItem::kMenuPath, kMenuInterface, method, arguments);
    }

    void startItem()
    {
        m_item->start();
        QTRY_VERIFY(m_item->isSettled());
    }

public Q_SLOTS:
    void labelReceived(const QDBusMessage& message) { m_labels.append(message.arguments()); }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        registerStatusNotifierTypes();
        m_client.connect({}, StatusNotifierItem::kItemPath, kItemInterface, u"XAyatanaNewLabel"_s, this,
                         SLOT(labelReceived(QDBusMessage)));
    }

    void init()
    {
        m_watcher = std::make_unique<FakeStatusNotifierWatcher>();
        m_item = std::make_unique<StatusNotifierItem>();
        m_labels.clear();
    }

    void cleanup()
    {
        m_item.reset();
        m_watcher.reset();
    }

    // GNOME's AppIndicator extension reads the whole item the moment it registers, and loses one
    // given to it by a well-known name whenever its name watch reports after the properties arrived
    // (see the fake watcher). Whether the watcher runs before the item or starts after it, the host
    // finds every property filled in, a real menu with our entries, and keeps the item.
    void aHostReadingAtRegistrationKeepsTheWholeItem_data()
    {
        QTest::addColumn<bool>("watcherFirst");
        QTest::newRow("the panel runs already") << true;
        QTest::newRow("the panel starts after the item") << false;
    }
    void aHostReadingAtRegistrationKeepsTheWholeItem()
    {
        QFETCH(bool, watcherFirst);
        m_watcher->inspectsLikeAppIndicator = true;
        m_item->setIcon({trayicons::iconName(), u"/usr/share/icons"_s,
                         trayicons::renderPixmaps(trayicons::resourcePath(), Qt::black)});
        m_item->setLabel(u"2.4 MB"_s);
        if (watcherFirst)
            QVERIFY(m_watcher->start());
        startItem();
        if (!watcherFirst) {
            QVERIFY(m_watcher->start());
            QTRY_VERIFY(m_item->isShown());
        }

        QCOMPARE(m_watcher->inspections.size(), 1);
        const FakeStatusNotifierWatcher::Inspection& seen = m_watcher->inspections.first();
        QVERIFY2(seen.shown, qPrintable(seen.problem));
        QCOMPARE(seen.menu, (QStringList{u"打开面板"_s, u"清空废纸篓…"_s, u"偏好设置…"_s, u"-"_s, u"退出 Rubbly"_s}));
        // The pixmaps cross the bus through our own marshalling.
        QCOMPARE(qdbus_cast<StatusIconPixmapList>(seen.properties.value(u"IconPixmap"_s)), m_item->icon().pixmaps);
        QCOMPARE(seen.properties.value(u"XAyatanaLabel"_s), QVariant(u"2.4 MB"_s));
        // A label that stays the same is drawn too, though that host draws only changes it sees.
        QTRY_COMPARE(m_watcher->drawnLabel, u"2.4 MB"_s);
        // The conventional well-known name is owned as well, though the item registers by its unique one.
        QCOMPARE(m_client.interface()->serviceOwner(m_item->serviceName()).value(),
                 QDBusConnection::sessionBus().baseService());

        // The panel restarts, and the label changes while its new watcher takes the item in: the
        // change is announced after the answer, when the host can take it.
        m_watcher->stop();
        QTRY_VERIFY(!m_item->hasWatcher());
        QSignalSpy held(m_item.get(), &StatusNotifierItem::newLabel);
        connect(m_item.get(), &StatusNotifierItem::watcherChanged, this, [this, &held] {
            QVERIFY(!m_item->isSettled());
            m_item->setLabel(u"3 MB"_s);
            QVERIFY(held.isEmpty());
        });
        m_labels.clear();
        QVERIFY(m_watcher->start());
        QTRY_VERIFY(m_item->isShown());
        QTRY_COMPARE(m_watcher->drawnLabel, u"3 MB"_s);
        // A round trip, so the signals sent before it have arrived.
        call(StatusNotifierItem::kItemPath, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {kItemInterface});
        QCOMPARE(m_watcher->inspections.size(), 2);
        QVERIFY(m_watcher->inspections.last().shown);
        // Said once, by way of a passing value drawn the same.
        QCOMPARE(m_labels, (QList<QVariantList>{{u"3 MB\u200b"_s, u"888.8 GB"_s}, {u"3 MB"_s, u"888.8 GB"_s}}));
    }

    // Every member as a host's introspection sees it: QtDBus leaves out, without a word, a member whose
    // types it cannot marshal.
    void exportsEveryMemberOfTheProtocols_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("item") << StatusNotifierItem::kItemPath << kItemInterface
                              << u"property Id s;property Category s;property Title s;property Status s;"
                                 "property WindowId i;property IconName s;property IconThemePath s;"
                                 "property IconPixmap a(iiay);property OverlayIconPixmap a(iiay);"
                                 "property AttentionIconPixmap a(iiay);property ToolTip (sa(iiay)ss);"
                                 "property ItemIsMenu b;property Menu o;property XAyatanaLabel s;"
                                 "property XAyatanaLabelGuide s;property XAyatanaOrderingIndex u;"
                                 "method Activate(ii->);method SecondaryActivate(ii->);method ContextMenu(ii->);"
                                 "method Scroll(is->);method ProvideXdgActivationToken(s->);"
                                 "signal NewTitle();signal NewIcon();signal NewAttentionIcon();"
                                 "signal NewOverlayIcon();signal NewToolTip();signal NewStatus(s);"
                                 "signal XAyatanaNewLabel(ss)"_s.split(u';');
        QTest::newRow("menu") << StatusNotifierItem::kMenuPath << kMenuInterface
                              << u"property Version u;property TextDirection s;property Status s;"
                                 "method GetLayout(iias->u(ia{sv}av));method GetGroupProperties(aias->a(ia{sv}));"
                                 "method GetProperty(is->v);method Event(isvu->);method EventGroup(a(isvu)->ai);"
                                 "method AboutToShow(i->b);method AboutToShowGroup(ai->aiai);"
                                 "signal LayoutUpdated(ui);signal ItemActivationRequested(iu)"_s.split(u';');
    }

    void exportsEveryMemberOfTheProtocols()
    {
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QStringList, members);
        startItem();
        const QDBusMessage reply = call(path, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s);
        // Its quotes made single, for patterns without escapes.
        const QString xml = reply.arguments().value(0).toString().replace(u'"', u'\'');
        // Each member as "property Name type", "method Name(in->out)" or "signal Name(arguments)".
        const auto all = [](const char* pattern, const QString& text) {
            return QRegularExpression(QLatin1String(pattern), QRegularExpression::DotMatchesEverythingOption)
                .globalMatch(text);
        };
        QStringList found;
        for (const auto& part : all("<interface name='([^']+)'>(.*?)</interface>", xml)) {
            if (part.captured(1) != interface)
                continue;
            for (const auto& property : all("<property name='(\\w+)' type='([^']+)'", part.captured(2)))
                found.append(u"property %1 %2"_s.arg(property.captured(1), property.captured(2)));
            for (const auto& member : all("<(method|signal) name='(\\w+)'>(.*?)</\\1>", part.captured(2))) {
                QString in, out;
                for (const auto& arg :
                     all("<arg (?:name='\\w*' )?type='([^']+)' direction='(\\w+)'", member.captured(3)))
                    (arg.captured(2) == u"in" ? in : out) += arg.captured(1);
                const bool signal = member.captured(1) == u"signal";
                found.append(
                    u"%1 %2(%3)"_s.arg(member.captured(1), member.captured(2), signal ? out + in : in + u"->"_s + out));
            }
        }
        for (const QString& member : members)
            QVERIFY2(found.contains(member), qPrintable(member + u" not in: "_s + found.join(u',')));
    }

    // A right click on the item and clicks on its menu's entries (TrayAppTest activates the item);
    // hovering and opening do nothing, the separator (4) is not clickable. A layout of depth 0 is the
    // root alone; an unknown parent is an error, not an empty menu.
    void hostCallsReachTheApplication()
    {
        startItem();
        const auto root =
            qdbus_cast<DBusMenuLayoutItem>(menuCall(u"GetLayout"_s, {0, 0, QStringList()}).arguments().value(1));
        QCOMPARE(root.properties.value(u"children-display"_s).toString(), u"submenu"_s);
        QVERIFY(root.children.isEmpty());
        QCOMPARE(menuCall(u"GetLayout"_s, {42, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);
        QSignalSpy contextMenu(m_item.get(), &StatusNotifierItem::contextMenuRequested);
        QList<StatusItem::MenuAction> triggered;
        connect(m_item.get(), &StatusItem::menuActionTriggered, this,
                [&triggered](StatusItem::MenuAction action) { triggered.append(action); });
        call(StatusNotifierItem::kItemPath, kItemInterface, u"ContextMenu"_s, {30, 40});
        QCOMPARE(menuCall(u"AboutToShow"_s, {0}).type(), QDBusMessage::ReplyMessage);
        for (int id = 1; id <= 5; ++id) {
            for (const QString& type : {u"hovered"_s, u"clicked"_s})
                QCOMPARE(menuCall(u"Event"_s, {id, type, QVariant::fromValue(QDBusVariant(0)), 0u}).type(),
                         QDBusMessage::ReplyMessage);
        }

        QCOMPARE(QList<QVariantList>(contextMenu), QList<QVariantList>{{QPoint(30, 40)}});
        QCOMPARE(triggered,
                 (QList<StatusItem::MenuAction>{StatusItem::MenuAction::OpenPanel, StatusItem::MenuAction::EmptyTrash,
                                                StatusItem::MenuAction::Settings, StatusItem::MenuAction::Quit}));
    }

    // Hosts look the icon's name up in the theme path we hand them as an icon theme (St on GNOME, Qt
    // on Plasma), which they read only through its index: run from the build tree, as installed,
    // the name must be found there. A name found nowhere is not handed over at all.
    void theThemePathHoldsTheIconAsATheme()
    {
        EnvGuard env;
        env.set("XDG_DATA_HOME", "/nonexistent").set("XDG_DATA_DIRS", "/nonexistent");
        QVERIFY(trayicons::iconNameFor({}).isEmpty()); // installed nowhere: the pixmaps alone
        if (trayicons::themePath().isEmpty())
            QSKIP("no icons beside this build");
        QCOMPARE(trayicons::iconNameFor(trayicons::themePath()), trayicons::iconName());
        // As a host's icon theme reads it (GTK's, the extension's, Plasma's): the folders that
        // hicolor/index.theme lists, one of which holds the named file. Qt's own loader is not asked:
        // its caching differs between versions and it is not what the hosts use.
        const QString hicolor = trayicons::themePath() + u"/hicolor"_s;
        QSettings index(hicolor + u"/index.theme"_s, QSettings::IniFormat);
        const QStringList folders = index.value(u"Icon Theme/Directories"_s).toStringList();
        QVERIFY2(std::any_of(folders.cbegin(), folders.cend(),
                             [&](const QString& folder) {
                                 return index.value(folder + u"/Size"_s).toInt() > 0 &&
                                        QFileInfo::exists(hicolor + u'/' + folder + u'/' + trayicons::iconName() +
                                                          u".svg"_s);
                             }),
                 qPrintable(folders.join(u", "_s)));
    }
};

QTEST_MAIN(StatusNotifierItemTest)
#include "StatusNotifierItemTest.moc"
