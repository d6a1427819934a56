#include "PortAssign.h"

#include "ErrorBoundary.h"
#include "MessageBoxes.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

TPortAssign::TPortAssign(QWidget* parent, std::string dev_root, std::string sys_root, std::string config_dir)
    : QDialog(parent),
      dev_root_(std::move(dev_root)),
      sys_root_(std::move(sys_root)),
      config_dir_(std::move(config_dir))
{
    setObjectName(QStringLiteral("PortAssign"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    auto* layout = new QVBoxLayout(this);
    auto* caption = new QLabel(QStringLiteral("&Sériová zařízení v počítači:"), this);
    layout->addWidget(caption);
    lv_devices = new QListWidget(this);
    lv_devices->setObjectName(QStringLiteral("lv_devices"));
    lv_devices->setMinimumSize(460, 160);
    caption->setBuddy(lv_devices);
    layout->addWidget(lv_devices);
    lb_info = new QLabel(this);
    lb_info->setObjectName(QStringLiteral("lb_info"));
    lb_info->setWordWrap(true);
    lb_info->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    lb_info->setMinimumHeight(48);
    layout->addWidget(lb_info);
    auto* path_caption = new QLabel(QStringLiteral("&Cesta k zařízení:"), this);
    layout->addWidget(path_caption);
    ed_path = new QLineEdit(this);
    ed_path->setObjectName(QStringLiteral("ed_path"));
    ed_path->setAccessibleName(QStringLiteral("Cesta k zařízení"));
    path_caption->setBuddy(ed_path);
    layout->addWidget(ed_path);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    tl_assign = new QPushButton(QStringLiteral("Přiřadit"), this);
    tl_assign->setObjectName(QStringLiteral("tl_assign"));
    tl_assign->setDefault(true);
    tl_cancel = new QPushButton(QStringLiteral("Storno"), this);
    tl_cancel->setObjectName(QStringLiteral("tl_cancel"));
    buttons->addWidget(tl_assign);
    buttons->addWidget(tl_cancel);
    layout->addLayout(buttons);

    connect(tl_assign, &QPushButton::clicked, this, Guarded(this, &TPortAssign::tl_assignClick));
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lv_devices, &QListWidget::currentRowChanged, this, Guarded(this, &TPortAssign::ShowInfo));
    connect(lv_devices, &QListWidget::itemActivated, this, Guarded(this, &TPortAssign::tl_assignClick));
    connect(ed_path, &QLineEdit::textEdited, this, Guarded(this, &TPortAssign::ed_pathChange));
}

QString TPortAssign::AccessAdvice(const SerialDevice& device)
{
    const QString group = QString::fromStdString(device.group.empty() ? std::string("dialout") : device.group);
    return QStringLiteral("Zařízení %1 nemůžete otevřít: nemáte k němu práva. Přidejte svůj účet do skupiny "
                          "%2 (sudo usermod -aG %2 $USER) a znovu se přihlaste.")
        .arg(QString::fromStdString(device.path), group);
}

bool TPortAssign::Assign(int n)
{
    com_ = n;
    setWindowTitle(QStringLiteral("Přiřazení portu COM %1").arg(n));
    devices_ = ListSerialDevices(dev_root_, sys_root_);
    {
        const QSignalBlocker block(lv_devices);
        lv_devices->clear();
        for (const SerialDevice& device : devices_) {
            QString text = QString::fromStdString(device.path);
            if (!device.description.empty())
                text += QStringLiteral("  –  ") + QString::fromStdString(device.description);
            if (!device.accessible)
                text += QStringLiteral("  (bez přístupu)");
            lv_devices->addItem(text);
        }
    }
    lv_devices->setEnabled(!devices_.empty());
    // A port that is assigned already opens on its device: Enter keeps it.
    // Otherwise the first device present is offered.
    const ComTarget now = DescribeComTarget(n);
    if (now.through_link) {
        ed_path->setText(QString::fromStdString(now.device));
        ed_pathChange();
    } else {
        ed_path->clear();
        if (!devices_.empty())
            lv_devices->setCurrentRow(0);
        ShowInfo();
    }
    // The list would make its first row current on taking the focus, and
    // so replace a path that it does not list: then the edit has it.
    if (lv_devices->currentRow() >= 0)
        lv_devices->setFocus();
    else
        ed_path->setFocus();
    return exec() == QDialog::Accepted;
}

int TPortAssign::RowOf(const QString& path) const
{
    for (std::size_t row = 0; row < devices_.size(); ++row)
        if (QString::fromStdString(devices_[row].path) == path)
            return static_cast<int>(row);
    return -1;
}

void TPortAssign::ShowInfo()
{
    const int row = lv_devices->currentRow();
    if (row >= 0 && row < static_cast<int>(devices_.size()))
        ed_path->setText(QString::fromStdString(devices_[static_cast<std::size_t>(row)].path));
    ShowPathInfo();
}

void TPortAssign::ed_pathChange()
{
    // The list follows what is typed: its device when it lists the path,
    // none otherwise (a pseudo-terminal, an adapter it does not know).
    const QSignalBlocker block(lv_devices);
    const int row = RowOf(ed_path->text().trimmed());
    lv_devices->setCurrentRow(row);
    if (row < 0)
        lv_devices->clearSelection();
    ShowPathInfo();
}

void TPortAssign::ShowPathInfo()
{
    // The line says what "Přiřadit" will do: always about the path in the
    // edit, which is what gets assigned.
    const QString path = ed_path->text().trimmed();
    const int row = RowOf(path);
    if (row >= 0 && !devices_[static_cast<std::size_t>(row)].accessible)
        lb_info->setText(AccessAdvice(devices_[static_cast<std::size_t>(row)]));
    else if (!path.isEmpty())
        lb_info->setText(QStringLiteral("COM %1 bude otevírat %2.").arg(com_).arg(path));
    else if (devices_.empty())
        lb_info->setText(QStringLiteral("V počítači nebylo nalezeno žádné sériové zařízení. Připojte převodník "
                                        "a otevřete toto okno znovu."));
    else
        lb_info->clear();
    lv_devices->setAccessibleDescription(lb_info->text());
}

void TPortAssign::tl_assignClick()
{
    const QString path = ed_path->text().trimmed();
    const QFileInfo device(path);
    if (path.isEmpty() || !device.isAbsolute() || !device.exists()) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("CHYBA"),
                       QStringLiteral("Zařízení „%1“ neexistuje. Zadejte celou cestu, např. /dev/ttyUSB0.").arg(path));
        ed_path->setFocus();
        return;
    }
    std::string error;
    if (!AssignComDevice(com_, path.toStdString(), error, config_dir_)) {
        ShowMessageBox(this, QMessageBox::Warning, QStringLiteral("CHYBA"),
                       QStringLiteral("Port COM %1 nelze přiřadit: %2").arg(com_).arg(QString::fromStdString(error)));
        return;
    }
    accept();
}
