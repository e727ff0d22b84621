// Draws every picture the window and its dialogs use, in the window's flat colour scheme, into
// the folder given as the first argument (normally src/ui/images). The output is committed.

#include "gifwriter.h"
#include "imagegen_art.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>
#include <QtMath>

#include <cstdio>
#include <functional>

namespace {

using Draw = std::function<void(QPainter&, const QRectF&)>;

struct Picture
{
    const char* file;
    int width;
    int height;
    Draw draw;
    QColor background = Qt::transparent; // JPEG has no alpha, so those get a white ground
};

// "name.png" at scale 1, "name@2x.png" at scale 2: Qt picks the variant that suits the screen.
QString scaledName(const QString& file, int scale)
{
    if (scale == 1)
        return file;
    const int dot = file.lastIndexOf(QLatin1Char('.'));
    return file.left(dot) + QStringLiteral("@%1x").arg(scale) + file.mid(dot);
}

bool savePicture(const QDir& dir, const Picture& pic, int scale)
{
    QImage image(pic.width * scale, pic.height * scale, QImage::Format_ARGB32_Premultiplied);
    const bool jpeg = QString(pic.file).endsWith(".jpg");
    image.fill(jpeg ? QColor(Qt::white) : pic.background);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.scale(scale, scale);
        pic.draw(p, QRectF(0, 0, pic.width, pic.height));
    }
    const QString path = dir.filePath(scaledName(QLatin1String(pic.file), scale));
    QDir().mkpath(QFileInfo(path).absolutePath());
    return jpeg ? image.convertToFormat(QImage::Format_RGB32).save(path, "JPG", 90) : image.save(path, "PNG");
}

// The busy spinner: twelve dots fading round a ring on the busy panel's own colour, so the GIF needs
// no transparency. Drawn at `scale` times the panel's 60x50 for scaled screens.
bool saveSpinner(const QDir& dir, int scale)
{
    const int w = 60 * scale;
    const int h = 50 * scale;
    const int frames = 12;
    const QColor ground = art::kPanel;
    QVector<QRgb> palette;
    for (int i = 0; i < 256; ++i) {
        const double t = i / 255.0;
        palette.append(qRgb(int(ground.red() + (255 - ground.red()) * t),
                            int(ground.green() + (255 - ground.green()) * t),
                            int(ground.blue() + (255 - ground.blue()) * t)));
    }
    GifWriter gif(w, h, palette);
    for (int f = 0; f < frames; ++f) {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(ground);
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        for (int d = 0; d < frames; ++d) {
            const double angle = 2 * M_PI * d / frames - M_PI / 2;
            const int age = (f - d + frames) % frames;
            QColor dot(Qt::white);
            dot.setAlphaF(qMax(0.15, 1.0 - age / double(frames - 2)));
            p.setBrush(dot);
            const QPointF c(w / 2.0 + 17 * scale * qCos(angle), h / 2.0 + 17 * scale * qSin(angle));
            const double radius = (3.6 - age * 0.15) * scale;
            p.drawEllipse(c, radius, radius);
        }
        p.end();
        gif.addFrame(image, 8);
    }
    const QString path = dir.filePath(scale == 1 ? "res/blue-loading.gif" : "res/blue-loading@2x.gif");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(gif.data()) < 0)
        return false;
    file.close();
    // Read it back: a broken encoder must not slip into the resources unnoticed.
    QImageReader reader(path);
    return reader.imageCount() == frames && reader.read().size() == QSize(w, h);
}

