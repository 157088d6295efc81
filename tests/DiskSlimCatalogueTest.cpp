#include "DiskSlimCatalogue.h"

#include <QTest>

using namespace rubbly;

class DiskSlimCatalogueTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A stored snapshot and the command line find a category by its exact title or row label, each
    // naming one category.
    void categoriesAreFoundByTitleOrLabel()
    {
        for (int i = 0; i < kDiskSlimCategoryCount; ++i) {
            const DiskSlimCategoryInfo& info = diskSlimCatalogue()[i];
            QCOMPARE(info.category, static_cast<DiskSlimCategory>(i));
            QCOMPARE(diskSlimCategoryFromTitle(QString::fromUtf16(info.title)), std::optional(info.category));
            QCOMPARE(diskSlimCategoryFromRowID(QString::fromLatin1(info.rowID)), std::optional(info.category));
        }
        // The installers' label before it named Linux packages still reaches them.
        QCOMPARE(diskSlimCategoryFromRowID(u"downloaded-dmg-pkgs"), std::optional(DiskSlimCategory::DmgInstallers));
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

    // One row per shape of secret: the purge deletes around every one of them.
    void secretsAreRecognisedByName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<bool>("secret");
        // Keys and key stores, password databases and key rings, browser profiles' login and cookie
        // stores, tokens, cloud, cluster and container credentials, password dotfiles; '+' is a space.
        const QByteArray secrets =
            "id_ed25519 id_rsa-cert.pub .ssh server.PEM work.ppk debug.keystore me.p12 .gnupg notes.txt.gpg "
            "Passwords.kdbx vault.psafe3 .password-store keyrings login.keyring kdewallet.kwl Login+Data "
            "Login+Data+For+Account-journal Cookies Extension+Cookies Web+Data Local+State logins.json key4.db "
            "cookies.sqlite-wal token .vault-token .aws credentials application_default_credentials.json "
            "access_tokens.db .azure .s3cfg .boto .kube kubeconfig .docker .dockercfg auth.json oauth_creds.json "
            "oauth-keys.env .netrc .git-credentials .npmrc .pgpass .my.cnf";
        for (QByteArray name : secrets.split(' ')) {
            name.replace('+', ' ');
            QTest::newRow(name.constData()) << name << true;
        }
        for (const char* name : {"config.json", "config", "Cache", "cookie-parser", "data.gpg.part", "venv", "keys"})
            QTest::newRow(name) << QByteArray(name) << false;
    }
    void secretsAreRecognisedByName()
    {
        QFETCH(QByteArray, name);
        QFETCH(bool, secret);
        QCOMPARE(isCredentialName(name.constData()), secret);
    }
};

QTEST_GUILESS_MAIN(DiskSlimCatalogueTest)
#include "DiskSlimCatalogueTest.moc"
