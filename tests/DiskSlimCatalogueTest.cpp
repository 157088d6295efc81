#include "DiskSlimCatalogue.h"

#include <QSet>
#include <QTest>

using namespace rubbly;

class DiskSlimCatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fortyNineCategoriesInSevenContiguousGroups()
    {
        const auto& catalogue = diskSlimCatalogue();
        QCOMPARE(int(catalogue.size()), 49);
        int lastGroup = 0;
        for (int i = 0; i < kDiskSlimCategoryCount; ++i) {
            QCOMPARE(catalogue[i].category, static_cast<DiskSlimCategory>(i));
            const int group = static_cast<int>(catalogue[i].group);
            QVERIFY2(group >= lastGroup, catalogue[i].rowID); // contiguous, in group order
            lastGroup = group;
        }
        QCOMPARE(lastGroup, kDiskSlimGroupCount - 1);
    }

    void titlesAndRowLabelsAreUniqueAndExact()
    {
        QSet<QString> titles;
        QSet<QString> rows;
        for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
            titles.insert(QString::fromUtf16(info.title));
            rows.insert(QString::fromLatin1(info.rowID));
            QCOMPARE(diskSlimCategoryFromTitle(QString::fromUtf16(info.title)), std::optional(info.category));
            QCOMPARE(diskSlimCategoryFromRowID(QString::fromLatin1(info.rowID)), std::optional(info.category));
        }
        QCOMPARE(titles.size(), 49);
        QCOMPARE(rows.size(), 49);
        QVERIFY(!diskSlimCategoryFromTitle(u"Xcode 派生数据 ")); // exact titles only
        // The installers' label before it named Linux packages still reaches them.
        QCOMPARE(diskSlimCategoryFromRowID(u"downloaded-dmg-pkgs"), std::optional(DiskSlimCategory::DmgInstallers));
        QCOMPARE(diskSlimGroupFromTitle(u"系统与诊断日志"), std::optional(DiskSlimGroup::System));
    }

    void noCandidateReachesTheTrashOrLeavesHome()
    {
        // Relative, never climbing, never the Trash, inside it or a folder holding it.
        for (const DiskSlimCategoryInfo& info : diskSlimCatalogue()) {
            for (const QString& path : info.relativePaths)
                QVERIFY2(!path.startsWith(u'/') && !path.split(u'/').contains(u"..") && !path.contains(u"Trash") &&
                             !QStringLiteral(".local/share/Trash").startsWith(path + u'/'),
                         qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(DiskSlimCatalogueTest)
#include "DiskSlimCatalogueTest.moc"
