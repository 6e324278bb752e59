// Bars on a borderless headless form, driven by scripted events.
#pragma once
#include <gtest/gtest.h>

#include "toolkit/application.h"
#include "toolkit/forms.h"
#include "toolkit/headless/canvas.h"
#include "toolkit/headless/headless.h"
#include "widgets/range_bars.h"

// Lets the tests paint a bar on a bitmap of their own.
template <class Bar>
class TPaintable : public Bar {
public:
    using Bar::Bar;
    void PaintOn(TCanvas& Canvas) { this->PaintControl(Canvas); }
};

class BarTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::Reset();
        Application->OnException = nullptr;
        Form.reset(CreateFormOf<TForm>(nullptr));
        Form->SetBorderStyle(bsNone);
        Form->SetBounds(0, 0, 400, 200);
    }
    void TearDown() override
    {
        Form.reset();
        EXPECT_EQ(headless::PendingEvents(), 0u) << "script not consumed";
        headless::Reset();
    }
    template <class T>
    T* Add(int L, int T_, int W, int H)
    {
        auto* c = new T(Form.get());
        c->SetParent(Form.get());
        c->SetBounds(L, T_, W, H);
        return c;
    }
    // The dialogs' slider: 97 x 12, flat look, 16-pixel handle, no arrows, 0..255; stood on
    // end (12 x 97) when vertical.
    template <class T = TGaugeBar>
    T* AddSlider(int Position, TScrollBarKind Kind = sbHorizontal)
    {
        T* b = Kind == sbHorizontal ? Add<T>(10, 10, 97, 12) : Add<T>(10, 10, 12, 97);
        b->SetKind(Kind);
        b->SetStyle(rbsMac);
        b->SetShowArrows(false);
        b->SetHandleSize(16);
        b->SetMax(255);
        b->SetPosition(Position);
        return b;
    }
    void Run()
    {
        headless::PostCall([this] { Form->SetModalResult(mrOk); });
        Form->ShowModal();
    }
    TComponentPtr<TForm> Form;
};
