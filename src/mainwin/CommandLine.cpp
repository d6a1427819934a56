#include "CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>

namespace {

QString HelpText()
{
    return QStringLiteral(R"(Usage: kx52 [--help | --version]
KX-52 watches and configures one ORBENA 52 panel instrument over a serial
line. Everything is set in its windows; the program takes no other arguments
and ignores any it is given.

  -h, --help     show this text and exit
  -v, --version  show the version and exit

Environment:
  KX52_TRACE=FILE  append every frame sent and every byte received on the
                   serial line to FILE, in hex with a time stamp
  XDG_CONFIG_HOME  the folder of the settings (OrbKX52.ini) and of the port
                   links (OrbKX52/COMn); ~/.config when unset

See kx52(1).
)");
}

} // namespace

std::optional<QString> CommandLineReply(const QStringList& arguments)
{
    QCommandLineParser parser;
    // "-reverse" and the other one-dash options of the toolkit are words, not
    // bundles of letters that could hold an h or a v.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("help"));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    // Unknown arguments make parse() report an error, which is ignored: the
    // options it knows are still recognised.
    static_cast<void>(parser.parse(arguments));
    if (parser.isSet(help))
        return HelpText();
    if (parser.isSet(version))
        return QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion() +
               QLatin1Char('\n');
    return std::nullopt;
}

QStringList ArgumentList(int argc, char** argv)
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}
