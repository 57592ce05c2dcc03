#include "FileReplacement.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace workbook {

namespace {

// Linux follows at most 40 links in a path; a longer chain is a loop.
constexpr int maxSymbolicLinks = 40;

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string joined(const std::string &folder, const std::string &name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// ".NAME.saving-" followed by digits and ".xlsx".
bool isTemporaryOf(const std::string &entry, const std::string &name)
{
    const std::string prefix = "." + name + ".saving-";
    const std::string suffix = ".xlsx";
    if (entry.size() <= prefix.size() + suffix.size() || entry.compare(0, prefix.size(), prefix) != 0
        || entry.compare(entry.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    const std::string digits = entry.substr(prefix.size(), entry.size() - prefix.size() - suffix.size());
    return digits.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace

std::string describeFileError(int error)
{
    switch (error) {
    case 0:
        return "the file could not be written";
    case ENOSPC:
    case EDQUOT:
        return "the disk is full";
    case EROFS:
        return "the disk is read-only";
    case EACCES:
    case EPERM:
        return "you have no permission to write there";
    case EFBIG:
        return "the file would be larger than the disk allows";
    case EIO:
        return "the disk reported an error";
    case ENAMETOOLONG:
        return "the name is too long";
    case ELOOP:
        return "the symbolic links lead in a circle";
    case ENOMEM:
        return "there is not enough memory";
    default: {
        std::string text = std::strerror(error);
        if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
            text[0] = static_cast<char>(text[0] - 'A' + 'a');
        return text;
    }
    }
}

FileReplacement::~FileReplacement()
{
    if (!m_temporary.empty())
        ::unlink(m_temporary.c_str());
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

bool FileReplacement::begin(const std::string &path, std::string &why)
{
    if (!resolveTarget(path, why))
        return false;
    // Messages name the file as the user gave it, or where its link leads.
    const std::string shown = m_target == path ? nameOf(path) : m_target;
    if (m_replacesFile) {
        if (S_ISDIR(m_original.st_mode)) {
            why = shown + " is a folder";
            return false;
        }
        if (!S_ISREG(m_original.st_mode))
            return true; // a device or a pipe: written in place
        // The owner's write bit decides even for root, who could replace anything.
        if (!(m_original.st_mode & S_IWUSR)) {
            why = shown + " is read-only";
            return false;
        }
        if (::access(m_target.c_str(), W_OK) != 0) {
            why = errno == EACCES ? "you have no permission to change " + shown : describeFileError(errno);
            return false;
        }
    }
    return createTemporary(why);
}

bool FileReplacement::resolveTarget(const std::string &path, std::string &why)
{
    std::string current = path;
    for (int links = 0;; ++links) {
        if (::lstat(current.c_str(), &m_original) != 0) {
            if (errno != ENOENT && errno != ENOTDIR) {
                why = describeFileError(errno);
                return false;
            }
            m_replacesFile = false;
            break;
        }
        if (!S_ISLNK(m_original.st_mode)) {
            m_replacesFile = true;
            break;
        }
        if (links == maxSymbolicLinks) {
            why = describeFileError(ELOOP);
            return false;
        }
        std::vector<char> text(static_cast<size_t>(m_original.st_size > 0 ? m_original.st_size : 4096) + 1);
        const ssize_t length = ::readlink(current.c_str(), text.data(), text.size());
        if (length < 0 || static_cast<size_t>(length) >= text.size()) {
            why = describeFileError(length < 0 ? errno : ENAMETOOLONG);
            return false;
        }
        const std::string link(text.data(), static_cast<size_t>(length));
        current = link[0] == '/' ? link : joined(folderOf(current), link);
    }
    m_target = current;
    m_folder = folderOf(current);
    struct stat folder {};
    if (::stat(m_folder.c_str(), &folder) != 0) {
        why = errno == ENOENT ? "the folder " + m_folder + " does not exist" : describeFileError(errno);
        return false;
    }
    if (!S_ISDIR(folder.st_mode)) {
        why = m_folder + " is not a folder";
        return false;
    }
    return true;
}

bool FileReplacement::createTemporary(std::string &why)
{
    removeAbandonedTemporaries();
    const std::string temporary
        = joined(m_folder, "." + nameOf(m_target) + ".saving-" + std::to_string(::getpid()) + ".xlsx");
    // Private until finished; a new file gets the mode the user's umask gives.
    const mode_t mode = m_replacesFile ? 0600 : 0666;
    // Another process cleaning up may take the file between its creation and
    // our lock; then the name is made again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int descriptor = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
        if (descriptor < 0) {
            if (errno == EEXIST && attempt > 0)
                continue;
            if (errno == EEXIST)
                why = "another save of " + nameOf(m_target) + " is under way";
            else if (errno == EACCES || errno == EPERM)
                why = "you have no permission to write in the folder " + m_folder;
            else if (errno == EROFS)
                why = "the folder " + m_folder + " is read-only";
            else
                why = describeFileError(errno);
            return false;
        }
        struct stat opened {}, named {};
        if (::flock(descriptor, LOCK_EX | LOCK_NB) == 0 && ::fstat(descriptor, &opened) == 0
            && ::lstat(temporary.c_str(), &named) == 0 && sameFile(opened, named)) {
            m_descriptor = descriptor;
            m_temporary = temporary;
            return true;
        }
        ::close(descriptor);
    }
    why = "another save of " + nameOf(m_target) + " is under way";
    return false;
}

// A save that was killed leaves its temporary file behind, unlocked: a save
// still running holds the lock on its own.
void FileReplacement::removeAbandonedTemporaries() const
{
    DIR *folder = ::opendir(m_folder.c_str());
    if (!folder)
        return;
    const std::string name = nameOf(m_target);
    while (const dirent *entry = ::readdir(folder)) {
        if (!isTemporaryOf(entry->d_name, name))
            continue;
        const std::string path = joined(m_folder, entry->d_name);
        const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (descriptor < 0)
            continue;
        struct stat opened {}, named {};
        if (::fstat(descriptor, &opened) == 0 && S_ISREG(opened.st_mode) && ::flock(descriptor, LOCK_EX | LOCK_NB) == 0
            && ::lstat(path.c_str(), &named) == 0 && sameFile(opened, named))
            ::unlink(path.c_str());
        ::close(descriptor);
    }
    ::closedir(folder);
}

bool FileReplacement::commit(std::string &why)
{
    if (m_temporary.empty())
        return true; // written in place
    if (::fsync(m_descriptor) != 0) {
        why = describeFileError(errno);
        return false;
    }
    if (m_replacesFile) {
        // Only root may give a file away; others keep at least the group where they belong to it.
        if (::fchown(m_descriptor, m_original.st_uid, m_original.st_gid) != 0)
            (void)::fchown(m_descriptor, static_cast<uid_t>(-1), m_original.st_gid);
        // After the owner: changing it clears the set-id bits.
        if (::fchmod(m_descriptor, m_original.st_mode & 07777) != 0) {
            why = describeFileError(errno);
            return false;
        }
    }
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) {
        why = describeFileError(errno);
        return false;
    }
    m_temporary.clear();
    // The rename is on the disk only once the folder is.
    const int folder = ::open(m_folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        const bool synced = ::fsync(folder) == 0 || errno == EINVAL; // some file systems cannot sync a folder
        const int error = errno;
        ::close(folder);
        if (!synced) {
            why = describeFileError(error);
            return false;
        }
    }
    return true;
}

} // namespace workbook
