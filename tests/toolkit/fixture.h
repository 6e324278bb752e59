// Common set-up: a clean headless back end for every test.
#pragma once
#include <gtest/gtest.h>

#include "toolkit/application.h"
#include "toolkit/headless/headless.h"

class HeadlessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        headless::Reset();
        Application->OnException = nullptr;
        Application->SetTitle("Vesper");
    }
    void TearDown() override
    {
        EXPECT_EQ(headless::PendingEvents(), 0u) << "script not consumed";
        headless::Reset();
    }
};
