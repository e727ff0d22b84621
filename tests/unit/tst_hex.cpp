#include "support/hex.h"

#include <QtTest>

class TestHex : public QObject
{
    Q_OBJECT

private slots:
    void str2HexStr_data();
    void str2HexStr();
    void upperHex_data();
    void upperHex();
    void upperHexEveryByte();
};

void TestHex::str2HexStr_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("ascii") << QStringLiteral("abc") << QStringLiteral("616263");
    QTest::newRow("two-byte utf-8") << QStringLiteral("\u00e9") << QStringLiteral("c3a9");
    QTest::newRow("three-byte utf-8") << QStringLiteral("\u20ac") << QStringLiteral("e282ac");
    QTest::newRow("four-byte utf-8") << QString::fromUtf8("\xf0\x9f\x94\x91") << QStringLiteral("f09f9491");
}

void TestHex::str2HexStr()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QString result = QStringLiteral("previous content");
    Str2HexStr(in, result);
    QCOMPARE(result, out);
}

void TestHex::upperHex_data()
{
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("empty clears") << QByteArray() << QByteArray();
    QTest::newRow("abc") << QByteArray("abc") << QByteArray("616263");
    QTest::newRow("newline") << QByteArray("\n") << QByteArray("0A");
    QTest::newRow("zero byte does not end") << QByteArray("a\0b", 3) << QByteArray("610062");
}

void TestHex::upperHex()
{
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    std::string result = "stale";
    u1_2_hex_str(reinterpret_cast<unsigned char*>(in.data()), unsigned(in.size()), result);
    QCOMPARE(QByteArray::fromStdString(result), out);
}

void TestHex::upperHexEveryByte()
{
    unsigned char all[256];
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<unsigned char>(i);
    std::string result;
    u1_2_hex_str(all, 256, result);
    QCOMPARE(QByteArray::fromStdString(result), QByteArray(reinterpret_cast<char*>(all), 256).toHex().toUpper());
}

QTEST_APPLESS_MAIN(TestHex)
#include "tst_hex.moc"
