#pragma once
// The program's windows: each created once at start, in this order, and
// reached through its one global reference until the program ends.
#include "SerialBackend.h"

#include <memory>
#include <string_view>

class Torbena52;
class Tport;
class TAboutBox;
class Tabout_ident;
class TForm_menu;
class TZmenaAdresy;
class Trotace3D;
class TGridMeas;
class Tfile_sampling;

extern Torbena52* orbena52;
extern Tport* port;
extern TAboutBox* AboutBox;
extern Tabout_ident* about_ident;
extern TForm_menu* Form_menu;
extern TZmenaAdresy* ZmenaAdresy;
extern Trotace3D* rotace3D;
extern TGridMeas* GridMeas;
extern Tfile_sampling* file_sampling;

// Creates the main window (which opens the settings store in `settings_folder`,
// empty for the user's own) and then the other windows, in the program's
// order. Errors raised while a window reads its settings are shown and
// start-up goes on. `serial` replaces the serial back end of the port
// (tests); null means the system's own.
void CreateProgramWindows(std::string_view settings_folder = {}, std::unique_ptr<SerialBackend> serial = nullptr);
// Destroys every window (program end; tests).
void DestroyProgramWindows();
