#include "app/json.h"

#include <QtTest>

using Map = TextMap;
Q_DECLARE_METATYPE(Map)

class TestJson : public QObject
{
    Q_OBJECT

private slots:
    void shapes_data();
    void shapes();
    void deepNestingEndsWithoutCrash();

private:
    static void row(const char* name, const char* text, quint32 sw = 0, const QVector<Map>& data = {},
                    const char* info = "")
    {
        QTest::newRow(name) << QByteArray(text) << sw << QByteArray(info) << data;
    }
};

void TestJson::shapes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QVector<Map>>("data");

    row("empty object", "{}");
    row("single quotes", "{'SW':'6984','INFO':'x'}", 0x6984, {}, "x");
    row("mixed quotes close each other", R"({"SW':"9000",'INFO":'a"})", 0x9000, {}, "a");
    row("array of objects with literals", R"({"SW":"9000","DATA":[{"A":"1","B":true},{"A":"2","C":None}]})", 0x9000,
        {{{"A", "1"}, {"B", "TRUE"}}, {{"A", "2"}, {"C", ""}}});
    row("capitalised literals", R"({"SW":"9000","A":False,"B":True})", 0x9000, {{{"A", "FALSE"}, {"B", "TRUE"}}});
    row("nested object is one map", R"({"SW": "9000", "DATA": {"NAME":"k","PID":"1"}})", 0x9000,
        {{{"NAME", "k"}, {"PID", "1"}}});
    row("nested object ends the outer one", R"({"SW":"9000","DATA":{"A":"1"},"INFO":"late","B":"2"})", 0x9000,
        {{{"A", "1"}}});
    row("members before a nested object join it", R"({"SW":"9000","X":"0","DATA":{"A":"1"}})", 0x9000,
        {{{"A", "1"}, {"X", "0"}}});
    row("unquoted status", R"({"SW": 9000, "NAME": "x"})", 0x9000, {{{"NAME", "x"}}});
    row("status with 0x and blanks", R"({"SW":" 0x80900002"})", 0x80900002);
    row("status without digits stays", R"({"SW":"zz"})");
    row("first key wins", R"({"A":"1","A":"2"})", 0, {{{"A", "1"}}});
    row("null is malformed", R"({"SW":"9000","X":null})", 0x9000);
    row("members before an array are dropped, after it form a map", R"({"X":"0","DATA":[{"A":"1"}],"Y":"2"})", 0,
        {{{"A", "1"}}, {{"Y", "2"}}});
    row("backslash is an ordinary byte", R"({"A":"x\","B":"y"})", 0, {{{"A", "x\\"}, {"B", "y"}}});
    row("unquoted value keeps byte after blanks", R"({"A":ab cd,"B":e ,f})", 0, {{{"A", "abcd"}, {"B", "e,f"}}});
    row("not an object", R"( {"SW":"9000"})");
    row("a malformed element leaves nothing behind", R"({"DATA":[{"A":"1","B":nope},{"C":"2"}]})", 0, {{{"C", "2"}}});
    row("non-object array elements yield nothing", R"({"DATA":[1, "x", {}, {"A":"1"}]})", 0, {{{"A", "1"}}});
    row("literal then blank breaks the next member", R"({"SW":"9000","A":true ,"B":"1"})", 0x9000);
    // Truncated replies end at the terminating NUL with nothing half-built appended.
    row("ends in a key", R"({"SW)");
    row("ends before the colon", R"({"SW")");
    row("ends in a quoted value", R"({"SW":"9000)");
    row("ends in an unquoted value", R"({"SW":9000)", 0x9000);
    row("ends after a blank in an unquoted value", R"({"A":x )");
    row("ends in a literal", R"({"A":tr)");
    row("ends in an array", R"({"DATA":[{"A":"1"},)", 0, {{{"A", "1"}}});
    row("ends in a nested object", R"({"DATA":{"A":"1")");
    row("ends after a separator", R"({"A":"1",)");
}

void TestJson::shapes()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    QFETCH(QVector<Map>, data);
    JSON parser;
    for (int pass = 0; pass < 2; ++pass) { // nothing of one reply may stay for the next
        const char* cursor = text.constData();
        const JSON_OBJ r = parser.Parse(cursor);
        QVERIFY(cursor <= text.constData() + text.size());
        QCOMPARE(r.SW, sw);
        QCOMPARE(r.INFO, info);
        QCOMPARE(r.DATA, data);
    }
}

void TestJson::deepNestingEndsWithoutCrash()
{
    const QByteArray text = QByteArray("{\"a\":").repeated(100000) + "1" + QByteArray("}").repeated(100000);
    JSON parser;
    const char* cursor = text.constData();
    const JSON_OBJ r = parser.Parse(cursor);
    QVERIFY(r.DATA.isEmpty());
    QCOMPARE(cursor, text.constData() + text.size());
}

QTEST_APPLESS_MAIN(TestJson)
#include "tst_json.moc"
