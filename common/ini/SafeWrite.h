#pragma once
// The one way both programs write a file: the bytes go to a temporary file in
// the same folder, are flushed to the disk, and only then renamed over the
// real name. A full disk, a read-only folder or a process killed mid-write
// leaves the old file as it was and no temporary file behind (a kill can
// leave one, never a truncated file under the real name).

#include <cstddef>
#include <string>
#include <string_view>

namespace common {

struct FileWriteResult {
    int error = 0;  // errno of the step that failed; 0 when the file was written
    // The file exists but could not be read, so it was not replaced: its
    // content would have been lost.
    bool unreadable = false;

    [[nodiscard]] bool ok() const { return error == 0; }
    explicit operator bool() const { return ok(); }
    // Why the file was not written, for the user of the Chinese interfaces:
    // what went wrong in words, then the system's own reason (errno text),
    // and that the old file is left as it was.
    [[nodiscard]] std::string describe(const std::string& path) const;
};

// Writes `data` as the whole content of `path`. An existing file keeps its
// permissions (and its owner where we may set it); a symbolic link stays a
// link and its target is replaced. A new file gets 0666 less the umask.
[[nodiscard]] FileWriteResult writeFileSafely(const std::string& path, std::string_view data);

// Test seam standing in for a disk that fills or a folder that refuses files:
// every write through writeFileSafely fails with `error` once `bytesBefore`
// bytes of its data have gone out (0: creating the temporary file fails);
// the first `writesBefore` writes pass untouched. Process-wide;
// clearWriteFault ends it.
void injectWriteFault(std::size_t bytesBefore, int error, std::size_t writesBefore = 0);
void clearWriteFault();

}  // namespace common
