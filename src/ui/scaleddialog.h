#pragma once

#include <QDialog>

class QFrame;

// A dialog that follows the main window's display scale. Its form is laid out for a 96 dpi
// screen; the derived dialog builds it, then calls scaleForm once.
class ScaledDialog : public QDialog
{
    Q_OBJECT

public:
    // Follows the main window to `factor`.
    void screenChanged(double factor);
    void changeObjectSize(QObject const& obj, double factor);
    // The factor the dialog's geometry now reflects.
    double scaleFactor() const { return m_scale; }

protected:
    // Every dialog of the application is drawn at opacity 0.99.
    ScaledDialog(QWidget* parent, Qt::WindowFlags flags);

    // Brings the form, just built at its design size, to `factor`.
    void scaleForm(double factor);
    // Top-left at the centre of `parent` minus half this dialog's size, but never off the screen.
    void centreOn(const QWidget* parent);
    // Moved as little as needed to lie on the available part of the screen.
    void keepOnScreen();
    // The widest a dialog can be on this screen.
    int availableWidth() const;
    void resizeEvent(QResizeEvent* event) override;

private:
    double m_scale = 1.0;
    // A visible edge over the whole dialog, above its children, so a dialog over the white page
    // does not look like part of it.
    QFrame* m_edge = nullptr;
};
