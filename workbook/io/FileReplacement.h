#pragma once

#include <string>
#include <sys/stat.h>

namespace workbook {

// Replaces a file by a new version without risking the old one: the new
// version is written to a hidden temporary file beside the file and renamed
// over it once it is complete and on the disk. The file keeps its mode and,
// where the system allows, its owner; a symbolic link keeps pointing to the
// file it names, which is the one replaced. Devices and pipes cannot be
// replaced and are written in place.
//
// A temporary file is named ".NAME.saving-PID.xlsx" and locked while it is
// written, so the ones a killed save left behind are told apart from the ones
// in use and removed.
class FileReplacement
{
public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement &) = delete;
    FileReplacement &operator=(const FileReplacement &) = delete;
    ~FileReplacement(); // removes the temporary file unless committed

    // Prepares to replace `path`; false with `why` ("the folder /x does not
    // exist", "model.xlsx is read-only", ...) when it cannot be.
    bool begin(const std::string &path, std::string &why);
    // Where the new contents go.
    const std::string &writePath() const { return m_temporary.empty() ? m_target : m_temporary; }
    // Puts the written file in place of the old one, on the disk.
    bool commit(std::string &why);

private:
    bool resolveTarget(const std::string &path, std::string &why);
    bool createTemporary(std::string &why);
    void removeAbandonedTemporaries() const;

    std::string m_target;    // the file itself, symbolic links followed
    std::string m_folder;    // the folder that holds it
    std::string m_temporary; // empty when written in place
    int m_descriptor = -1;   // the temporary file, locked
    bool m_replacesFile = false;
    struct stat m_original
    {
    };
};

// The words for a system error number, as the user reads them after
// "cannot save FILE: " (for instance "the disk is full").
std::string describeFileError(int error);

} // namespace workbook
