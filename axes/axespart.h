#pragma once

#include "base/axiscount.h"
#include "ui/partcontext.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace axes {

using base::kAxisCount;

// Manual control of each axis (enable, readout, jog, absolute move) and the controller's network
// address.
class AxesPart : public QObject
{
    Q_OBJECT
public:
    AxesPart(QWidget *form, ui::PartContext context);

    // Starts the periodic position readout.
    void startReadout();
    void stopReadout();
    // Servos the axes whose I/O box is ticked, so that a controller that was reset matches what
    // the window shows.
    void enableTickedAxes();

    // The jog speed texts of Zoom 1 and Zoom 2 as typed: the speeds a cam table replay moves the
    // zoom axes at.
    [[nodiscard]] std::array<QString, 2> zoomJogSpeeds() const;

    // Takes "Set IP" and then each axis panel's controls away (`locked`) or gives them back, in
    // their order on the panel; the labels and the readout stay as they are.
    void lockControls(bool locked);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void CheckStatus_Click(int axis);
    void Timer1_Timer();
    void CommandJogPos_MouseDown(int axis);
    void CommandJogNeg_MouseDown(int axis);
    // Ends the hold of either jog button of the axis.
    void CommandJog_MouseUp(int axis);
    void CommandAbsolutePos_Click(int axis);
    // A key typed into the axis's target box; Enter starts the move. True when the key was taken.
    bool AbsolutePos_KeyPress(int axis, int keyAscii);
    void CommandSetIP_Click();

private:
    void buildAxisFrame(int axis);
    void connectAxis(int axis);
    void jog(int axis, bool forward);

    QPushButton *CommandSetIP;
    QGroupBox *FrameManuale;
    std::array<QGroupBox *, kAxisCount> FrameManAxis{};
    std::array<QLabel *, kAxisCount> LabelStatus{};
    std::array<QLabel *, kAxisCount> Status{};
    std::array<QCheckBox *, kAxisCount> CheckStatus{};
    std::array<QLabel *, kAxisCount> Position{};
    std::array<QLabel *, std::size_t{2} * kAxisCount> LabelJogSpeed{};
    std::array<QLineEdit *, kAxisCount> JogSpeed{};
    std::array<QPushButton *, kAxisCount> CommandJogNeg{};
    std::array<QPushButton *, kAxisCount> CommandJogPos{};
    std::array<QLineEdit *, kAxisCount> AbsolutePos{};
    std::array<QPushButton *, kAxisCount> CommandAbsolutePos{};
    QTimer Timer1;

    ui::PartContext m_context;
};

} // namespace axes
