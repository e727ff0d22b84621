#include "app/backendpath.h"
#include "app/buildinfo.h"

#include <QtTest>

// An installed manager must drive the helper installed beside it, not the build folder's.
class TestBackendPath : public QObject
{
    Q_OBJECT

private slots:
    void helperBesideTheManager_data();
    void helperBesideTheManager();
};

void TestBackendPath::helperBesideTheManager_data()
{
    QTest::addColumn<bool>("helperInstalled");
    QTest::addColumn<bool>("runnable");
    QTest::newRow("installed") << true << true;
    QTest::newRow("build folder") << false << false;
    QTest::newRow("helper not runnable") << true << false;
}

void TestBackendPath::helperBesideTheManager()
{
    if (kInstalledBackend[0] == '\0')
        QSKIP("this build drives a fixed backend, so nothing is looked up beside the manager");
    QFETCH(bool, helperInstalled);
    QFETCH(bool, runnable);
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("usr/bin"));
    const QString helper = QDir::cleanPath(QDir(bin).filePath(QLatin1String(kInstalledBackend)));
    QVERIFY(QDir().mkpath(bin));
    if (helperInstalled) {
        QVERIFY(QDir().mkpath(QFileInfo(helper).path()));
        QFile file(helper);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner |
                                    (runnable ? QFile::ExeOwner : QFile::Permissions())));
    }
    QCOMPARE(defaultBackendPath(bin), helperInstalled && runnable ? helper : QString::fromLatin1(kBuiltInBackend));
}

QTEST_GUILESS_MAIN(TestBackendPath)
#include "tst_backendpath.moc"
