#include "app/json.h"

#include <QtTest>

using Map = TextMap;
Q_DECLARE_METATYPE(Map)

class TestJson : public QObject
{
    Q_OBJECT

private:
    static JSON_OBJ parse(JSON& parser, const QByteArray& text)
    {
        const char* cursor = text.constData();
        return parser.Parse(cursor);
    }

private slots:
    void shapes_data();
    void shapes();
    void cursorStopsOnClosingBrace();
    void notAnObjectLeavesCursor();
    void reparseGivesSameResult_data();
    void reparseGivesSameResult();
    void endOfTextInsideValues_data();
    void endOfTextInsideValues();
    void deepNestingEndsWithoutCrash();
    void getValueAfterParseIsEmpty();
};

void TestJson::shapes_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<quint32>("sw");
    QTest::addColumn<QByteArray>("info");
    QTest::addColumn<QVector<Map>>("data");

    QTest::newRow("empty object") << QByteArray("{}") << 0u << QByteArray() << QVector<Map>();
    QTest::newRow("single quotes") << QByteArray("{'SW':'6984','INFO':'x'}") << 0x6984u << QByteArray("x")
                                   << QVector<Map>();
    QTest::newRow("mixed quotes close each other")
        << QByteArray("{\"SW':\"9000\",'INFO\":'a\"}") << 0x9000u << QByteArray("a") << QVector<Map>();
    QTest::newRow("array of objects with literals")
        << QByteArray("{\"SW\":\"9000\",\"DATA\":[{\"A\":\"1\",\"B\":true},{\"A\":\"2\",\"C\":None}]}") << 0x9000u
        << QByteArray() << QVector<Map>{{{"A", "1"}, {"B", "TRUE"}}, {{"A", "2"}, {"C", ""}}};
    QTest::newRow("capitalised literals") << QByteArray("{\"SW\":\"9000\",\"A\":False,\"B\":True}") << 0x9000u
                                          << QByteArray() << QVector<Map>{{{"A", "FALSE"}, {"B", "TRUE"}}};
    QTest::newRow("all-capitals literal is malformed")
        << QByteArray("{\"SW\":\"9000\",\"A\":NONE}") << 0x9000u << QByteArray() << QVector<Map>();
    QTest::newRow("nested object is one map")
        << QByteArray("{\"SW\": \"9000\", \"DATA\": {\"NAME\":\"k\",\"PID\":\"1\"}}") << 0x9000u << QByteArray()
        << QVector<Map>{{{"NAME", "k"}, {"PID", "1"}}};
    QTest::newRow("nested object ends the outer one")
        << QByteArray("{\"SW\":\"9000\",\"DATA\":{\"A\":\"1\"},\"INFO\":\"late\",\"B\":\"2\"}") << 0x9000u
        << QByteArray() << QVector<Map>{{{"A", "1"}}};
    QTest::newRow("members before a nested object join it")
        << QByteArray("{\"SW\":\"9000\",\"X\":\"0\",\"DATA\":{\"A\":\"1\"}}") << 0x9000u << QByteArray()
        << QVector<Map>{{{"A", "1"}, {"X", "0"}}};
    QTest::newRow("unquoted status") << QByteArray("{\"SW\": 9000, \"NAME\": \"x\"}") << 0x9000u << QByteArray()
                                     << QVector<Map>{{{"NAME", "x"}}};
    QTest::newRow("status with 0x and blanks")
        << QByteArray("{\"SW\":\" 0x80900002\"}") << 0x80900002u << QByteArray() << QVector<Map>();
    QTest::newRow("status without digits stays")
        << QByteArray("{\"SW\":\"zz\"}") << 0u << QByteArray() << QVector<Map>();
    QTest::newRow("first key wins") << QByteArray("{\"A\":\"1\",\"A\":\"2\"}") << 0u << QByteArray()
                                    << QVector<Map>{{{"A", "1"}}};
    QTest::newRow("null is malformed") << QByteArray("{\"SW\":\"9000\",\"X\":null}") << 0x9000u << QByteArray()
                                       << QVector<Map>();
    QTest::newRow("members before an array are dropped, after it form a map")
        << QByteArray("{\"X\":\"0\",\"DATA\":[{\"A\":\"1\"}],\"Y\":\"2\"}") << 0u << QByteArray()
        << QVector<Map>{{{"A", "1"}}, {{"Y", "2"}}};
    QTest::newRow("backslash is an ordinary byte")
        << QByteArray("{\"A\":\"x\\\",\"B\":\"y\"}") << 0u << QByteArray() << QVector<Map>{{{"A", "x\\"}, {"B", "y"}}};
    QTest::newRow("unquoted value keeps byte after blanks")
        << QByteArray("{\"A\":ab cd,\"B\":e ,f}") << 0u << QByteArray() << QVector<Map>{{{"A", "abcd"}, {"B", "e,f"}}};
    QTest::newRow("not an object") << QByteArray(" {\"SW\":\"9000\"}") << 0u << QByteArray() << QVector<Map>();
    QTest::newRow("text after the first object is ignored")
        << QByteArray("{\"SW\":\"6984\"}{\"SW\":\"9000\",\"A\":\"1\"}") << 0x6984u << QByteArray() << QVector<Map>();
    QTest::newRow("non-object array elements yield nothing")
        << QByteArray("{\"DATA\":[1, \"x\", {}, {\"A\":\"1\"}]}") << 0u << QByteArray() << QVector<Map>{{{"A", "1"}}};
    QTest::newRow("literal then blank breaks the next member")
        << QByteArray("{\"SW\":\"9000\",\"A\":true ,\"B\":\"1\"}") << 0x9000u << QByteArray() << QVector<Map>();
}

