// What the FIDO2 transcripts cannot say: the form of the credential identifiers each model
// makes up.
#include "common/simkey.h"

#include <QtTest>

class TestFidoSim : public QObject
{
    Q_OBJECT

private slots:
    void credentialIdsAreDistinctHex_data();
    void credentialIdsAreDistinctHex();
};

void TestFidoSim::credentialIdsAreDistinctHex_data()
{
    QTest::addColumn<QString>("model");
    QTest::newRow("R8") << "R8";
    QTest::newRow("R22") << "R22";
}

void TestFidoSim::credentialIdsAreDistinctHex()
{
    QFETCH(QString, model);
    SimKey key(model);
    QVERIFY(key.sim.start());
    QCOMPARE(key.sw(" fido set-pin -p 31323334"), 0x9000u);

    const JSON_OBJ list = key.ask(" fido get-resident-credentials -p 31323334");
    QVERIFY(list.DATA.size() >= 3);
    QSet<QByteArray> ids;
    for (const TextMap& credential : list.DATA) {
        QVERIFY(QRegularExpression("^[0-9a-f]{64}$").match(credential.value("CREDENTIAL_ID")).hasMatch());
        ids.insert(credential.value("CREDENTIAL_ID"));
    }
    QCOMPARE(ids.size(), list.DATA.size());
}

QTEST_GUILESS_MAIN(TestFidoSim)
#include "tst_fidosim.moc"
