// The test host's hand-off options: the registry and editor prepared before a run, and what
// is checked after it (both exchange files, the editor's report or its absence, the editor
// window brought forward, message boxes).
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bmp_image.h"
#include "handoff_env.h"

class HandoffScenario {
public:
    HandoffScenario();
    ~HandoffScenario();
    // Takes argv[i] (and its value) when it is one of these options; false when it is not.
    // Ok is false for a known option with a missing value.
    bool Parse(int argc, char** argv, int& i, bool& Ok);
    static const char* Usage();

    // Before the run: registry, stale files and reports removed, the editor started when
    // asked. Returns an error text, empty when ready. Input and Selection are the host's own,
    // not copies: they must outlive Check().
    std::string Prepare(const HostImage& Input, const std::optional<std::vector<std::uint8_t>>& Selection);
    // The image file's expected pixels when they are not the planes as served (a mode the
    // module converts), and how far its colour bytes may lie from them. Must outlive Check().
    void SetExpectedImage(const HostImage* Rgba, int Tolerance)
    {
        FExpectedImage = Rgba;
        FTolerance = Tolerance;
    }
    // Message boxes seen during the run on platforms that only observe them from outside.
    void SetObservedMessageBoxes(std::vector<std::string> Boxes) { FObservedBoxes = std::move(Boxes); }
    // How many start calls the host made; each brings a running editor forward.
    void SetRuns(int Runs) { FRuns = Runs; }
    // After the run: every failed expectation, each as one line.
    std::vector<std::string> Check();

private:
    RegistryPlan FRegistry;
    bool FExpectFiles = false, FExpectNoFiles = false, FPlantFiles = false, FRootNoCreate = false,
         FExpectNoMessageBox = false;
    std::optional<std::string> FExpectMessageBox, FForbidMessageBox, FWaitReport, FNoStartReport, FExpectShellOpen, FEditorExe;
    const HostImage* FInput = nullptr;
    const HostImage* FExpectedImage = nullptr;
    int FTolerance = 0;
    const std::optional<std::vector<std::uint8_t>>* FSelection = nullptr;
    std::vector<std::string> FObservedBoxes;
    int FRuns = 1;
    std::optional<unsigned> FHoldImageMs;
    std::unique_ptr<RunningEditor> FEditor;
    std::unique_ptr<HeldFile> FHeldImage;
};