bool saveBackArrow(const QDir& dir)
{
    QFile file(dir.filePath("back.svg"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"24\" viewBox=\"0 0 24 24\">\n"
               "<circle cx=\"12\" cy=\"12\" r=\"11\" fill=\"#566886\"/>\n"
               "<path d=\"M13.5 6.5 L8 12 L13.5 17.5 M8.5 12 H17\" fill=\"none\" stroke=\"#ffffff\" "
               "stroke-width=\"2.2\" stroke-linecap=\"round\" stroke-linejoin=\"round\"/>\n"
               "</svg>\n");
    return true;
}

QList<Picture> pictures()
{
    using namespace art;
    return {
        {"logo.png", 168, 40, drawTitleLogo},
        {"logb.png", 480, 150, drawAboutLogo},
        {"min.png", 40, 40, [](QPainter& p, const QRectF& r) { drawMinimise(p, r, 0); }},
        {"min_hold.png", 40, 40, [](QPainter& p, const QRectF& r) { drawMinimise(p, r, 1); }},
        {"min_pressed.png", 40, 40, [](QPainter& p, const QRectF& r) { drawMinimise(p, r, 2); }},
        {"max.png", 40, 40, drawMaximise},
        {"close_new.png", 40, 40, [](QPainter& p, const QRectF& r) { drawClose(p, r, 0); }},
        {"close_hold.png", 40, 40, [](QPainter& p, const QRectF& r) { drawClose(p, r, 1); }},
        {"close_pressed.png", 40, 40, [](QPainter& p, const QRectF& r) { drawClose(p, r, 2); }},
        {"home.png", 56, 56, drawHome},
        {"applications.png", 56, 56, drawApplications},
        {"interface.png", 56, 56, drawInterfaces},
        {"about.png", 56, 56, drawAbout},
        {"item.png", 32, 32, drawMenuItem},
        {"menus.png", 210, 60, drawMenuHighlight},
        {"R8.png", 240, 400, drawKeyModel},
        {"select.jpg", 36, 36, drawSelect},
        {"KEYROME.png", 420, 280, [](QPainter& p, const QRectF& r) { drawKeyScene(p, r, false); }},
        {"KEYINSERT.png", 420, 280, [](QPainter& p, const QRectF& r) { drawKeyScene(p, r, true); }},
        {"itemb.png", 56, 56, drawContinue},
        {"USB.png", 220, 220, drawUsb},
        {"Export.png", 48, 48, [](QPainter& p, const QRectF& r) { drawTray(p, r, true); }},
        {"Import.png", 48, 48, [](QPainter& p, const QRectF& r) { drawTray(p, r, false); }},
        {"Delete.png", 48, 48, drawTrash},
        {"Generate.png", 48, 48, drawGenerate},
        {"res/add.png", 48, 48, drawAdd},
        {"res/dele.png", 48, 48, drawRemove},
        {"test.jpg", 48, 48, drawTestFinger},
        {"bio.png", 96, 96, [](QPainter& p, const QRectF& r) { drawFingerprint(p, r, kNavy, 1.0); }},
        {"Rec_Finger_Add.png", 291, 151, [](QPainter& p, const QRectF& r) { drawEnrolment(p, r, 0); }},
        {"Rec_Finger_1.png", 291, 151, [](QPainter& p, const QRectF& r) { drawEnrolment(p, r, 1); }},
        {"Rec_Finger_2.png", 291, 151, [](QPainter& p, const QRectF& r) { drawEnrolment(p, r, 2); }},
        {"Rec_Finger_3.png", 291, 151, [](QPainter& p, const QRectF& r) { drawEnrolment(p, r, 3); }},
        {"Rec_Finger_4.png", 291, 151, [](QPainter& p, const QRectF& r) { drawEnrolment(p, r, 4); }},
        {"Pass.png", 291, 151, [](QPainter& p, const QRectF& r) { drawVerdict(p, r, true); }},
        {"Fail.png", 291, 151, [](QPainter& p, const QRectF& r) { drawVerdict(p, r, false); }},
        {"Close_Active.png", 41, 31, drawDialogClose},
        {"switch.jpg", 56, 56, drawSwap},
        {"res/info.png", 48, 48, [](QPainter& p, const QRectF& r) { drawBadge(p, r, Badge::Info); }},
        {"res/warning.png", 48, 48, [](QPainter& p, const QRectF& r) { drawBadge(p, r, Badge::Warning); }},
        {"res/error.png", 48, 48, [](QPainter& p, const QRectF& r) { drawBadge(p, r, Badge::Error); }},
        {"res/question.png", 48, 48, [](QPainter& p, const QRectF& r) { drawBadge(p, r, Badge::Question); }},
        {"res/combo-arrow.png", 24, 24, drawComboArrow},
    };
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <output folder>\n", argv[0]);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    QDir().mkpath(dir.filePath("res"));
    int failures = 0;
    // The 2x variants keep bitmaps crisp on screens scaled by 1.5 and 2.
    for (const Picture& pic : pictures()) {
        for (int scale : {1, 2}) {
            if (!savePicture(dir, pic, scale)) {
                std::fprintf(stderr, "cannot write %s at %dx\n", pic.file, scale);
                ++failures;
            }
        }
    }
    for (int scale : {1, 2}) {
        if (!saveSpinner(dir, scale)) {
            std::fprintf(stderr, "cannot write the busy animation at %dx\n", scale);
            ++failures;
        }
    }
    if (!saveBackArrow(dir)) {
        std::fprintf(stderr, "cannot write back.svg\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
