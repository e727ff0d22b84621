#pragma once

#include <QtGlobal>

class QWidget;

#ifdef Q_OS_MACOS
// Adds the miniaturizable bit to the style mask of the window's native NSWindow, which a
// frameless window lacks, so that it can be minimised.
void allowMiniaturize(QWidget* window);
#endif
