#pragma once
// Copying readings out of a table: the selected cells as tab-separated text,
// one line per row, ready to paste into a spreadsheet or a text editor.
#include <QString>

class QAction;
class QTableWidget;

// The selected cells of `table`, rows top to bottom, each row's cells from the
// leftmost to the rightmost selected column of the whole selection, parted by
// tabs (cells of that span left unselected in a row give empty fields, so the
// columns stay aligned). Every line ends with a line feed. Rows whose selected
// cells are all empty (rows not yet filled) are left out.
QString SelectionText(const QTableWidget& table);

// Gives `table` the action "Kopírovat" (Ctrl+C while the table has the focus,
// and its context menu), which puts SelectionText on the clipboard.
QAction* AddCopyAction(QTableWidget* table);
