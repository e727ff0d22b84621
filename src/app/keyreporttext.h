#pragma once

#include <QJsonObject>
#include <QString>

// The key report as plain text to read on screen: one "field: value" line per fact, the fields
// named as in the JSON file (docs/key-report.md), so both show the same facts.
class KeyReportText
{
public:
    static QString render(const QJsonObject& report);
};
