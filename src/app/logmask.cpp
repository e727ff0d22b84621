#include "app/logmask.h"

#include <QRegularExpression>
#include <QStringList>

namespace {

QString firstTwoWords(const QString& line)
{
    return line.simplified().section(QLatin1Char(' '), 0, 1);
}

QString secretOptions(const QString& line)
{
    const QString words = firstTwoWords(line);
    if (words.startsWith(QLatin1String("fido ")) || words.startsWith(QLatin1String("piv ")))
        return QStringLiteral("pPknw");
    if (words == QLatin1String("otp put"))
        return QStringLiteral("k");
    return QString();
}

// Where a secret typed by the user ends: at the next option, the quoted file or the key file
// path. A PIN typed with blanks in it is masked whole.
int secretEnd(const QString& line, int from)
{
    static const QRegularExpression next(QStringLiteral(R"( -[A-Za-z-]| "| /tmp/public)"));
    const QRegularExpressionMatch m = next.match(line, from);
    return m.hasMatch() ? m.capturedStart() : line.size();
}

} // namespace

QString maskSecrets(const QString& line)
{
    const QString options = secretOptions(line);
    if (options.isEmpty())
        return line;
    static const QRegularExpression option(QStringLiteral(R"((?:^| )-([A-Za-z]) +)"));
    QString out;
    int copied = 0;
    auto it = option.globalMatch(line);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.capturedStart() < copied || !options.contains(m.captured(1)))
            continue;
        const int valueStart = m.capturedEnd();
        const int valueEnd = secretEnd(line, valueStart);
        out += line.mid(copied, valueStart - copied) + QStringLiteral("****");
        copied = valueEnd;
    }
    out += line.mid(copied);
    return out;
}
