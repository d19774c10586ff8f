// A process-wide named claim that vanishes with the process, and a way for a later start
// to ask the running process to come to the front.
#ifndef PLATFORM_SINGLE_INSTANCE_H
#define PLATFORM_SINGLE_INSTANCE_H

#include <string>
#include <string_view>

namespace platform {

// The claim is a lock on "<name>.lock" in the user's runtime directory ($XDG_RUNTIME_DIR),
// else on "<name>-<uid>.lock" in the temporary directory. A lock file is used only when it is
// a regular file owned by the user and closed to others; failing that, the lock goes into the
// private directory "<name in lower case>-<uid>/" of the temporary directory (mode 0700).
// The owner listens on a socket beside the lock (".sock" for ".lock") for activation requests.
class SingleInstance {
public:
    enum class Claim { Owner, AlreadyRunning, Failed };

    explicit SingleInstance(std::string_view name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    Claim claim() const { return m_claim; }

    // Owner only: whether a later start asked for activation since the last call. Never
    // blocks.
    bool activationRequested();
    // Not the owner: asks the owner to come to the front; false when it cannot be reached.
    bool requestActivation() const;

private:
    std::string m_lockPath;
    std::string m_socketPath;
    int m_lockFd = -1;
    int m_listenFd = -1;
    Claim m_claim = Claim::Failed;
};

}  // namespace platform

#endif  // PLATFORM_SINGLE_INSTANCE_H
