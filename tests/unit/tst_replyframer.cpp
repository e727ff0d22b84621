#include "app/replyframer.h"

#include <QtTest>

using Chunks = QList<QByteArray>;

class TestReplyFramer : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void oversizedObjectIsNotHeldForEver();

private:
    static void row(const char* name, const Chunks& reads, const Chunks& replies, const char* leftover = "")
    {
        QTest::newRow(name) << reads << replies << QByteArray(leftover);
    }
};

void TestReplyFramer::frames_data()
{
    QTest::addColumn<Chunks>("reads");
    QTest::addColumn<Chunks>("replies");
    QTest::addColumn<QByteArray>("leftover"); // what a flush hands on afterwards
    row("split reply is joined",
        {R"({"SW":"90)", R"(00","DATA":{"A":"1"}})"
                         "\n"},
        {R"({"SW":"9000","DATA":{"A":"1"}})"});
    row("merged replies",
        {R"({"SW":"80900002"})"
         "\n"
         R"({"SW":"9000","DATA":[{"A":"1"}]})"
         "\n"},
        {R"({"SW":"80900002"})", R"({"SW":"9000","DATA":[{"A":"1"}]})"});
    row("braces in both kinds of quotes", {R"({"INFO":"a}b{",'X':'}'}{"SW":1})"},
        {R"({"INFO":"a}b{",'X':'}'})", R"({"SW":1})"});
    // A removal event right behind must not be swallowed by a string the apostrophe seemed to open.
    row("apostrophe in a double-quoted value", {R"({"SW":"6A80","INFO":"Can't open the file"}{"SW":"80900001"})"},
        {R"({"SW":"6A80","INFO":"Can't open the file"})", R"({"SW":"80900001"})"});
    row("double quote in a single-quoted value", {R"({'INFO':'say "hi}','SW':'1'}{"SW":2})"},
        {R"({'INFO':'say "hi}','SW':'1'})", R"({"SW":2})"});
    row("text outside an object is passed on",
        {"Segmentation fault\n"
         R"({"SW":"9000"})"},
        {"Segmentation fault\n", R"({"SW":"9000"})"});
    row("blanks alone give nothing", {" \r\n\t "}, {});
    row("unfinished object", {R"({"SW":"9000","INFO":"never ends)"}, {}, R"({"SW":"9000","INFO":"never ends)");
}

void TestReplyFramer::frames()
{
    QFETCH(Chunks, reads);
    QFETCH(Chunks, replies);
    QFETCH(QByteArray, leftover);
    ReplyFramer framer;
    Chunks got;
    for (const QByteArray& read : reads)
        got += framer.feed(read);
    QCOMPARE(got, replies);
    QCOMPARE(framer.hasPending(), !leftover.isEmpty());
    QCOMPARE(framer.flush(), leftover);
    QCOMPARE(framer.feed(R"({"SW":1})"), Chunks{R"({"SW":1})"}); // starts afresh
}

// The first 16 MB go on as one reply; the rest of that object is dropped up to its end, and
// what follows is framed as usual.
void TestReplyFramer::oversizedObjectIsNotHeldForEver()
{
    ReplyFramer framer;
    const QByteArray chunk(1024 * 1024, 'x');
    Chunks got = framer.feed(R"({"A":")");
    for (int i = 0; i < 20; ++i)
        got += framer.feed(chunk);
    QCOMPARE(got.size(), 1);
    QVERIFY(got.first().startsWith(R"({"A":"x)"));
    QVERIFY(!framer.hasPending());
    QVERIFY(framer.isDiscarding());
    QCOMPARE(framer.feed(R"(x"}{"SW":1})"), Chunks{R"({"SW":1})"});
    QVERIFY(!framer.isDiscarding());
}

QTEST_APPLESS_MAIN(TestReplyFramer)
#include "tst_replyframer.moc"
