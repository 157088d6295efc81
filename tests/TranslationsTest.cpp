#include "DiskSlimCatalogue.h"
#include "OtherSystemWords.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace rubbly;
using namespace rubbly::test;
using namespace Qt::StringLiterals;

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

QList<Message> readTs(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QXmlStreamReader xml(&file);
    QList<Message> messages;
    QString context;
    Message current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("message"))
            current = Message{context, {}, {}, {}};
        else if (xml.name() == QLatin1String("source"))
            current.source = xml.readElementText();
        else if (xml.name() == QLatin1String("translation")) {
            current.type = xml.attributes().value(QLatin1String("type")).toString();
            current.translation = xml.readElementText();
            messages.append(current);
        }
    }
    return messages;
}

} // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Everything the code asks to translate has a finished translation: lupdate over the sources,
    // into a copy of each file, leaves nothing unfinished and nothing stale. No text names another
    // system, but the slim categories, named after what they find, other systems' tools included.
    void everyTextOfTheCodeIsTranslatedAndNamesNoOtherSystem()
    {
        const QFileInfoList files = QDir(QStringLiteral(RUBBLY_SOURCE_DIR "/translations")).entryInfoList({u"*.ts"_s});
        QVERIFY(!files.isEmpty());
        for (const QFileInfo& file : files) {
            const QString ts = file.filePath();
            QTemporaryDir work;
            const QString copy = work.filePath(file.fileName());
            QVERIFY(QFile::copy(ts, copy));
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
            QProcess lupdate;
            lupdate.start(QStringLiteral(RUBBLY_LUPDATE), {u"-locations"_s, u"none"_s, u"-no-obsolete"_s, u"-silent"_s,
                                                           QStringLiteral(RUBBLY_SOURCE_DIR "/src"), u"-ts"_s, copy});
            QVERIFY(lupdate.waitForFinished(120000));
            QCOMPARE(lupdate.exitCode(), 0);
            QStringList unfinished;
            for (const Message& message : readTs(copy)) {
                if (!message.type.isEmpty() || message.translation.isEmpty())
                    unfinished.append(message.context + QStringLiteral(": ") + message.source);
                for (const QString& text : {message.source, message.translation})
                    QVERIFY2(message.context == QLatin1String("DiskSlimCategory") ||
                                 !otherSystemWords().match(text).hasMatch(),
                             qPrintable(text));
            }
            QVERIFY2(unfinished.isEmpty(), qPrintable(ts + u" lacks translations (write them into it by hand): "_s +
                                                      unfinished.join(u" | "_s)));
            QVERIFY2(readTs(copy).size() == readTs(ts).size(),
                     qPrintable(ts + u" holds texts the code no longer has: remove them"_s));
        }
    }

    // A slim category's Chinese name is its stored title, which the command line and the snapshot use,
    // so the panel never names it otherwise; the installers' row alone keeps a title that names another
    // system's formats. Each category's English name is its own.
    void slimCategoriesShowTheirTitleInChinese()
    {
        QHash<QString, QString> chinese;
        for (const Message& message : readTs(QStringLiteral(RUBBLY_SOURCE_DIR "/translations/rubbly_zh_CN.ts")))
            if (message.context == QLatin1String("DiskSlimCategory"))
                chinese.insert(message.source, message.translation);
        QSet<QString> names;
        for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
            const QString name = QString::fromUtf8(info.displayName);
            QVERIFY2(!names.contains(name), qPrintable(name));
            names.insert(name);
            if (info.category != DiskSlimCategory::DmgInstallers)
                QCOMPARE(chinese.value(name), QString::fromUtf16(info.title));
        }
    }
};

QTEST_GUILESS_MAIN(TranslationsTest)
#include "TranslationsTest.moc"
