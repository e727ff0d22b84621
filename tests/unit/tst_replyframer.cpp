#include "app/replyframer.h"

#include <QtTest>

class TestReplyFramer : public QObject
{
    Q_OBJECT

private slots:
    void splitReplyIsJoined();
    void mergedRepliesAreAllReturned();
    void bracesInsideQuotesDoNotCount_data();
    void bracesInsideQuotesDoNotCount();
    void nonObjectTextIsPassedOn();
    void blanksAloneGiveNothing();
    void partialObjectIsFlushed();
    void oversizedObjectIsNotHeldForEver();
    void clearDropsPending();
};

void TestReplyFramer::splitReplyIsJoined()
{
    ReplyFramer framer;
    QVERIFY(framer.feed("{\"SW\":\"90").isEmpty());
    QVERIFY(framer.hasPending());
    QCOMPARE(framer.feed("00\",\"DATA\":{\"A\":\"1\"}}\n"),
             QList<QByteArray>{"{\"SW\":\"9000\",\"DATA\":{\"A\":\"1\"}}"});
    QVERIFY(!framer.hasPending());
}

void TestReplyFramer::mergedRepliesAreAllReturned()
{
    ReplyFramer framer;
    const QList<QByteArray> got = framer.feed("{\"SW\":\"80900002\"}\n{\"SW\":\"9000\",\"DATA\":[{\"A\":\"1\"}]}\n");
    QCOMPARE(got, (QList<QByteArray>{"{\"SW\":\"80900002\"}", "{\"SW\":\"9000\",\"DATA\":[{\"A\":\"1\"}]}"}));
}

void TestReplyFramer::bracesInsideQuotesDoNotCount_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::newRow("both kinds") << QByteArray("{\"INFO\":\"a}b{\",'X':'}'}{\"SW\":1}")
                                << QList<QByteArray>{"{\"INFO\":\"a}b{\",'X':'}'}", "{\"SW\":1}"};
    // A removal event right behind must not be swallowed by a string the apostrophe seemed to open.
    QTest::newRow("apostrophe in a double-quoted value")
        << QByteArray("{\"SW\":\"6A80\",\"INFO\":\"Can't open the file\"}{\"SW\":\"80900001\"}")
        << QList<QByteArray>{"{\"SW\":\"6A80\",\"INFO\":\"Can't open the file\"}", "{\"SW\":\"80900001\"}"};
    QTest::newRow("brace after an apostrophe") << QByteArray("{\"NAME\":\"O'Brien {\"}{\"SW\":1}")
                                               << QList<QByteArray>{"{\"NAME\":\"O'Brien {\"}", "{\"SW\":1}"};
    QTest::newRow("double quote in a single-quoted value")
        << QByteArray("{'INFO':'say \"hi}','SW':'1'}{\"SW\":2}")
        << QList<QByteArray>{"{'INFO':'say \"hi}','SW':'1'}", "{\"SW\":2}"};
}

void TestReplyFramer::bracesInsideQuotesDoNotCount()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, replies);
    ReplyFramer framer;
    QCOMPARE(framer.feed(stream), replies);
    QVERIFY(!framer.hasPending());
}

void TestReplyFramer::nonObjectTextIsPassedOn()
{
    ReplyFramer framer;
    const QList<QByteArray> got = framer.feed("Segmentation fault\n{\"SW\":\"9000\"}");
    QCOMPARE(got, (QList<QByteArray>{"Segmentation fault\n", "{\"SW\":\"9000\"}"}));
}

void TestReplyFramer::blanksAloneGiveNothing()
{
    ReplyFramer framer;
    QVERIFY(framer.feed(" \r\n\t ").isEmpty());
    QVERIFY(!framer.hasPending());
}

void TestReplyFramer::partialObjectIsFlushed()
{
    ReplyFramer framer;
    framer.feed("{\"SW\":\"9000\",\"INFO\":\"never ends");
    QCOMPARE(framer.flush(), QByteArray("{\"SW\":\"9000\",\"INFO\":\"never ends"));
    QVERIFY(!framer.hasPending());
    QCOMPARE(framer.feed("{\"SW\":1}"), QList<QByteArray>{"{\"SW\":1}"});
}

// The first 16 MB go on as one reply; the rest of that object is dropped up to its end, and
// what follows is framed as usual.
void TestReplyFramer::oversizedObjectIsNotHeldForEver()
{
    ReplyFramer framer;
    const QByteArray chunk(1024 * 1024, 'x');
    QList<QByteArray> got = framer.feed("{\"A\":\"");
    for (int i = 0; i < 20; ++i)
        got += framer.feed(chunk);
    QCOMPARE(got.size(), 1);
    QVERIFY(got.first().startsWith("{\"A\":\"x"));
    QVERIFY(!framer.hasPending());
    QVERIFY(framer.isDiscarding());
    QCOMPARE(framer.feed("x\"}{\"SW\":1}"), QList<QByteArray>{"{\"SW\":1}"});
    QVERIFY(!framer.isDiscarding());
}

void TestReplyFramer::clearDropsPending()
{
    ReplyFramer framer;
    framer.feed("{\"SW\":");
    framer.clear();
    QCOMPARE(framer.feed("{\"SW\":2}"), QList<QByteArray>{"{\"SW\":2}"});
}

QTEST_APPLESS_MAIN(TestReplyFramer)
#include "tst_replyframer.moc"
