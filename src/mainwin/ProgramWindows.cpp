#include "ProgramWindows.h"

#include "AboutBox.h"
#include "About_ident.h"
#include "FileVersion.h"
#include "Hl_modul.h"
#include "Menu_mod.h"
#include "MessageBoxes.h"
#include "Protokol_spol.h"
#include "Rotace_3d.h"
#include "Unitport.h"
#include "WireTrace.h"
#include "Zaznam_mereni.h"
#include "Zaznam_vzorkovani.h"
#include "Zmena_adresy.h"

#include <QCoreApplication>

#include <cstdlib>
#include <iostream>

Torbena52* orbena52 = nullptr;
Tport* port = nullptr;
TAboutBox* AboutBox = nullptr;
Tabout_ident* about_ident = nullptr;
TForm_menu* Form_menu = nullptr;
TZmenaAdresy* ZmenaAdresy = nullptr;
Trotace3D* rotace3D = nullptr;
TGridMeas* GridMeas = nullptr;
Tfile_sampling* file_sampling = nullptr;

namespace {
void ShowLinkMessage(const char* text, const char* caption)
{
    ShowMessageBox(nullptr, QMessageBox::Critical, QString::fromUtf8(caption), QString::fromUtf8(text));
}

// With KX52_TRACE naming a file, the port's traffic is appended to it (see
// WireTrace.h); without it the port talks to the line directly, at no cost.
std::unique_ptr<SerialBackend> TracedIfAsked(std::unique_ptr<SerialBackend> backend)
{
    const char* path = std::getenv("KX52_TRACE");
    if (path == nullptr || *path == '\0')
        return backend;
    const std::string first_note =
        "KX-52 " + QCoreApplication::applicationVersion().toStdString() + ", wire trace started";
    std::string error;
    backend = WithWireTrace(std::move(backend), path, first_note, error);
    if (!error.empty())
        std::cerr << "kx52: " << error << std::endl;
    return backend;
}
} // namespace

void CreateProgramWindows(std::string_view settings_folder, std::unique_ptr<SerialBackend> serial)
{
    // The main window opens the settings store, which the port and recording
    // settings windows read while they are created; so it comes first.
    orbena52 = new Torbena52(std::string(settings_folder));
    port = new Tport(orbena52->Settings(), TracedIfAsked(serial ? std::move(serial) : MakeSerialBackend()));
    link_set_port(port);
    link_set_message_handler(&ShowLinkMessage);
    AboutBox = new TAboutBox(&ProgramFileVersion);
    // Every fixed pause between exchanges goes through the link's sleep.
    about_ident = new Tabout_ident(&link_pause);
    Form_menu = new TForm_menu(&link_pause);
    ZmenaAdresy = new TZmenaAdresy(&link_pause);
    rotace3D = new Trotace3D(*orbena52->Chart());
    GridMeas = new TGridMeas(*orbena52, [] { return file_sampling->sampling_period; });
    file_sampling = new Tfile_sampling(orbena52->Settings());
}

void DestroyProgramWindows()
{
    link_set_port(nullptr);
    delete file_sampling;
    file_sampling = nullptr;
    delete GridMeas;
    GridMeas = nullptr;
    delete rotace3D;
    rotace3D = nullptr;
    delete ZmenaAdresy;
    ZmenaAdresy = nullptr;
    delete Form_menu;
    Form_menu = nullptr;
    delete about_ident;
    about_ident = nullptr;
    delete AboutBox;
    AboutBox = nullptr;
    delete port;
    port = nullptr;
    delete orbena52;
    orbena52 = nullptr;
}
