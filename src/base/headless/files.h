// Headless file system: drive-letter paths are kept under a root folder.
#pragma once
#include <string>

// Sets the folder that stands for the root of the drives: "c:\x.bmp" becomes <root>/c/x.bmp.
// Defaults to $VESPER_DRIVES, else ./drives. The folder for a drive is created on first use.
void SetHeadlessDriveRoot(const std::string& Root);
std::string HeadlessDriveRoot();
