// Zaznam_vzorkovani: Tfile_sampling, the recording period dialog.
#include "Zaznam_vzorkovani.h"

#include "DecimalParse.h"
#include "DialogFont.h"
#include "ErrorBoundary.h"
#include "MessageBoxes.h"
#include "SettingsReader.h"
#include "SettingsStore.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr std::int32_t kDefaultPeriod = 60;
const char* const kSection = "ZAZNAM";
const char* const kName = "SOUBOR";

} // namespace

Tfile_sampling::Tfile_sampling(SettingsStore& store, QWidget* parent) : QDialog(parent), store_(store)
{
    setObjectName(QStringLiteral("file_sampling"));
    setWindowTitle(QStringLiteral("Záznam"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFont(DialogFont(11, false));
    const QFont bold = DialogFont(11, true);

    Label1 = new QLabel(QStringLiteral("Vzorkvání do souboru"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setFont(bold);
    Label1->move(16, 24);
    Label1->adjustSize();

    ed_zaznam = new QLineEdit(QStringLiteral("60"), this);
    ed_zaznam->setObjectName(QStringLiteral("ed_zaznam"));
    ed_zaznam->setFont(bold);
    ed_zaznam->setGeometry(16, 40, 121, 21);
    ed_zaznam->installEventFilter(this);

    Label2 = new QLabel(QStringLiteral("[s]"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(DialogFont(13, true));
    Label2->move(152, 40);
    Label2->adjustSize();

    tl_ok = new QPushButton(QStringLiteral("OK"), this);
    tl_ok->setObjectName(QStringLiteral("tl_ok"));
    tl_ok->setFont(bold);
    tl_ok->setGeometry(16, 72, 75, 25);
    connect(tl_ok, &QPushButton::clicked, this, Guarded(this, &Tfile_sampling::tl_okClick));

    tl_cancel = new QPushButton(QStringLiteral("Storno"), this);
    tl_cancel->setObjectName(QStringLiteral("tl_cancel"));
    tl_cancel->setFont(bold);
    tl_cancel->setGeometry(160, 72, 75, 25);
    connect(tl_cancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects as well

    setTabOrder(ed_zaznam, tl_ok);
    setTabOrder(tl_ok, tl_cancel);

    setFixedSize(249, 121);
    move(433, 189);

    // A stored period that cannot be read is shown; the window keeps its
    // design value and start-up goes on.
    RunGuarded([this] { FormCreate(); });
}

Tfile_sampling::~Tfile_sampling() = default;

void Tfile_sampling::FormCreate()
{
    SettingsReader s(store_);
    sampling_period = s.Load(kSection, kName, kDefaultPeriod);
    s.Finish();
}

void Tfile_sampling::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void Tfile_sampling::FormShow()
{
    ed_zaznam->setText(QString::number(sampling_period));
    ed_zaznam->setFocus();
}

int Tfile_sampling::CheckPeriod(std::int32_t& value)
{
    std::int32_t entered = 0;
    if (ParseInt32(ed_zaznam->text().toStdString(), entered) && entered >= 1) {
        value = entered;
        return 0;
    }
    ShowMessageBox(nullptr, QMessageBox::Warning, QStringLiteral("CHYBA"),
                   QStringLiteral("Je nutné zadávat pouze celá čísla větší než 0"));
    value = kDefaultPeriod;
    ed_zaznam->setText(QString::number(kDefaultPeriod));
    ed_zaznam->setFocus();
    return -1;
}

void Tfile_sampling::tl_okClick()
{
    std::int32_t value = 0;
    if (CheckPeriod(value) != 0)
        return;
    sampling_period = value;
    store_.StoreInt(kSection, kName, value);
    accept();
}

bool Tfile_sampling::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ed_zaznam && event->type() == QEvent::KeyPress)
        return ed_zaznamKeyPress(static_cast<QKeyEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool Tfile_sampling::ed_zaznamKeyPress(QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    RunGuarded([this] { tl_okClick(); });
    return true;
}
