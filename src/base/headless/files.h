// Headless file system: drive-letter paths are kept under a root folder, and a folder can be
// made to refuse new files, or a file to fail its writes, as a user's machine may.
#pragma once
#include <cstdint>
#include <string>

// Sets the folder that stands for the root of the drives: "c:\x.bmp" becomes <root>/c/x.bmp.
// Defaults to $VESPER_DRIVES, else ./drives. The folder for a drive is created on first use.
void SetHeadlessDriveRoot(const std::string& Root);
std::string HeadlessDriveRoot();

// The folder of program path Folder ("c:\") refuses new files while the files in it may
// still be rewritten, like the root of a system drive to a user without elevation: creating
// a file there fails, and so does moving one in under a name of its own or another's.
void SetHeadlessFolderRefusesNewFiles(const std::string& Folder, bool Refuses);
// Each opening of the file at program path Path for writing takes at most Bytes bytes; the
// writes after them fail. A negative Bytes lifts the limit.
void SetHeadlessWriteLimit(const std::string& Path, std::int64_t Bytes);
// Another program holds the file at program path Path: its next Times replacements (as
// source or target) and openings for writing are refused as "in use", or every one while
// Times is negative. Reading it stays possible, as a virus scanner allows.
void SetHeadlessFileInUse(const std::string& Path, int Times);
// The headless files are held by no real program, so a wait before another attempt only
// adds its length here, for tests to see how long the module would have waited.
std::int64_t HeadlessPausedMilliseconds();
// Lifts every refusal, write limit and hold, and sets the waited time back to 0.
void ClearHeadlessFileRules();
