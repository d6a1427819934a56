#include "TableCopy.h"

#include "ErrorBoundary.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeySequence>
#include <QTableWidget>

#include <algorithm>
#include <map>
#include <set>

QString SelectionText(const QTableWidget& table)
{
    // Selected columns by row, in order.
    std::map<int, std::set<int>> rows;
    int first_column = table.columnCount();
    int last_column = -1;
    for (const QTableWidgetSelectionRange& range : table.selectedRanges()) {
        for (int row = range.topRow(); row <= range.bottomRow(); ++row)
            for (int column = range.leftColumn(); column <= range.rightColumn(); ++column)
                rows[row].insert(column);
        first_column = std::min(first_column, range.leftColumn());
        last_column = std::max(last_column, range.rightColumn());
    }
    QString text;
    for (const auto& [row, columns] : rows) {
        QStringList fields;
        bool any_text = false;
        for (int column = first_column; column <= last_column; ++column) {
            const QTableWidgetItem* item = columns.count(column) != 0 ? table.item(row, column) : nullptr;
            fields << (item != nullptr ? item->text() : QString());
            any_text = any_text || !fields.back().isEmpty();
        }
        if (any_text)
            text += fields.join(QLatin1Char('\t')) + QLatin1Char('\n');
    }
    return text;
}

QAction* AddCopyAction(QTableWidget* table)
{
    auto* copy = new QAction(QStringLiteral("Kopírovat"), table);
    copy->setObjectName(QStringLiteral("mn_copy"));
    copy->setShortcut(QKeySequence::Copy);
    // Only while the table has the focus, so Ctrl+C elsewhere keeps its meaning.
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(copy, &QAction::triggered, table, [table] {
        RunGuarded([table] {
            const QString text = SelectionText(*table);
            // Nothing selected leaves the clipboard as it was.
            if (!text.isEmpty())
                QGuiApplication::clipboard()->setText(text);
        });
    });
    table->addAction(copy);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    return copy;
}
