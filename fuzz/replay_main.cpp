// Replays a corpus folder through a harness without libFuzzer, so any compiler can run it;
// with a transcripts folder, also every expected reply ("< " line) of its transcripts.
#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void replay(const QByteArray& bytes)
{
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()));
}

// Every file of the folder, or every "< " line of its *.txt files; -1 when one cannot be read.
int replayFolder(const QString& path, bool transcripts)
{
    const QDir dir(path);
    const QStringList files =
        dir.entryList(transcripts ? QStringList{"*.txt"} : QStringList(), QDir::Files, QDir::Name);
    int inputs = 0;
    for (const QString& name : files) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray bytes = file.readAll();
        if (!transcripts) {
            replay(bytes);
            ++inputs;
            continue;
        }
        for (const QByteArray& line : bytes.split('\n')) {
            if (line.startsWith("< ")) {
                replay(line.mid(2));
                ++inputs;
            }
        }
    }
    return inputs;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <corpus folder> [transcripts folder]\n", argv[0]);
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        const int inputs = replayFolder(QString::fromLocal8Bit(argv[i]), i == 2);
        if (inputs <= 0) {
            std::fprintf(stderr, "nothing to replay in %s\n", argv[i]);
            return 1;
        }
        std::printf("replayed %d inputs from %s\n", inputs, argv[i]);
    }
    return 0;
}
