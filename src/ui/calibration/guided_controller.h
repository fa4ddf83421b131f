#pragma once

#include "link/write_session.h"
#include "ui/calibration/corrective_rules.h"
#include "ui/calibration/guided_calibration.h"
#include "ui/common/app_context.h"

#include <QObject>

#include <array>

class CalibrationLiveView;
class CorrectivePanel;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTimer;
class QWidget;

// What a guided calibration needs of the window it runs in: the window's phase follows it.
class GuidedHost {
public:
    // Running: polling goes on, nothing is busy. Writing: polling stops, the busy pointer shows.
    // Over: the window polls as before it started.
    virtual void guidedRunning() = 0;
    virtual void guidedWriting() = 0;
    virtual void guidedOver() = 0;
    virtual void showStatus(const QString& line) = 0;
    virtual void refreshControls() = 0;
    virtual void resumePolling() = 0;
    // No other work under way in the window: a guided calibration may start.
    virtual bool readyForGuided() const = 0;

protected:
    ~GuidedHost() = default;
};

// The guided calibrations of the calibration window: the selector and its start button, the value
// taken from the running vehicle, the coil counts and their handshake, the store through the write
// session, EXIT. Its controls are laid out by the window; its timers are the window's.
class GuidedController : public QObject {
    Q_OBJECT
public:
    // `coilTimer` is Timer1 (the coil handshake), `writeTimer` Timer5 (the guided write tick).
    GuidedController(AppContext& context, GuidedHost& host, CalibrationLiveView& live,
                     CorrectivePanel& correctives, QTimer& coilTimer, QTimer& writeTimer, QWidget* parent);

    // Command4, VScroll5, Text9; Command3, Label4, Text8, VScroll6: two rows under the live values.
    QWidget* selectorRows() const { return selectorRows_; }
    // Label5(0..15), where the correctives stand: shown once the ECU has said which injectors it has.
    QWidget* injectorColumn() const { return injectorColumn_; }
    QLineEdit* valueBox() const { return guidedValue_; }

    // Each opening: position 1, nothing running, every guided control hidden.
    void reset();
    void updateControls(bool idle, bool modeOn);
    GuidedCalibration::Kind running() const { return guided_.running(); }
    bool writing() const { return writing_; }
    bool storeAllowed() const;

    // Each poll: the live value into Text9, and how steady it is.
    void showLive(int smoothedPressure);
    // What the status line adds after the prompt.
    QString hint() const;
    bool abandoning() const { return guided_.abandoning(); }

    void store();
    void writeTick();
    void coilHandshakeTick();
    void writeEnded(const WriteReport& report);
    // `waitForInjectors` false: the coils end without the ECU's injector reply (the window closes).
    void abandon(bool waitForInjectors = true);
    void onParameterConfirmed(int id, int value);
    void hideCoilControls() { showCoilControls(false); }

private:
    void changePosition(int scrollValue);
    void start();
    void changeCoilCount(int scrollValue);
    void pressOk();
    void finish(GuidedCalibration::Kind kind);
    void showCoilControls(bool shown);
    void showProgress();
    QString text(const LocalText& local) const;

    AppContext& ctx_;
    SharedState& state_;
    GuidedHost& host_;
    CalibrationLiveView& live_;
    CorrectivePanel& correctives_;
    QTimer& coilTimer_;
    QTimer& writeTimer_;
    QWidget* selectorRows_;
    QWidget* injectorColumn_;
    QPushButton* startButton_;                 // Command4 "VISUALIZZA CORRETTIVI"
    QScrollBar* selector_;                     // VScroll5
    QLineEdit* guidedValue_;                   // Text9
    QPushButton* okButton_;                    // Command3 "OK"
    QLabel* coilLabel_;                        // Label4 "NUMERO BOBINE"
    QLineEdit* coilBox_;                       // Text8
    QScrollBar* coilSpinner_;                  // VScroll6
    std::array<QLabel*, 16> injectorLabels_{}; // Label5(0..15): ON of injector i + 1 at i, its OFF at 8 + i

    GuidedCalibration guided_;
    int position_ = 1; // VScroll5
    SteadyValue steady_;
    bool writing_ = false;
};
