#include "app/terminaloptions.h"

#include "app/buildinfo.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

bool answerTerminalOptions(int& argc, char* argv[])
{
    QCoreApplication console(argc, argv);
    QCoreApplication::setApplicationVersion(QLatin1String(kAppVersion));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Manage USB security keys: FIDO2, PIV and OTP."));
    // Qt's own window options (-platform, -style ...) are single-dash words, not bundles of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help and exits."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    // Unknown options are left to the window's application object, which knows Qt's own.
    parser.parse(QCoreApplication::arguments());
    QString answer;
    if (parser.isSet(help))
        answer = parser.helpText();
    else if (parser.isSet(version))
        answer = QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
                 QLatin1Char('\n');
    else
        return false;
    std::fputs(qPrintable(answer), stdout);
    return true;
}
