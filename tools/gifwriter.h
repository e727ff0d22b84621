#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QVector>

// Writes an animated GIF from frames that use at most 256 colours. Qt can read GIF but not write it,
// and the busy animation is the only GIF we ship, so a small LZW encoder is all that is needed.
class GifWriter
{
public:
    GifWriter(int width, int height, QVector<QRgb> palette);

    // Each pixel is mapped to the nearest palette entry.
    void addFrame(const QImage& frame, int delayCentiseconds);
    QByteArray data() const;

private:
    QByteArray indexedPixels(const QImage& frame) const;
    static QByteArray lzw(const QByteArray& indices);

    int m_width;
    int m_height;
    QVector<QRgb> m_palette;
    QList<QByteArray> m_frames;
    QList<int> m_delays;
};
