#include "TrashEntryFilterModel.h"

#include <QTest>

using namespace rubbly;

namespace {

// Trashed a day apart in this order (the last newest), each a little larger than the one before
// except the folder, the largest; the clash copy and the undated entry have no neighbour in date.
std::shared_ptr<const TrashEntryList> sampleTrash()
{
    struct Sample {
        const char* name;     // in files/
        const char* original; // nullptr: no info file
        qint64 size;
        int day; // -1: no deletion date
    };
    const Sample samples[] = {
        {"Report.txt", "/home/u/Docs/Report.txt", 100, 1}, {"年度报告.pdf", "/home/u/文档/年度报告.pdf", 200, 2},
        {"été.ogg", "/home/u/Musique/été.ogg", 300, 3},    {"report.2.txt", "/home/u/old/Report.txt", 400, 4},
        {"Photos", "/media/usb/DCIM/Photos", 9000, 5},     {"stray.bin", nullptr, 500, -1},
    };
    TrashEntryList list;
    for (const Sample& sample : samples) {
        TrashItemDetail item;
        item.path = QByteArray("/home/u/.local/share/Trash/files/") + sample.name;
        item.trashFolder = "/home/u/.local/share/Trash";
        item.size = sample.size;
        if (sample.original)
            item.originalPath = QByteArray(sample.original);
        if (sample.day >= 0)
            item.deletionDate = Timestamp(std::chrono::days(20000 + sample.day));
        list.append(item);
    }
    list.finish();
    return std::make_shared<const TrashEntryList>(std::move(list));
}

QStringList texts(std::initializer_list<const char*> list)
{
    QStringList result;
    for (const char* text : list)
        result.append(QString::fromUtf8(text));
    return result;
}

QStringList shown(const TrashEntryFilterModel& model)
{
    QStringList names;
    for (int row = 0; row < model.rowCount(); ++row)
        names.append(QString::fromUtf8(model.entries()->trashName(model.entryAt(row))));
    return names;
}

} // namespace

class TrashEntryFilterTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matchesAnyPartOfTheNameOrOriginalPath_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("names");
        const auto row = [](const char* what, const char* query, std::initializer_list<const char*> names) {
            QTest::newRow(what) << QString::fromUtf8(query) << texts(names);
        };
        row("nothing typed: everything, newest first, the undated last", "",
            {"Photos", "report.2.txt", "été.ogg", "年度报告.pdf", "Report.txt", "stray.bin"});
        row("case is ignored", "REPORT", {"report.2.txt", "Report.txt"});
        row("the name in files/ after a clash counts too", "report.2", {"report.2.txt"});
        row("a folder of the original path", "docs/", {"Report.txt"});
        row("the volume it came from", "/media", {"Photos"});
        row("Chinese in the name", "报告", {"年度报告.pdf"});
        row("Chinese in the folder", "文档", {"年度报告.pdf"});
        row("accented capitals fold", "ÉTÉ", {"été.ogg"});
        row("spaces around the query are not part of it", "  stray ", {"stray.bin"});
        row("no entry", "zzz", {});
    }
    void matchesAnyPartOfTheNameOrOriginalPath()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, names);
        TrashEntryFilterModel model;
        model.setEntries(sampleTrash());
        model.setQuery(query);
        QCOMPARE(shown(model), names);
    }

    // Typing on narrows the last matches; deleting a character, or changing the order, searches the
    // whole listing again. Each must give what a fresh search gives.
    void narrowingAndReorderingAgreeWithAFreshSearch()
    {
        TrashEntryFilterModel model;
        model.setEntries(sampleTrash());
        for (const char* typed : {"r", "re", "rep", "re", "", "port"})
            model.setQuery(QString::fromUtf8(typed));
        QCOMPARE(shown(model), texts({"report.2.txt", "Report.txt"}));
        model.setOrder(TrashListOrder::LargestFirst);
        model.setQuery(QStringLiteral("t"));
        QCOMPARE(shown(model), texts({"Photos", "stray.bin", "report.2.txt", "été.ogg", "Report.txt"}));
        QCOMPARE(model.entries()->displayName(model.entryAt(2)), QStringLiteral("Report.txt"));
        QCOMPARE(model.entries()->originalFolder(model.entryAt(2)), QStringLiteral("/home/u/old"));
        model.setEntries(nullptr);
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TrashEntryFilterTest)
#include "TrashEntryFilterTest.moc"
