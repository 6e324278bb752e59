// The timer component: OnTimer every Interval milliseconds while enabled.
#pragma once
#include "toolkit/classes.h"

class TTimer : public TComponent {
public:
    VP_CLASS_NAME(TTimer)
    explicit TTimer(TComponent* AOwner);
    ~TTimer() override;

    unsigned Interval() const { return FInterval; }
    // 0 stops the timer; a new interval starts counting afresh.
    void SetInterval(unsigned Value);
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value);
    // True while the back end counts for this timer (enabled, interval > 0, handler set).
    bool Running() const { return FRunning; }

    // Called by the back end when the interval has elapsed.
    void Tick();

    TNotifyEvent OnTimer;
    // Assign handlers through this so a timer enabled before its handler starts then.
    void SetOnTimer(TNotifyEvent Handler);

private:
    void UpdateTimer();
    unsigned FInterval = 1000;
    bool FEnabled = true;
    bool FRunning = false;
};
