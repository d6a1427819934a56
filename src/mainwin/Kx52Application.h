#pragma once
// The application object. Its notify() is the program's top-level handler:
// an error raised in any event handler ends that handler and is shown in the
// error box; the program then carries on in its message loop.
#include <QApplication>

class Kx52Application : public QApplication {
public:
    Kx52Application(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};
