#pragma once
#include <cstdint>
#include <string>
#include <vector>

// What the course subsystem uses of the framework, until the framework provides it: archive-or-disk
// file reading with one saved level of current archive. (The 3D-hardware flag is Facts().hardwareDisplay;
// the busy pointer and the notices are the front end's, framework/services.h.)
namespace course_svc {

// Makes the archive at path current, saving the previous current archive (one level). False when it
// cannot be opened; nothing changes then.
bool OpenArchive(const std::string& path);
// Restores the archive that was current before the last successful OpenArchive.
void CloseArchive();
// The current archive's path, "" when none.
const std::string& CurrentArchive();

// Reads a whole file: the current archive's entry of the bare name first, else the path on disk.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out);

}  // namespace course_svc
