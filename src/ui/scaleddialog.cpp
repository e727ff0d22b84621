#include "ui/scaleddialog.h"

#include "ui/scaling.h"

ScaledDialog::ScaledDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent)
{
    setWindowFlags(flags);
    setWindowOpacity(0.99);
}

void ScaledDialog::scaleForm(double factor)
{
    m_scale = scaling::scaleNewDialog(*this, factor);
}

void ScaledDialog::centreOn(const QWidget* parent)
{
    if (parent)
        move(parent->geometry().center() - QPoint(width() / 2, height() / 2));
}

void ScaledDialog::screenChanged(double factor)
{
    m_scale = scaling::screenChanged(*this, m_scale, factor);
}

void ScaledDialog::changeObjectSize(QObject const& obj, double factor)
{
    scaling::changeObjectSize(obj, factor);
}
