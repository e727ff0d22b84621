// Throughput of the reply parser and the framing on a large reply.
#include "app/json.h"
#include "app/replyframer.h"

#include <QJsonDocument>

#include <benchmark/benchmark.h>

namespace {

// About 1 MB: 5,000 DATA maps of 6 members each, in the strict JSON form both parsers accept.
QByteArray bigReply()
{
    QByteArray text = "{\"SW\":\"9000\",\"INFO\":\"ok\",\"DATA\":[";
    for (int i = 0; i < 5000; ++i) {
        if (i)
            text += ',';
        text += "{\"RP_ID\":\"relying-party-" + QByteArray::number(i) + ".example.com\",\"USER_NAME\":\"user-" +
                QByteArray::number(i) + "@example.com\",\"CREDENTIAL_ID\":\"" + QByteArray(64, 'a' + i % 26) +
                "\",\"CREDENTIAL_TYPE\":\"public-key\",\"DISPLAY\":\"User number " + QByteArray::number(i) +
                "\",\"ALG\":\"ES256-with-some-padding-text\"}";
    }
    text += "]}";
    return text;
}

const QByteArray& reply()
{
    static const QByteArray text = bigReply();
    return text;
}

void BM_ReplyParser(benchmark::State& state)
{
    JSON parser;
    for (auto _ : state) {
        const char* cursor = reply().constData();
        JSON_OBJ obj = parser.Parse(cursor);
        benchmark::DoNotOptimize(obj);
        if (obj.DATA.size() != 5000)
            state.SkipWithError("wrong map count");
    }
    state.SetBytesProcessed(state.iterations() * reply().size());
}
BENCHMARK(BM_ReplyParser)->Unit(benchmark::kMillisecond);

void BM_QJsonDocument(benchmark::State& state)
{
    for (auto _ : state) {
        QJsonDocument doc = QJsonDocument::fromJson(reply());
        benchmark::DoNotOptimize(doc);
    }
    state.SetBytesProcessed(state.iterations() * reply().size());
}
BENCHMARK(BM_QJsonDocument)->Unit(benchmark::kMillisecond);

// The same reply arriving in 1 piece or in 4 KB pieces (256 of them).
void BM_Framing(benchmark::State& state)
{
    const int pieces = int(state.range(0));
    const int step = (reply().size() + pieces - 1) / pieces;
    for (auto _ : state) {
        ReplyFramer framer;
        int replies = 0;
        for (int at = 0; at < reply().size(); at += step)
            replies +=
                framer.feed(QByteArray::fromRawData(reply().constData() + at, qMin(step, reply().size() - at))).size();
        if (replies != 1)
            state.SkipWithError("reply not framed");
    }
    state.SetBytesProcessed(state.iterations() * reply().size());
}
BENCHMARK(BM_Framing)->Arg(1)->Arg(256)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
