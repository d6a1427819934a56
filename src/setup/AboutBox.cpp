// AboutBox: TAboutBox, the About box (the program's name, version and requirements).
#include "AboutBox.h"

#include "DialogLook.h"
#include "ErrorBoundary.h"
#include "Maker.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>

TAboutBox::TAboutBox(VersionSource version, QWidget* parent)
    : QDialog(parent, kSystemMenuOnly), version_(std::move(version))
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("O aplikaci"));
    setFont(DialogFont(11));

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setGeometry(8, 8, 308, 233);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setGeometry(10, 10, 80, 62);
    picture->setPixmap(QPixmap(QStringLiteral(":/pictures/instruments.png")));
    picture->setScaledContents(true);
    picture->setAccessibleName(QStringLiteral("Panelové přístroje"));

    constexpr int kLeft = 100;
    constexpr int kRight = 190;
    AddDialogLabel(panel, QStringLiteral("Název produktu"), kLeft, 14, false);
    AddDialogLabel(panel, QStringLiteral("KX-52"), kRight, 14, true)->setObjectName(QStringLiteral("ProductName"));
    AddDialogLabel(panel, QStringLiteral("Název firmy"), kLeft, 34, false);
    AddDialogLabel(panel, QString::fromUtf8(kMakerName), kRight, 34, true)->setObjectName(QStringLiteral("Copyright"));
    AddDialogLabel(panel, QStringLiteral("Verze"), kLeft, 54, false);
    Label5 = new QLabel(panel);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setFont(DialogFont(11, true));
    Label5->setGeometry(kRight, 54, 308 - kRight - 8, 16);

    auto* line = new QFrame(panel);
    line->setObjectName(QStringLiteral("Bevel1"));
    line->setFrameStyle(QFrame::HLine | QFrame::Raised);
    line->setGeometry(8, 84, 292, 4);

    AddDialogLabel(panel, QStringLiteral("Minimální systémové požadavky"), 10, 98, true);
    int y = 118;
    for (const char* requirement : {"-CPU Pentium 266 MHz nebo vyšší", "-Microsoft Windows 95/98/ME/2000 nebo vyšší",
                                    "-3 MB volného místa na pevném disku", "-Systémová paměť 64 MB (128 MB doporučeno)",
                                    "-VGA nebo vyšší rozlišení"}) {
        AddDialogLabel(panel, QString::fromUtf8(requirement), 26, y, false);
        y += 20;
    }

    tl_ok = new QPushButton(QStringLiteral("OK"), this);
    tl_ok->setObjectName(QStringLiteral("OKButton"));
    tl_ok->setFont(DialogFont(11, true));
    tl_ok->setGeometry(124, 252, 75, 25);
    tl_ok->setDefault(true);
    connect(tl_ok, &QPushButton::clicked, this, &QDialog::accept);

    setFixedSize(324, 289);
    RunGuarded([this] { FormCreate(); });
}

TAboutBox::~TAboutBox() = default;

void TAboutBox::FormCreate()
{
    Label5->clear();
    if (const std::optional<std::string> version = version_ ? version_() : std::nullopt)
        Label5->setText(QStringLiteral("Verze ") + QString::fromStdString(*version));
}
