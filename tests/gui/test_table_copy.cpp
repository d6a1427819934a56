// Copying readings out of "Naměřené hodnoty": Ctrl+C and the context menu.
#include "RecordSource.h"
#include "Zaznam_mereni.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

class Readings : public RecordSource {
public:
    int n = 0;
    QString MeasText() const override { return QStringLiteral("%1,500").arg(n); }
    QString SumText() const override { return QStringLiteral("%1,00000").arg(n * 10); }
    QDateTime Now() const override { return QDateTime(QDate(2026, 12, 7), QTime(9, 5, n)); }
    bool FileChosen() const override { return false; }
    QString RecordingFileName() const override { return {}; }
};

struct Selection {
    int top, left, bottom, right; // table rows (sample row - 1) and columns
};

class TableCopyTest : public ::testing::Test {
protected:
    Readings source;
    TGridMeas grid{source, [] { return 1; }};

    void SetUp() override
    {
        for (source.n = 1; source.n <= 3; ++source.n)
            grid.AddTableRow();
        grid.show();
        QApplication::setActiveWindow(&grid);
        grid.Grid->setFocus();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&grid));
    }
    // Sample row `n`, columns `first`..`last`, as one copied line.
    QString Line(int n, int first, int last) const
    {
        QStringList fields;
        for (int column = first; column <= last; ++column)
            fields << grid.Cell(column, n);
        return fields.join(u'\t') + u'\n';
    }
    void Select(const std::vector<Selection>& ranges)
    {
        grid.Grid->clearSelection();
        for (const Selection& s : ranges)
            grid.Grid->setRangeSelected(QTableWidgetSelectionRange(s.top, s.left, s.bottom, s.right), true);
    }
};

TEST_F(TableCopyTest, CtrlCCopiesTheSelectionAsTabSeparatedRows)
{
    struct Case {
        const char* what;
        std::vector<Selection> ranges;
        QString expected;
    };
    const Case cases[] = {
        {"two whole rows", {{0, 0, 1, 3}}, Line(1, 0, 3) + Line(2, 0, 3)},
        {"value and sum of rows 2 and 3", {{1, 0, 2, 1}}, Line(2, 0, 1) + Line(3, 0, 1)},
        {"one cell", {{2, 3, 2, 3}}, Line(3, 3, 3)},
        {"rows not yet filled are left out", {{1, 0, 9, 3}}, Line(2, 0, 3) + Line(3, 0, 3)},
        // Cells of the spanned columns left unselected in a row stay as empty
        // fields, so columns stay in line when pasted.
        {"two blocks", {{0, 0, 0, 0}, {1, 2, 1, 3}}, grid.Cell(0, 1) + "\t\t\t\n" + "\t\t" + Line(2, 2, 3)},
    };
    for (const Case& c : cases) {
        Select(c.ranges);
        QGuiApplication::clipboard()->setText(QStringLiteral("before"));
        QTest::keyClick(grid.Grid, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), c.expected.toStdString()) << c.what;
    }
    // Values, sums, dates and times as the table shows them.
    EXPECT_EQ(Line(1, 0, 1).toStdString(), "1,500\t10,00000\n");

    grid.Grid->clearSelection();
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    QTest::keyClick(grid.Grid, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "before") << "nothing selected, nothing copied";
}

TEST_F(TableCopyTest, ContextMenuOffersTheSameCopy)
{
    EXPECT_EQ(grid.Grid->contextMenuPolicy(), Qt::ActionsContextMenu);
    QAction* copy = nullptr;
    for (QAction* action : grid.Grid->actions())
        if (action->text() == QStringLiteral("Kopírovat"))
            copy = action;
    ASSERT_NE(copy, nullptr);
    Select({{0, 0, 2, 3}});
    copy->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(),
              (Line(1, 0, 3) + Line(2, 0, 3) + Line(3, 0, 3)).toStdString());
}

} // namespace
