#include "app/logmask.h"

#include "app/commands.h"
#include "app/json.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

struct SecretLayout
{
    const char* command;     // the command's words, blanks simplified
    const char* firstOption; // the option whose value opens the secrets
    const char* shownTail;   // what follows the secrets and may be shown, up to the line's end
};

// Secrets are typed by the user and may hold anything, " -n" or a quote included, so they are
// never parsed: everything from the first secret to the line's known tail is masked as one.
// Each tail is blank-free or quoted text that can hold no quote, so it cannot begin inside a
// secret.
const SecretLayout kLayouts[] = {
    {"fido set-pin", "-p", nullptr},
    {"fido change-pin", "-p", nullptr},
    {"fido get-resident-credentials", "-p", nullptr},
    {"fido delete-resident-credential", "-p", nullptr},
    {"fido enrollment-begin", "-p", nullptr},
    {"fido remove-enrollment", "-p", R"( -i 00[0-9A-Fa-f]{2}$)"},
    {"piv change-pin", "-P", nullptr},
    {"piv change-puk", "-p", nullptr},
    {"piv change-management-key", "-p", nullptr},
    {"piv delete-certificate", "-p", nullptr},
    {"piv import-key", "-p", R"( "[^"]*"$)"},
    {"piv import-certificate", "-p", R"( "[^"]*"$)"},
    {"piv generate-key", "-p", R"( -a \S+ \S+$)"},
    {"piv generate-certificate", "-p", R"( \S+ -s  "[^"]*"$)"},
    {"piv generate-csr", "-p", R"( \S+ "[^"]*" -s "[^"]*"$)"},
    {"otp put", "-k", R"( -a \S+ -t \S+( -d \d+)? -n \S*$)"},
};

const SecretLayout* layoutOf(const QString& line)
{
    const QString words = line.simplified().section(QLatin1Char(' '), 0, 1);
    for (const SecretLayout& layout : kLayouts)
        if (words == QLatin1String(layout.command))
            return &layout;
    return nullptr;
}

// Where the secrets begin: after the first blank-delimited secret option.
int secretStart(const QString& line, const SecretLayout& layout)
{
    const QString option = QLatin1Char(' ') + QLatin1String(layout.firstOption) + QLatin1Char(' ');
    const int at = line.indexOf(option);
    return at < 0 ? -1 : at + option.size();
}

int secretEnd(const QString& line, int from, const SecretLayout& layout)
{
    if (!layout.shownTail)
        return line.size();
    const QRegularExpression tail(QString::fromLatin1(layout.shownTail));
    const QRegularExpressionMatch m = tail.match(line, from);
    return m.hasMatch() ? m.capturedStart() : line.size();
}

constexpr int kShownIdLength = 4;

} // namespace

QString maskSecrets(const QString& line)
{
    const SecretLayout* layout = layoutOf(line);
    if (!layout)
        return line;
    const int start = secretStart(line, *layout);
    if (start < 0)
        return line;
    const int end = secretEnd(line, start, *layout);
    return line.left(start) + QStringLiteral("****") + line.mid(end);
}

bool replyNamesPeople(int type)
{
    return type == CmdType::FidoListCredentials || type == CmdType::FidoEnumerate;
}

QString replyForLog(const QString& reply, int type)
{
    if (!replyNamesPeople(type))
        return reply;
    const QByteArray bytes = reply.toUtf8();
    const char* cursor = bytes.constData();
    const JSON_OBJ parsed = JSON().Parse(cursor);
    QStringList ids;
    for (const TextMap& record : parsed.DATA)
        if (record.contains("CREDENTIAL_ID"))
            ids << QString::fromUtf8(record.value("CREDENTIAL_ID").left(kShownIdLength)) + QStringLiteral("...");
    QString summary = QStringLiteral("SW %1, %2 records").arg(parsed.SW, 0, 16).arg(parsed.DATA.size());
    if (!ids.isEmpty())
        summary += QStringLiteral(", credential IDs ") + ids.join(QLatin1Char(' '));
    return summary;
}
