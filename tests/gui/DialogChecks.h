#pragma once
// Checks every dialog should pass: each label, button and edit lies inside
// its parent, a label that does not wrap has room for its whole text, and a
// screen reader finds a name for each of them (pictures included).
#include <QAbstractButton>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QWidget>
#include <gtest/gtest.h>

inline void ExpectReadableLayout(const QWidget& dialog)
{
    for (QWidget* w : dialog.findChildren<QWidget*>()) {
        const bool text_widget = qobject_cast<const QLabel*>(w) != nullptr ||
                                 qobject_cast<const QAbstractButton*>(w) != nullptr ||
                                 qobject_cast<const QLineEdit*>(w) != nullptr;
        if (!text_widget || w->isHidden())
            continue;
        const QString text = w->property("text").toString();
        const std::string what = (w->objectName() + QStringLiteral(" ") + text).toStdString();
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << what;
        const auto* label = qobject_cast<const QLabel*>(w);
        if (label != nullptr && !label->wordWrap() && label->pixmap().isNull()) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << what;
            EXPECT_LE(label->sizeHint().height(), label->height()) << what;
        }
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(accessible, nullptr) << what;
        const bool has_content = !text.isEmpty() || (label != nullptr && !label->pixmap().isNull()) ||
                                 qobject_cast<const QLineEdit*>(w) != nullptr;
        if (has_content) {
            EXPECT_FALSE(accessible->text(QAccessible::Name).isEmpty()) << what;
        }
    }
}