void TestJson::shapes()
{
    QFETCH(QByteArray, text);
    QFETCH(quint32, sw);
    QFETCH(QByteArray, info);
    QFETCH(QVector<Map>, data);
    JSON parser;
    const JSON_OBJ r = parse(parser, text);
    QCOMPARE(r.SW, sw);
    QCOMPARE(r.INFO, info);
    QCOMPARE(r.DATA, data);
}

void TestJson::cursorStopsOnClosingBrace()
{
    JSON parser;
    const QByteArray text("{\"SW\":\"9000\"} tail");
    const char* cursor = text.constData();
    parser.Parse(cursor);
    QCOMPARE(*cursor, '}');
    QCOMPARE(int(cursor - text.constData()), text.indexOf('}'));
}

void TestJson::notAnObjectLeavesCursor()
{
    JSON parser;
    const QByteArray text("garbage");
    const char* cursor = text.constData();
    QCOMPARE(parser.Parse(cursor).SW, 0u);
    QCOMPARE(cursor, text.constData());
}

void TestJson::reparseGivesSameResult_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("complete") << QByteArray("{\"SW\":\"9000\",\"A\":\"1\"}");
    QTest::newRow("malformed mid-object") << QByteArray("{\"A\":\"1\",\"B\":nope}");
    QTest::newRow("truncated") << QByteArray("{\"A\":\"1\",\"B\":\"2");
}

void TestJson::reparseGivesSameResult()
{
    QFETCH(QByteArray, text);
    JSON parser;
    const JSON_OBJ first = parse(parser, text);
    const JSON_OBJ second = parse(parser, text);
    QCOMPARE(second.SW, first.SW);
    QCOMPARE(second.DATA, first.DATA);
    QVERIFY(parser.GetValue("A").isEmpty());
}

void TestJson::endOfTextInsideValues_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("in key") << QByteArray("{\"SW");
    QTest::newRow("before colon") << QByteArray("{\"SW\"");
    QTest::newRow("in quoted value") << QByteArray("{\"SW\":\"9000");
    QTest::newRow("in unquoted value") << QByteArray("{\"SW\":9000");
    QTest::newRow("after blank in unquoted value") << QByteArray("{\"A\":x ");
    QTest::newRow("in literal") << QByteArray("{\"A\":tr");
    QTest::newRow("in array") << QByteArray("{\"DATA\":[{\"A\":\"1\"},");
    QTest::newRow("in nested object") << QByteArray("{\"DATA\":{\"A\":\"1\"");
    QTest::newRow("after separator") << QByteArray("{\"A\":\"1\",");
}

// Truncated replies end the parse at the terminating NUL with nothing half-built appended.
void TestJson::endOfTextInsideValues()
{
    QFETCH(QByteArray, text);
    JSON parser;
    const char* cursor = text.constData();
    const JSON_OBJ r = parser.Parse(cursor);
    QVERIFY(cursor <= text.constData() + text.size());
    for (const Map& map : r.DATA)
        QVERIFY(!map.isEmpty());
    QVERIFY(parser.GetValue("A").isEmpty());
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

void TestJson::getValueAfterParseIsEmpty()
{
    JSON parser;
    parse(parser, "{\"NAME\":\"x\"}");
    QVERIFY(parser.GetValue("NAME").isEmpty());
}

QTEST_APPLESS_MAIN(TestJson)
#include "tst_json.moc"
