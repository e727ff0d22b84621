#include "gifwriter.h"

#include <unordered_map>

namespace {

void putWord(QByteArray& out, int value)
{
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

// Packs variable-width codes least significant bit first, as GIF wants.
class BitPacker
{
public:
    void put(int code, int width)
    {
        m_acc |= quint32(code) << m_bits;
        m_bits += width;
        while (m_bits >= 8) {
            m_out.append(char(m_acc & 0xff));
            m_acc >>= 8;
            m_bits -= 8;
        }
    }
    QByteArray finish()
    {
        if (m_bits > 0)
            m_out.append(char(m_acc & 0xff));
        return m_out;
    }

private:
    QByteArray m_out;
    quint32 m_acc = 0;
    int m_bits = 0;
};

int colourDistance(QRgb a, QRgb b)
{
    const int dr = qRed(a) - qRed(b);
    const int dg = qGreen(a) - qGreen(b);
    const int db = qBlue(a) - qBlue(b);
    return dr * dr + dg * dg + db * db;
}

} // namespace

GifWriter::GifWriter(int width, int height, QVector<QRgb> palette)
    : m_width(width), m_height(height), m_palette(std::move(palette))
{
    m_palette.resize(256);
}

void GifWriter::addFrame(const QImage& frame, int delayCentiseconds)
{
    m_frames.append(indexedPixels(frame.convertToFormat(QImage::Format_RGB32)));
    m_delays.append(delayCentiseconds);
}

QByteArray GifWriter::indexedPixels(const QImage& frame) const
{
    QByteArray indices;
    indices.reserve(m_width * m_height);
    std::unordered_map<QRgb, int> cache;
    for (int y = 0; y < m_height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
        for (int x = 0; x < m_width; ++x) {
            const QRgb pixel = line[x] | 0xff000000u;
            auto hit = cache.find(pixel);
            if (hit == cache.end()) {
                int best = 0;
                for (int i = 1; i < m_palette.size(); ++i) {
                    if (colourDistance(pixel, m_palette[i]) < colourDistance(pixel, m_palette[best]))
                        best = i;
                }
                hit = cache.emplace(pixel, best).first;
            }
            indices.append(char(hit->second));
        }
    }
    return indices;
}

QByteArray GifWriter::lzw(const QByteArray& indices)
{
    const int clearCode = 256;
    const int endCode = 257;
    BitPacker bits;
    std::unordered_map<int, int> dictionary;
    int codeSize = 9;
    int next = 258;
    bits.put(clearCode, codeSize);
    int prefix = quint8(indices.at(0));
    for (int i = 1; i < indices.size(); ++i) {
        const int c = quint8(indices.at(i));
        const int key = (prefix << 8) | c;
        const auto found = dictionary.find(key);
        if (found != dictionary.end()) {
            prefix = found->second;
            continue;
        }
        bits.put(prefix, codeSize);
        dictionary.emplace(key, next++);
        if (next > (1 << codeSize) && codeSize < 12)
            ++codeSize;
        if (next == 4096) {
            bits.put(clearCode, codeSize);
            dictionary.clear();
            codeSize = 9;
            next = 258;
        }
        prefix = c;
    }
    bits.put(prefix, codeSize);
    bits.put(endCode, codeSize);
    return bits.finish();
}

QByteArray GifWriter::data() const
{
    QByteArray out("GIF89a");
    putWord(out, m_width);
    putWord(out, m_height);
    out.append(char(0xf7)); // global colour table of 256 entries
    out.append(char(0));
    out.append(char(0));
    for (QRgb c : m_palette) {
        out.append(char(qRed(c)));
        out.append(char(qGreen(c)));
        out.append(char(qBlue(c)));
    }
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19); // loop for ever
    for (int f = 0; f < m_frames.size(); ++f) {
        out.append("\x21\xf9\x04\x04", 4); // graphic control: each frame replaces the last
        putWord(out, m_delays[f]);
        out.append(char(0));
        out.append(char(0));
        out.append(char(0x2c));
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, m_width);
        putWord(out, m_height);
        out.append(char(0));
        out.append(char(8));
        const QByteArray codes = lzw(m_frames[f]);
        for (int pos = 0; pos < codes.size(); pos += 255) {
            const QByteArray block = codes.mid(pos, 255);
            out.append(char(block.size()));
            out.append(block);
        }
        out.append(char(0));
    }
    out.append(char(0x3b));
    return out;
}
