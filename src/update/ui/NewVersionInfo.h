#pragma once

#include <QDialog>
#include <functional>

class QLabel;
class QPushButton;
struct ColourScheme;

// The bulletin that offers a newer version: the message, "Yes", "No" and a button for the page
// about what the new version brings, which leaves the bulletin open.
class NewVersionInfo : public QDialog {
    Q_OBJECT
public:
    NewVersionInfo(const QString& message, const ColourScheme& scheme, QWidget* parent = nullptr);

    // "Yes" or "No"; closing the bulletin any other way leaves "No".
    QString bulletinAnswer = QStringLiteral("No");
    // Opens the page about the new version's features.
    std::function<void()> openFeatures;

    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
    QPushButton* Command3 = nullptr;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ColourScheme& m_scheme;
};
