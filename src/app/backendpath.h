#pragma once

#include <QString>

// The backend a window drives when none is given: the helper installed beside the manager when
// there is one (appDir is the manager's own folder), otherwise the program fixed at build time.
QString defaultBackendPath(const QString& appDir);
