#include "ui/scaling.h"

#include <QWidget>

namespace scaling {

namespace {

int scaled(int value, double factor)
{
    return int(value * factor); // truncates toward zero
}

// A width fixed by setFixedWidth (the message dialog fixes its width) would refuse resize().
void resizeDialog(QWidget& dialog, double factor)
{
    const int w = scaled(dialog.width(), factor);
    const int h = scaled(dialog.height(), factor);
    if (dialog.minimumWidth() == dialog.maximumWidth())
        dialog.setFixedWidth(w);
    if (dialog.minimumHeight() == dialog.maximumHeight())
        dialog.setFixedHeight(h);
    dialog.resize(w, h);
}

} // namespace

void changeObjectSize(const QObject& obj, double factor)
{
    for (QObject* child : obj.children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        // Dialogs owned by the window are windows of their own and follow through screenChanged;
        // scaling them here as well would scale them twice.
        if (!widget || widget->isWindow())
            continue;
        const QRect g = widget->geometry();
        widget->setGeometry(scaled(g.x(), factor), scaled(g.y(), factor), scaled(g.width(), factor),
                            scaled(g.height(), factor));
        widget->repaint();
        changeObjectSize(*widget, factor);
    }
}

double scaleNewDialog(QWidget& dialog, double factor)
{
    if (factor == 1.0)
        return 1.0;
    changeObjectSize(dialog, factor);
    resizeDialog(dialog, factor);
    return factor;
}

double screenChanged(QWidget& dialog, double ownFactor, double factor)
{
    if (factor == 1.0)
        return ownFactor;
    const double ratio = factor / ownFactor;
    changeObjectSize(dialog, ratio);
    resizeDialog(dialog, ratio);
    return factor;
}

} // namespace scaling
