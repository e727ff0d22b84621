// Draws the application icon, a key on a shield in the window's colours, as a hicolor icon theme
// tree: usage: skm-icongen <folder> <icon name> <pixel size>...
// The SVG and every PNG come from the same paths, so the sizes cannot drift apart.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QTextStream>

#include <cstdio>
#include <vector>

namespace {

constexpr int kDesignSize = 256;

struct Layer
{
    QPainterPath path;
    QColor colour;
};

QPainterPath shield(qreal inset)
{
    const qreal left = 36 + inset;
    const qreal right = kDesignSize - 36 - inset;
    const qreal top = 44 + inset;
    const qreal peak = 20 + inset * 1.3;
    const qreal bottom = 240 - inset * 1.5;
    QPainterPath path;
    path.moveTo(128, peak);
    path.cubicTo(160, top - 6, 190, top, right, top);
    path.lineTo(right, 120);
    path.cubicTo(right, 180, 180 - inset / 2, 220 - inset, 128, bottom);
    path.cubicTo(76 + inset / 2, 220 - inset, left, 180, left, 120);
    path.lineTo(left, top);
    path.cubicTo(66, top, 96, top - 6, 128, peak);
    path.closeSubpath();
    return path;
}

QPainterPath key()
{
    QPainterPath bow;
    bow.addEllipse(QPointF(128, 100), 36, 36);
    QPainterPath hole;
    hole.addEllipse(QPointF(128, 100), 14, 14);
    QPainterPath blade;
    blade.addRect(118, 128, 20, 82);
    blade.addRect(138, 168, 22, 14);
    blade.addRect(138, 192, 16, 14);
    blade.setFillRule(Qt::WindingFill);
    return bow.subtracted(hole).united(blade);
}

std::vector<Layer> icon()
{
    return {{shield(0), QColor(53, 64, 85)}, {shield(16), QColor(0x56, 0x68, 0x86)}, {key(), QColor(0xf2, 0xc1, 0x4e)}};
}

QString svgPathData(const QPainterPath& path)
{
    QString data;
    QTextStream out(&data);
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo())
            out << (i ? "Z M" : "M") << e.x << ' ' << e.y << ' ';
        else if (e.isLineTo())
            out << "L" << e.x << ' ' << e.y << ' ';
        else if (e.isCurveTo())
            out << "C" << e.x << ' ' << e.y << ' ';
        else
            out << e.x << ' ' << e.y << ' ';
    }
    out << 'Z';
    return data;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool writeSvg(const QString& path, const std::vector<Layer>& layers)
{
    QString svg;
    QTextStream out(&svg);
    out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kDesignSize << "\" height=\"" << kDesignSize
        << "\" viewBox=\"0 0 " << kDesignSize << ' ' << kDesignSize << "\">\n";
    for (const Layer& layer : layers)
        out << "  <path fill=\"" << layer.colour.name() << "\" fill-rule=\""
            << (layer.path.fillRule() == Qt::OddEvenFill ? "evenodd" : "nonzero") << "\" d=\""
            << svgPathData(layer.path) << "\"/>\n";
    out << "</svg>\n";
    return writeFile(path, svg.toUtf8());
}

bool writePng(const QString& path, const std::vector<Layer>& layers, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(qreal(size) / kDesignSize, qreal(size) / kDesignSize);
        for (const Layer& layer : layers)
            painter.fillPath(layer.path, layer.colour);
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    return image.save(path, "PNG");
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <folder> <icon name> <pixel size>...\n", argv[0]);
        return 2;
    }
    const QDir theme(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("hicolor")));
    const QString name = QString::fromLocal8Bit(argv[2]);
    const std::vector<Layer> layers = icon();
    bool ok = writeSvg(theme.filePath(QStringLiteral("scalable/apps/%1.svg").arg(name)), layers);
    for (int i = 3; i < argc; ++i) {
        const int size = QString::fromLocal8Bit(argv[i]).toInt();
        ok = size > 0 &&
             writePng(theme.filePath(QStringLiteral("%1x%1/apps/%2.png").arg(size).arg(name)), layers, size) && ok;
    }
    if (!ok)
        std::fprintf(stderr, "could not write the icons under %s\n", argv[1]);
    return ok ? 0 : 1;
}
