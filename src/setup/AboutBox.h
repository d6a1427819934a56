// AboutBox: TAboutBox, the About box (the program's name, version and requirements).
#pragma once
// "O aplikaci": the program's name, its maker and its version, and the
// minimum system requirements.
#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // Gives the version of the program's file, or no value when it has none.
    using VersionSource = std::function<std::optional<std::string>()>;

    explicit TAboutBox(VersionSource version, QWidget* parent = nullptr);
    ~TAboutBox() override;

    QLabel* Label5 = nullptr;
    QPushButton* tl_ok = nullptr;

public Q_SLOTS:
    void FormCreate();

private:
    VersionSource version_;
};
