#pragma once

#include <QString>

// What a key can do, told by the model name of its details reply ("MODULE").
namespace KeyModel {

inline bool hasFingerprintSensor(const QString& model)
{
    return model == QLatin1String("R14") || model == QLatin1String("R15") || model == QLatin1String("R22");
}

} // namespace KeyModel
