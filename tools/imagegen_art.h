#pragma once

#include <QColor>
#include <QPainter>
#include <QRectF>

// The drawing of each picture; flat shapes in the window's colours.
namespace art {

const QColor kNavy(53, 64, 85);
const QColor kSlate(0x56, 0x68, 0x86);
const QColor kPanel(86, 104, 134);
const QColor kMist(217, 222, 230);
const QColor kGrey(125, 125, 125);
const QColor kAccent(76, 154, 230);
const QColor kGreen(56, 166, 108);
const QColor kAmber(240, 168, 40);
const QColor kRed(214, 69, 65);
const QColor kGold(214, 176, 92);

enum class Badge { Info, Warning, Error, Question };

void drawTitleLogo(QPainter& p, const QRectF& r);
void drawAboutLogo(QPainter& p, const QRectF& r);
void drawMinimise(QPainter& p, const QRectF& r, int state);
void drawMaximise(QPainter& p, const QRectF& r);
void drawClose(QPainter& p, const QRectF& r, int state);
void drawHome(QPainter& p, const QRectF& r);
void drawApplications(QPainter& p, const QRectF& r);
void drawInterfaces(QPainter& p, const QRectF& r);
void drawAbout(QPainter& p, const QRectF& r);
void drawMenuItem(QPainter& p, const QRectF& r);
void drawMenuHighlight(QPainter& p, const QRectF& r);
void drawKeyModel(QPainter& p, const QRectF& r);
void drawSelect(QPainter& p, const QRectF& r);
void drawKeyScene(QPainter& p, const QRectF& r, bool inserted);
void drawContinue(QPainter& p, const QRectF& r);
void drawUsb(QPainter& p, const QRectF& r);
void drawTray(QPainter& p, const QRectF& r, bool outwards);
void drawTrash(QPainter& p, const QRectF& r);
void drawGenerate(QPainter& p, const QRectF& r);
void drawAdd(QPainter& p, const QRectF& r);
void drawRemove(QPainter& p, const QRectF& r);
void drawTestFinger(QPainter& p, const QRectF& r);
void drawFingerprint(QPainter& p, const QRectF& r, const QColor& colour, double filled);
void drawEnrolment(QPainter& p, const QRectF& r, int samples);
void drawVerdict(QPainter& p, const QRectF& r, bool passed);
void drawDialogClose(QPainter& p, const QRectF& r);
void drawSwap(QPainter& p, const QRectF& r);
void drawBadge(QPainter& p, const QRectF& r, Badge badge);
void drawComboArrow(QPainter& p, const QRectF& r);

} // namespace art
