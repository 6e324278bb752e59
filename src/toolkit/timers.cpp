#include "toolkit/timers.h"

#include "toolkit/application.h"
#include "toolkit/platform.h"

TTimer::TTimer(TComponent* AOwner) : TComponent(AOwner) {}

TTimer::~TTimer()
{
    if (FRunning)
        plat::StopTimer(*this);
}

void TTimer::SetInterval(unsigned Value)
{
    if (Value == FInterval)
        return;
    FInterval = Value;
    UpdateTimer();
}

void TTimer::SetEnabled(bool Value)
{
    if (Value == FEnabled)
        return;
    FEnabled = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Handler)
{
    OnTimer = std::move(Handler);
    UpdateTimer();
}

void TTimer::UpdateTimer()
{
    if (FRunning) {
        plat::StopTimer(*this);
        FRunning = false;
    }
    if (FEnabled && FInterval > 0 && OnTimer) {
        plat::StartTimer(*this);
        FRunning = true;
    }
}

void TTimer::Tick()
{
    if (!FRunning || !OnTimer)
        return;
    try {
        OnTimer(this);
    } catch (...) {
        Application->HandleException();
    }
}
