#include "blocking/BlockingView.h"

QString controlName(BlockingControl control) {
    switch (control) {
    case BlockingControl::msg1:
        return QStringLiteral("msg1");
    case BlockingControl::label28:
        return QStringLiteral("label28");
    case BlockingControl::Label2:
        return QStringLiteral("Label2");
    case BlockingControl::stop_start:
        return QStringLiteral("stop_start");
    case BlockingControl::go:
        return QStringLiteral("go");
    case BlockingControl::stop:
        return QStringLiteral("stop");
    case BlockingControl::Command5_0:
    case BlockingControl::Command5_1:
        return QStringLiteral("Command5");
    case BlockingControl::Image2:
        return QStringLiteral("Image2");
    case BlockingControl::Image6:
        return QStringLiteral("Image6");
    case BlockingControl::Image10:
        return QStringLiteral("Image10");
    case BlockingControl::Timer3:
        return QStringLiteral("Timer3");
    case BlockingControl::Timer6:
        return QStringLiteral("Timer6");
    }
    return {};
}

int controlIndex(BlockingControl control) {
    switch (control) {
    case BlockingControl::Command5_0:
        return 0;
    case BlockingControl::Command5_1:
        return 1;
    default:
        return -1;
    }
}
