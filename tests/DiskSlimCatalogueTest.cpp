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
        const std::pair<const char*, const char*> secrets[] = {
            {"ssh key", "id_ed25519"},
            {"ssh certificate", "id_rsa-cert.pub"},
            {"ssh folder", ".ssh"},
            {"certificate key in any case", "server.PEM"},
            {"putty key", "work.ppk"},
            {"java key store", "debug.keystore"},
            {"pkcs12 bundle", "me.p12"},
            {"gnupg folder", ".gnupg"},
            {"encrypted file", "notes.txt.gpg"},
            {"keepass database", "Passwords.kdbx"},
            {"password safe", "vault.psafe3"},
            {"pass store", ".password-store"},
            {"gnome keyring folder", "keyrings"},
            {"gnome keyring file", "login.keyring"},
            {"kwallet", "kdewallet.kwl"},
            {"chromium logins", "Login Data"},
            {"chromium logins journal", "Login Data For Account-journal"},
            {"chromium cookies", "Cookies"},
            {"chromium extension cookies", "Extension Cookies"},
            {"chromium autofill", "Web Data"},
            {"chromium cookie key", "Local State"},
            {"firefox logins", "logins.json"},
            {"firefox key database", "key4.db"},
            {"firefox cookies journal", "cookies.sqlite-wal"},
            {"hugging face token", "token"},
            {"vault token", ".vault-token"},
            {"aws folder", ".aws"},
            {"aws credentials", "credentials"},
            {"gcloud default credentials", "application_default_credentials.json"},
            {"gcloud tokens", "access_tokens.db"},
            {"azure folder", ".azure"},
            {"s3cmd", ".s3cfg"},
            {"boto", ".boto"},
            {"kubernetes folder", ".kube"},
            {"kubeconfig file", "kubeconfig"},
            {"docker folder", ".docker"},
            {"docker legacy config", ".dockercfg"},
            {"container auth", "auth.json"},
            {"gemini login", "oauth_creds.json"},
            {"env file", "oauth-keys.env"},
            {"netrc", ".netrc"},
            {"git credentials", ".git-credentials"},
            {"npm tokens", ".npmrc"},
            {"postgresql passwords", ".pgpass"},
            {"mysql passwords", ".my.cnf"},
        };
        for (const auto& [row, name] : secrets)
            QTest::newRow(row) << QByteArray(name) << true;
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
