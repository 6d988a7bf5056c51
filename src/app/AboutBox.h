#pragma once

#include <QDialog>

class QLabel;
struct ColourScheme;

// The product's name, version and credits. A click on the version line asks for an update check.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    AboutBox(const ColourScheme& scheme, QWidget* parent = nullptr);

    QLabel* lblVersionUpdate = nullptr;

signals:
    void updateCheckRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    const ColourScheme& m_scheme;
};
