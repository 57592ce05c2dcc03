#pragma once

namespace workbook {

// Lets another thread stop a load under way: the loader watches fd() next to
// the reader's pipe, so a cancel ends the wait at once, with no polling.
class LoadCancel
{
public:
    LoadCancel();
    ~LoadCancel();
    LoadCancel(const LoadCancel &) = delete;
    LoadCancel &operator=(const LoadCancel &) = delete;

    void cancel();
    bool cancelled() const;
    // Readable once cancelled.
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace workbook
