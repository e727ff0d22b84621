#include "app/backendpath.h"

#include "app/buildinfo.h"

#include <QDir>
#include <QFileInfo>

QString defaultBackendPath(const QString& appDir)
{
    if (kInstalledBackend[0] != '\0') {
        const QString installed = QDir::cleanPath(QDir(appDir).filePath(QLatin1String(kInstalledBackend)));
        if (QFileInfo(installed).isExecutable())
            return installed;
    }
    return QLatin1String(kBuiltInBackend);
}
