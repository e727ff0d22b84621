#include "ui/uiresources.h"

#include <QtGlobal>

void ensureUiResources()
{
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(registered);
}
