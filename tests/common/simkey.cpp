#include "common/simkey.h"

#include <QtTest>

bool SimKey::start()
{
    return sim.start() && harness.waitUntilReady();
}

bool SimKey::restart()
{
    return sim.finish() && start();
}

bool SimKey::control(const QString& command) const
{
    return harness.control(command).startsWith(QLatin1String("ok"));
}

QByteArray SimKey::status(const QByteArray& name) const
{
    const QByteArray prefix = name + '=';
    for (const QByteArray& word : harness.control(QStringLiteral("status")).toUtf8().split(' ')) {
        if (word.startsWith(prefix))
            return word.mid(prefix.size());
    }
    return QByteArray();
}

QByteArray SimKey::member(const JSON_OBJ& reply, const QByteArray& key)
{
    QByteArray value;
    for (const TextMap& map : reply.DATA) {
        if (map.contains(key))
            value = map.value(key);
    }
    return value;
}
