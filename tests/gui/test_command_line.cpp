// The program's command line: --help and --version print, anything else is
// ignored.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

struct CommandLineCase {
    QStringList arguments;
    std::optional<QString> reply_starts_with; // nothing: the program starts
};

TEST(CommandLine, HelpAndVersionPrintEverythingElseIsIgnored)
{
    const QString version = QStringLiteral("KX-52 " KX52_VERSION "\n");
    const QString usage = QStringLiteral("Usage: kx52 [--help | --version]\n");
    const CommandLineCase cases[] = {
        {{"kx52"}, std::nullopt},
        {{"kx52", "--version"}, version},
        {{"kx52", "-v"}, version},
        {{"kx52", "--help"}, usage},
        {{"kx52", "-h"}, usage},
        {{"kx52", "--help", "--version"}, usage},
        // Unknown options and words do not stop the program, nor hide a
        // known option beside them.
        {{"kx52", "--frobnicate", "COM1"}, std::nullopt},
        {{"kx52", "--frobnicate", "--version"}, version},
        // The toolkit's one-dash words are not bundles of letters: "-reverse"
        // holds a v but asks for no version, "-platform xcb" for no help.
        {{"kx52", "-reverse"}, std::nullopt},
        {{"kx52", "-platform", "xcb", "-session", "abc"}, std::nullopt},
    };
    for (const CommandLineCase& c : cases) {
        const std::optional<QString> reply = CommandLineReply(c.arguments);
        ASSERT_EQ(reply.has_value(), c.reply_starts_with.has_value()) << c.arguments.join(u' ').toStdString();
        if (reply) {
            EXPECT_TRUE(reply->startsWith(*c.reply_starts_with))
                << c.arguments.join(u' ').toStdString() << ": " << reply->toStdString();
        }
    }
    EXPECT_EQ(*CommandLineReply({"kx52", "--version"}), version) << "one line, nothing more";
}

} // namespace
