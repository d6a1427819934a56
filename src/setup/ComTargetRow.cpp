#include "ComTargetRow.h"

#include "ComDevices.h"
#include "ErrorBoundary.h"
#include "PortAssign.h"

#include <QLabel>
#include <QPushButton>

ComTargetRow::ComTargetRow(QWidget* dialog, int x, int y, int width) : QObject(dialog)
{
    tl_prirad = new QPushButton(QStringLiteral("Přiřadit…"), dialog);
    tl_prirad->setObjectName(QStringLiteral("tl_prirad"));
    tl_prirad->setGeometry(x, y, 106, 24);
    tl_prirad->setToolTip(QStringLiteral("Přiřadí zvolenému portu sériové zařízení počítače"));
    lb_target = new QLabel(dialog);
    lb_target->setObjectName(QStringLiteral("lb_target"));
    lb_target->setGeometry(x + 116, y, width - 116, 24);
    lb_target->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lb_target->setToolTip(QStringLiteral("Zařízení, které zvolený port otevírá"));
    assign = new TPortAssign(dialog);
    connect(tl_prirad, &QPushButton::clicked, this, Guarded(this, &ComTargetRow::tl_priradClick));
}

QString ComTargetRow::TargetText(int n, const ComTarget& target)
{
    if (n <= 0)
        return QStringLiteral("Není zvolen žádný port.");
    QString text = QStringLiteral("COM %1 → %2").arg(n).arg(QString::fromStdString(target.device));
    if (target.dangling)
        text += QStringLiteral(" (odpojeno)");
    else if (!target.exists)
        text += QStringLiteral(" (neexistuje)");
    else if (!target.accessible)
        text += QStringLiteral(" (bez přístupu)");
    if (!target.through_link)
        text += QStringLiteral(", nepřiřazen");
    return text;
}

void ComTargetRow::Show(int n)
{
    com_ = n;
    const QString text = TargetText(n, DescribeComTarget(n));
    lb_target->setText(text);
    lb_target->setAccessibleName(text);
    tl_prirad->setEnabled(n > 0 && !locked_);
}

void ComTargetRow::SetLocked(bool locked)
{
    locked_ = locked;
    tl_prirad->setEnabled(com_ > 0 && !locked_);
}

void ComTargetRow::tl_priradClick()
{
    if (com_ <= 0 || !assign->Assign(com_))
        return;
    Show(com_);
    if (on_assigned)
        on_assigned(com_);
}
