#include "StatusNotifierItem.h"
#include "FakeStatusNotifierWatcher.h"
#include "TrayIcons.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QXmlStreamReader>

#include <tuple>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

const QString kItemInterface = u"org.kde.StatusNotifierItem"_s;
const QString kMenuInterface = u"com.canonical.dbusmenu"_s;

// A D-Bus type signature of a value as QtDBus hands it over: complex values stay QDBusArguments.
QString signatureOf(const QVariant& value)
{
    if (value.metaType() == QMetaType::fromType<QDBusArgument>())
        return value.value<QDBusArgument>().currentSignature();
    return QString::fromLatin1(QDBusMetaType::typeToSignature(value.metaType()));
}

} // namespace

// Our item as a status-area host sees it: a watcher and a client on connections of their own.
class StatusNotifierItemTest : public QObject {
    Q_OBJECT

    QDBusConnection m_client = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"host"_s);
    std::unique_ptr<FakeStatusNotifierWatcher> m_watcher;
    std::unique_ptr<StatusNotifierItem> m_item;

    // Calls the item (or its menu) from the host's connection; events keep running so it can answer.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {})
    {
        QDBusMessage message = QDBusMessage::createMethodCall(m_item->serviceName(), path, interface, method);
        message.setArguments(arguments);
        return m_client.call(message, QDBus::BlockWithGui);
    }

    QVariantMap allProperties(const QString& path, const QString& interface)
    {
        const QDBusMessage reply = call(path, u"org.freedesktop.DBus.Properties"_s, u"GetAll"_s, {interface});
        return qdbus_cast<QVariantMap>(reply.arguments().value(0));
    }

    QVariant itemProperty(const QString& name)
    {
        return allProperties(StatusNotifierItem::kItemPath, kItemInterface).value(name);
    }

    QDBusMessage menuCall(const QString& method, const QVariantList& arguments)
    {
        return call(StatusNotifierItem::kMenuPath, kMenuInterface, method, arguments);
    }

    DBusSignalRecorder* record(const QString& name)
    {
        auto* recorder = new DBusSignalRecorder(m_client, m_item->serviceName(), StatusNotifierItem::kItemPath,
                                                kItemInterface, name);
        recorder->setParent(m_item.get());
        return recorder;
    }

    StatusNotifierItem& startItem()
    {
        m_item->start();
        [&] { QTRY_VERIFY(m_item->isSettled()); }();
        return *m_item;
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run under dbus-run-session (ctest does)");
        registerStatusNotifierTypes();
    }

    void init()
    {
        m_watcher = std::make_unique<FakeStatusNotifierWatcher>();
        m_item = std::make_unique<StatusNotifierItem>();
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
        DBusSignalRecorder* labels = record(u"XAyatanaNewLabel"_s);
        if (!watcherFirst) {
            QVERIFY(m_watcher->start());
            QTRY_VERIFY(m_item->isShown());
        }

        QCOMPARE(m_watcher->inspections.size(), 1);
        const FakeStatusNotifierWatcher::Inspection& seen = m_watcher->inspections.first();
        QVERIFY2(seen.shown, qPrintable(seen.problem));
        QCOMPARE(seen.menu, (QStringList{u"打开面板"_s, u"清空废纸篓…"_s, u"偏好设置…"_s, u"-"_s, u"退出 Rubbly"_s}));
        for (const char* name : {"Id", "Title", "IconName", "IconThemePath", "XAyatanaLabel"})
            QVERIFY2(!seen.properties.value(QLatin1String(name)).toString().isEmpty(), name);
        QVERIFY(!qdbus_cast<StatusIconPixmapList>(seen.properties.value(u"IconPixmap"_s)).isEmpty());
        QCOMPARE(seen.properties.value(u"Status"_s).toString(), u"Active"_s);
        // The conventional well-known name is owned as well, though the item registers by its unique one.
        QVERIFY(
            QRegularExpression(u"^org\\.kde\\.StatusNotifierItem-%1-\\d+$"_s.arg(QCoreApplication::applicationPid()))
                .match(m_item->serviceName())
                .hasMatch());
        QCOMPARE(m_client.interface()->serviceOwner(m_item->serviceName()).value(),
                 QDBusConnection::sessionBus().baseService());

        // The panel restarts, and the label changes while its new watcher takes the item in: the
        // change is announced once, after the answer.
        m_watcher->stop();
        QTRY_VERIFY(!m_item->hasWatcher());
        QVERIFY(!m_item->isShown());
        connect(m_item.get(), &StatusNotifierItem::watcherChanged, this, [this] {
            QVERIFY(!m_item->isSettled());
            m_item->setLabel(u"3 MB"_s);
        });
        QVERIFY(m_watcher->start());
        QTRY_VERIFY(m_item->isShown());
        allProperties(StatusNotifierItem::kItemPath, kItemInterface); // a round trip for the signal
        QCOMPARE(m_watcher->inspections.size(), 2);
        QVERIFY(m_watcher->inspections.last().shown);
        QCOMPARE(labels->received, (QList<QList<QVariant>>{{u"3 MB"_s, u"888.8 GB"_s}}));
    }

    void isShownOnlyWhileAHostIsRegistered()
    {
        m_watcher = std::make_unique<FakeStatusNotifierWatcher>(false);
        QVERIFY(m_watcher->start());
        QVERIFY(!startItem().isShown());
        QSignalSpy shown(m_item.get(), &StatusItem::shownChanged);
        m_watcher->setHostRegistered(true);
        QTRY_VERIFY(m_item->isShown());
        m_watcher->setHostRegistered(false);
        QTRY_VERIFY(!m_item->isShown());
        QCOMPARE(shown.size(), 2);
    }

    void propertiesHaveTheirDBusTypes_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QVariant>("value"); // invalid: not compared
        const QString item = StatusNotifierItem::kItemPath;
        const QString menu = StatusNotifierItem::kMenuPath;
        auto row = [](const QString& path, const QString& interface, const char* property, const char* signature,
                      const QVariant& value = {}) {
            QTest::addRow("%s", property)
                << path << interface << QString::fromLatin1(property) << QString::fromLatin1(signature) << value;
        };
        row(item, kItemInterface, "Id", "s", u"com.tolvik.Rubbly"_s);
        row(item, kItemInterface, "Category", "s", u"ApplicationStatus"_s);
        row(item, kItemInterface, "Title", "s", u"Rubbly"_s);
        row(item, kItemInterface, "Status", "s", u"Active"_s);
        row(item, kItemInterface, "WindowId", "i");
        row(item, kItemInterface, "IconName", "s", u"com.tolvik.Rubbly-symbolic"_s);
        row(item, kItemInterface, "IconThemePath", "s", u"/icons"_s);
        row(item, kItemInterface, "IconPixmap", "a(iiay)");
        row(item, kItemInterface, "OverlayIconPixmap", "a(iiay)");
        row(item, kItemInterface, "AttentionIconPixmap", "a(iiay)");
        row(item, kItemInterface, "ToolTip", "(sa(iiay)ss)");
        row(item, kItemInterface, "ItemIsMenu", "b", false);
        row(item, kItemInterface, "Menu", "o", QVariant::fromValue(QDBusObjectPath(menu)));
        row(item, kItemInterface, "XAyatanaLabel", "s", u"1.5 GB"_s);
        row(item, kItemInterface, "XAyatanaLabelGuide", "s", u"888.8 GB"_s);
        row(item, kItemInterface, "XAyatanaOrderingIndex", "u");
        row(menu, kMenuInterface, "Version", "u", 3u);
        row(menu, kMenuInterface, "TextDirection", "s", u"ltr"_s);
        row(menu, kMenuInterface, "Status", "s", u"normal"_s);
    }

    void propertiesHaveTheirDBusTypes()
    {
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QString, property);
        QFETCH(QString, signature);
        QFETCH(QVariant, value);
        m_item->setIcon({u"com.tolvik.Rubbly-symbolic"_s, u"/icons"_s, {}});
        m_item->setLabel(u"1.5 GB"_s);
        startItem();

        const QVariantMap properties = allProperties(path, interface);
        QVERIFY2(properties.contains(property), qPrintable(properties.keys().join(u' ')));
        QCOMPARE(signatureOf(properties.value(property)), signature);
        if (value.isValid())
            QCOMPARE(properties.value(property), value);
    }

    // QtDBus leaves out, without a word, a member whose types it cannot marshal.
    void exportsEveryMemberOfTheProtocols_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("interface");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("item") << StatusNotifierItem::kItemPath << kItemInterface
                              << QStringList{u"method Activate(ii->)"_s,
                                             u"method SecondaryActivate(ii->)"_s,
                                             u"method ContextMenu(ii->)"_s,
                                             u"method Scroll(is->)"_s,
                                             u"method ProvideXdgActivationToken(s->)"_s,
                                             u"signal NewTitle()"_s,
                                             u"signal NewIcon()"_s,
                                             u"signal NewAttentionIcon()"_s,
                                             u"signal NewOverlayIcon()"_s,
                                             u"signal NewToolTip()"_s,
                                             u"signal NewStatus(s)"_s,
                                             u"signal XAyatanaNewLabel(ss)"_s};
        QTest::newRow("menu")
            << StatusNotifierItem::kMenuPath << kMenuInterface
            << QStringList{u"method GetLayout(iias->u(ia{sv}av))"_s, u"method GetGroupProperties(aias->a(ia{sv}))"_s,
                           u"method GetProperty(is->v)"_s,           u"method Event(isvu->)"_s,
                           u"method EventGroup(a(isvu)->ai)"_s,      u"method AboutToShow(i->b)"_s,
                           u"method AboutToShowGroup(ai->aiai)"_s,   u"signal LayoutUpdated(ui)"_s,
                           u"signal ItemActivationRequested(iu)"_s};
    }

    void exportsEveryMemberOfTheProtocols()
    {
        QFETCH(QString, path);
        QFETCH(QString, interface);
        QFETCH(QStringList, members);
        startItem();
        const QString xml =
            call(path, u"org.freedesktop.DBus.Introspectable"_s, u"Introspect"_s).arguments().value(0).toString();
        // Each member as "method Name(in->out)" or "signal Name(arguments)", types in order.
        QStringList found;
        QXmlStreamReader reader(xml);
        QString current, kind, name, in, out;
        while (!reader.atEnd()) {
            reader.readNext();
            const QString element = reader.name().toString();
            const auto attribute = [&reader](const char* key) {
                return reader.attributes().value(QLatin1String(key)).toString();
            };
            if (reader.isStartElement() && element == u"interface"_s)
                current = attribute("name");
            else if (reader.isStartElement() && current == interface &&
                     (element == u"method"_s || element == u"signal"_s))
                std::tie(kind, name, in, out) = std::tuple(element, attribute("name"), QString(), QString());
            else if (reader.isStartElement() && element == u"arg"_s && !kind.isEmpty())
                (attribute("direction") == u"out"_s ? out : in) += attribute("type");
            else if (reader.isEndElement() && element == kind && !kind.isEmpty()) {
                found.append(u"%1 %2(%3)"_s.arg(kind, name, kind == u"signal"_s ? out + in : in + u"->"_s + out));
                kind.clear();
            }
        }
        for (const QString& member : members)
            QVERIFY2(found.contains(member), qPrintable(member + u" not in: "_s + found.join(u',')));
    }

    void iconPixmapsReachTheHostAsArgbInNetworkOrder()
    {
        m_item->setIcon(
            {trayicons::iconName(), {}, trayicons::renderPixmaps(trayicons::resourcePath(), QColor(0x12, 0x34, 0x56))});
        startItem();
        const auto pixmaps = qdbus_cast<StatusIconPixmapList>(itemProperty(u"IconPixmap"_s));
        QList<int> sizes;
        for (const StatusIconPixmap& pixmap : pixmaps) {
            sizes.append(pixmap.width);
            QCOMPARE(pixmap.height, pixmap.width);
            QCOMPARE(pixmap.argb.size(), pixmap.width * pixmap.height * 4);
            // The corner is clear; the middle of the lid is opaque, in the colour asked for, alpha first.
            QCOMPARE(quint8(pixmap.argb.at(0)), quint8(0));
            const int x = pixmap.width / 2;
            const int y = pixmap.width * 4 / 16;
            const QByteArray pixel = pixmap.argb.mid((y * pixmap.width + x) * 4, 4);
            QCOMPARE(pixel, QByteArray::fromHex("ff123456"));
        }
        QCOMPARE(sizes, trayicons::kPixmapSizes);
    }

    void changesAreSignalledOnceEach()
    {
        startItem();
        DBusSignalRecorder* labels = record(u"XAyatanaNewLabel"_s);
        DBusSignalRecorder* toolTips = record(u"NewToolTip"_s);
        DBusSignalRecorder* icons = record(u"NewIcon"_s);
        DBusSignalRecorder* statuses = record(u"NewStatus"_s);
        const StatusNotifierItem::Icon icon{u"a"_s, {}, {{1, 1, QByteArray(4, '\xff')}}};

        m_item->setLabel(u"1 GB"_s);
        m_item->setLabel(u"1 GB"_s);
        m_item->setLabel(u"正在清理…"_s);
        m_item->setLabel(QString());
        m_item->setIcon(icon);
        m_item->setIcon(icon);
        m_item->setItemStatus(StatusNotifierItem::ItemStatus::Active);
        m_item->setItemStatus(StatusNotifierItem::ItemStatus::NeedsAttention);
        // A round trip, so every signal sent before it has arrived.
        allProperties(StatusNotifierItem::kItemPath, kItemInterface);

        const QList<QList<QVariant>> expectedLabels{
            {u"1 GB"_s, u"888.8 GB"_s},
            {u"正在清理…"_s, u"888.8 GB"_s},
            {QString(), u"888.8 GB"_s},
        };
        QCOMPARE(labels->received, expectedLabels);
        QCOMPARE(toolTips->received.size(), 4); // three labels and the icon's new name
        QCOMPARE(icons->received.size(), 1);
        QCOMPARE(statuses->received, QList<QList<QVariant>>{{u"NeedsAttention"_s}});

        const auto toolTip = qdbus_cast<StatusToolTip>(itemProperty(u"ToolTip"_s));
        m_item->setLabel(u"2 MB"_s);
        const auto labelled = qdbus_cast<StatusToolTip>(itemProperty(u"ToolTip"_s));
        QCOMPARE(toolTip.title, u"Rubbly"_s);
        QCOMPARE(toolTip.description, QString());
        QCOMPARE(labelled.description, u"2 MB"_s);
    }

    void hostCallsReachTheApplication()
    {
        startItem();
        QSignalSpy activated(m_item.get(), &StatusItem::activated);
        QSignalSpy contextMenu(m_item.get(), &StatusNotifierItem::contextMenuRequested);
        const auto host = [this](const QString& method, const QVariantList& arguments) {
            return call(StatusNotifierItem::kItemPath, kItemInterface, method, arguments).type();
        };
        QCOMPARE(host(u"ProvideXdgActivationToken"_s, {u"tok-1"_s}), QDBusMessage::ReplyMessage);
        QCOMPARE(host(u"Activate"_s, {10, 20}), QDBusMessage::ReplyMessage);
        host(u"ContextMenu"_s, {30, 40});
        host(u"SecondaryActivate"_s, {1, 2});
        host(u"Scroll"_s, {120, u"vertical"_s});

        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated.first().value(0).toPoint(), QPoint(10, 20));
        QCOMPARE(activated.first().value(1).toBool(), true);
        QCOMPARE(contextMenu.size(), 1);
        QCOMPARE(contextMenu.first().value(0).toPoint(), QPoint(30, 40));
        QCOMPARE(m_item->xdgActivationToken(), u"tok-1"_s);
    }

    void menuLayoutAnswersByDepthAndParent()
    {
        startItem();
        const QDBusMessage reply = menuCall(u"GetLayout"_s, {0, -1, QStringList()});
        QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
        QCOMPARE(reply.signature(), u"u(ia{sv}av)"_s);
        const auto root = qdbus_cast<DBusMenuLayoutItem>(reply.arguments().value(1));
        QCOMPARE(root.id, 0);
        QCOMPARE(root.properties.value(u"children-display"_s).toString(), u"submenu"_s);
        QCOMPARE(root.children.size(), 5); // their labels: aHostReadingAtRegistrationKeepsTheWholeItem

        // Depth 0 is the root alone; an unknown parent is an error, not an empty menu.
        const QDBusMessage shallow = menuCall(u"GetLayout"_s, {0, 0, QStringList()});
        QVERIFY(qdbus_cast<DBusMenuLayoutItem>(shallow.arguments().value(1)).children.isEmpty());
        QCOMPARE(menuCall(u"GetLayout"_s, {42, -1, QStringList()}).type(), QDBusMessage::ErrorMessage);
    }

    void menuClickTriggersItsAction_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<StatusItem::MenuAction>("action");
        QTest::newRow("打开面板") << 1 << StatusItem::MenuAction::OpenPanel;
        QTest::newRow("清空废纸篓…") << 2 << StatusItem::MenuAction::EmptyTrash;
        QTest::newRow("偏好设置…") << 3 << StatusItem::MenuAction::Settings;
        QTest::newRow("退出 Rubbly") << 5 << StatusItem::MenuAction::Quit;
    }

    void menuClickTriggersItsAction()
    {
        QFETCH(int, id);
        QFETCH(StatusItem::MenuAction, action);
        startItem();
        QSignalSpy triggered(m_item.get(), &StatusItem::menuActionTriggered);
        const auto event = [this](int entry, const QString& type) {
            return menuCall(u"Event"_s, {entry, type, QVariant::fromValue(QDBusVariant(0)), 0u});
        };
        // Hovering and opening do nothing; the separator is not clickable.
        menuCall(u"AboutToShow"_s, {0});
        event(id, u"hovered"_s);
        event(4, u"clicked"_s);
        QCOMPARE(triggered.size(), 0);
        QCOMPARE(event(id, u"clicked"_s).type(), QDBusMessage::ReplyMessage);
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(triggered.first().value(0).value<StatusItem::MenuAction>(), action);
    }
};

QTEST_MAIN(StatusNotifierItemTest)
#include "StatusNotifierItemTest.moc"
