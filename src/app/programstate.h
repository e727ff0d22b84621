#pragma once

#include <QString>

// Program-wide state shared by the features.
extern int g_currItem;
extern bool g_insreted;
extern quint16 g_currInterface;
extern quint16 g_currProtocol;
extern bool isfidoHavePin;
// The fingerprint template being enrolled (src/fido).
extern QString template_id;
