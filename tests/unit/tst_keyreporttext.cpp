// The key report's plain-text view: one line per fact, named as in the JSON file.
#include "app/keyreporttext.h"

#include <QJsonArray>
#include <QtTest>

class TestKeyReportText : public QObject
{
    Q_OBJECT

private slots:
    void linesNameTheFields_data();
    void linesNameTheFields();
};

void TestKeyReportText::linesNameTheFields_data()
{
    QTest::addColumn<QJsonObject>("report");
    QTest::addColumn<QString>("text");
    QTest::newRow("nested object, number, flag")
        << QJsonObject{{"device", QJsonObject{{"serial", "4C7D13A8"}}},
                       {"fido", QJsonObject{{"pin_retries", 8}, {"pin_set", true}}}}
        << "device.serial: 4C7D13A8\nfido.pin_retries: 8\nfido.pin_set: yes";
    QTest::newRow("list on one line") << QJsonObject{{"transports", QJsonArray{"FIDO", "CCID"}}}
                                      << "transports: FIDO, CCID";
    QTest::newRow("records by index, null read as none")
        << QJsonObject{{"otp_slots", QJsonArray{QJsonObject{{"configured", false}}}},
                       {"piv_slots", QJsonObject{{"9c", QJsonValue::Null}}}}
        << "otp_slots[0].configured: no\npiv_slots.9c: none";
}

void TestKeyReportText::linesNameTheFields()
{
    QFETCH(QJsonObject, report);
    QFETCH(QString, text);
    QCOMPARE(KeyReportText::render(report), text);
}

QTEST_GUILESS_MAIN(TestKeyReportText)
#include "tst_keyreporttext.moc"
