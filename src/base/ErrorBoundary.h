#pragma once
// The error boundary of every handler. The serial port and the settings store
// raise KxError; a handler that meets one ends there, the error box shows the
// message, and the program goes on. Nothing is thrown through Qt: every
// connect() and every event override runs its handler through RunGuarded.
//
//   connect(tl_najit, &QPushButton::clicked, this, Guarded(this, &Tport::tl_najitClick));
//   void X::showEvent(QShowEvent* e) { QDialog::showEvent(e); RunGuarded([this] { FormShow(); }); }
#include <QString>

#include <exception>
#include <utility>

// Shows `message` in the application's error box (caption "KX-52").
void ShowHandlerError(const QString& message);

// Runs `handler`; gives true when it ended normally, false when it raised an
// error, which has then been shown.
template <class Handler> bool RunGuarded(Handler&& handler) noexcept
{
    QString message;
    try {
        std::forward<Handler>(handler)();
        return true;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QStringLiteral("Neznámá chyba");
    }
    // The box runs its own message loop: shown outside the catch block, so no
    // exception is in flight while other handlers run inside that loop.
    ShowHandlerError(message);
    return false;
}

// A slot for connect() that runs `object`->*`handler`() inside RunGuarded.
// Arguments of the signal are not passed on.
template <class Object> auto Guarded(Object* object, void (Object::*handler)())
{
    return [object, handler] { RunGuarded([object, handler] { (object->*handler)(); }); };
}
