#pragma once

#include <QString>

// Every message the program shows goes through here, so tests can record them instead of being
// held by a modal box.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;

    // An information box (information icon, one OK button) titled `title`. Returns when the user
    // has closed it.
    virtual void information(const QString& title, const QString& text) = 0;
};
