#include "app/keyreporttext.h"

#include <QJsonArray>
#include <QStringList>

namespace {

QString scalarText(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("yes") : QStringLiteral("no");
    case QJsonValue::Double:
        return QString::number(value.toDouble());
    case QJsonValue::String:
        return value.toString();
    default:
        return QStringLiteral("none");
    }
}

bool holdsOnlyScalars(const QJsonArray& array)
{
    for (const QJsonValue& item : array)
        if (item.isObject() || item.isArray())
            return false;
    return true;
}

void addLines(const QString& field, const QJsonValue& value, QStringList& lines)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            addLines(field + QLatin1Char('.') + it.key(), it.value(), lines);
    } else if (value.isArray() && holdsOnlyScalars(value.toArray())) {
        QStringList items;
        for (const QJsonValue& item : value.toArray())
            items << scalarText(item);
        lines << field + QStringLiteral(": ") + items.join(QStringLiteral(", "));
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            addLines(field + QStringLiteral("[%1]").arg(i), array.at(i), lines);
    } else {
        lines << field + QStringLiteral(": ") + scalarText(value);
    }
}

} // namespace

QString KeyReportText::render(const QJsonObject& report)
{
    QStringList lines;
    for (auto it = report.begin(); it != report.end(); ++it)
        addLines(it.key(), it.value(), lines);
    return lines.join(QLatin1Char('\n'));
}
