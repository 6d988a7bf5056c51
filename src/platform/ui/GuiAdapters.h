#pragma once

#include "platform/Beeper.h"
#include "platform/BusyPointer.h"
#include "platform/MessageBoxes.h"

class QDialog;

// The desktop's own message boxes, beep and pointer behind the platform interfaces.

// Shows `dialog` application-modal and returns its result once it is answered (Rejected if it
// goes away unanswered). Unlike QDialog::exec, work that waited below (blocking) goes on
// meanwhile, from inside this wait.
int runModal(QDialog& dialog);

class QtMessageBoxes : public MessageBoxes {
public:
    void information(const QString& title, const QString& text) override;
};

class QtBeeper : public Beeper {
public:
    void beep() override;
};

// Uses the application's override cursor; setting busy twice needs only one setDefault.
class QtBusyPointer : public BusyPointer {
public:
    void setBusy() override;
    void setDefault() override;

private:
    bool m_busy = false;
};
