// "O aplikaci": the version row from the program file's version, and the
// texts of the box.
#include "AboutBox.h"
#include "DialogChecks.h"
#include "FileVersion.h"

#include <QLabel>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>

namespace {

TEST(AboutBox, TheVersionRowShowsTheProgramFilesVersion)
{
    struct Case {
        std::optional<std::string> version;
        const char* shown;
    };
    for (const Case& c : {Case{std::nullopt, ""}, Case{"2.1.0.7", "Verze 2.1.0.7"}, Case{"", "Verze "}}) {
        SCOPED_TRACE(c.shown);
        const TAboutBox box([&c] { return c.version; });
        EXPECT_EQ(box.Label5->text(), QString::fromUtf8(c.shown));
    }
#ifndef _WIN32
    // This program's own file: the version it was built as.
    ASSERT_EQ(ProgramFileVersion(), std::optional<std::string>("1.0.0.0"));
    const TAboutBox box(&ProgramFileVersion);
    EXPECT_EQ(box.Label5->text(), QStringLiteral("Verze 1.0.0.0"));
#endif
}

TEST(AboutBox, LayoutAndTexts)
{
    const TAboutBox box([] { return std::optional<std::string>("1.0.0.0"); });
    EXPECT_EQ(box.windowTitle(), QStringLiteral("O aplikaci"));
    EXPECT_EQ(box.size(), QSize(324, 289));
    EXPECT_EQ(box.tl_ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(box.tl_ok->isDefault());

    // Top to bottom, as the box shows them.
    std::vector<const QLabel*> labels;
    for (const QLabel* l : box.findChildren<QLabel*>())
        if (!l->text().isEmpty())
            labels.push_back(l);
    std::stable_sort(labels.begin(), labels.end(), [](const QLabel* a, const QLabel* b) {
        return a->y() != b->y() ? a->y() < b->y() : a->x() < b->x();
    });
    QStringList texts;
    for (const QLabel* l : labels)
        texts << l->text();
    EXPECT_EQ(
        texts,
        (QStringList{QStringLiteral("Název produktu"), QStringLiteral("KX-52"), QStringLiteral("Název firmy"),
                     QStringLiteral("Projekt KX-52"), QStringLiteral("Verze"), QStringLiteral("Verze 1.0.0.0"),
                     QStringLiteral("Minimální systémové požadavky"), QStringLiteral("-CPU Pentium 266 MHz nebo vyšší"),
                     QStringLiteral("-Microsoft Windows 95/98/ME/2000 nebo vyšší"),
                     QStringLiteral("-3 MB volného místa na pevném disku"),
                     QStringLiteral("-Systémová paměť 64 MB (128 MB doporučeno)"),
                     QStringLiteral("-VGA nebo vyšší rozlišení")}));
    for (const QLabel* right : {labels[1], labels[3], labels[5]})
        EXPECT_TRUE(right->font().bold()) << right->text().toStdString();
    const QLabel* picture = box.findChild<QLabel*>(QStringLiteral("ProgramIcon"));
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull()) << "the picture is in the resources";
    ExpectReadableLayout(box);
}

} // namespace
