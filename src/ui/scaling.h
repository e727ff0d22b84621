#pragma once

class QObject;
class QWidget;

// Display scaling shared by the main window and every scaled dialog. Forms are laid out for a
// 96 dpi screen; these adapt positions and sizes (never fonts) to the screen's scale.
namespace scaling {

// Multiplies the position and size of every widget below `obj` by `factor`, truncating toward
// zero, and repaints each at once. `obj` itself is left alone.
void changeObjectSize(const QObject& obj, double factor);

// A dialog just built at its design size, brought to `factor`. Returns the factor its geometry
// now reflects (the dialog's own scale factor).
double scaleNewDialog(QWidget& dialog, double factor);

// A dialog whose geometry reflects `ownFactor` follows the main window to `factor`. Returns the
// dialog's new own scale factor.
double screenChanged(QWidget& dialog, double ownFactor, double factor);

} // namespace scaling
