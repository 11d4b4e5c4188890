#include "crypto/Password.h"
#include "data/SettingsSchema.h"
#include "platform/FileError.h"
#include "platform/FileIO.h"
#include "platform/FolderLock.h"
#include "shell/cli/Modes.h"

#include <ostream>

namespace zevlo::cli::detail {

namespace {

// The folder's lock, waited for while another copy holds it; false when it cannot be had or
// the user ended the wait, after saying why.
bool LockFolder(platform::FolderLock &lock, const Environment &env, const std::string &dataDir) {
    std::ostream &err = *env.err;
    if (!lock.TryLock() && lock.Error().empty()) {
        err << "zevlo: waiting for \"" << dataDir << "\": in use by another copy of the program (Ctrl+C ends the wait)"
            << std::endl;
        lock.LockUnless(env.endRequested);
    }
    if (!lock.Error().empty())
        err << "zevlo: " << lock.Error() << '\n';
    return lock.Held();
}

} // namespace

int StorePassword(const Environment &env, const std::string &dataDir) {
    std::ostream &err = *env.err;
    std::string user;
    {
        // A first look, unlocked: a missing or unreadable file is told before the question.
        Tdm dm(env.clock);
        const int status = LoadSettingsOf(dm, dataDir, err);
        user = dm.FSET_User;
        dm.SettingsFile.clear();
        if (status != kExitOk)
            return status;
    }
    auto ended = [&env] { return env.endRequested && env.endRequested(); };
    std::string password;
    const platform::SecretInput input =
        env.readSecret ? env.readSecret("Password for " + user + ": ", password) : platform::SecretInput::None;
    if (input == platform::SecretInput::Cancelled || ended()) {
        err << "zevlo: ended; nothing was stored\n";
        return kExitFailed;
    }
    if (input == platform::SecretInput::None || password.empty()) {
        err << "zevlo: no password was given on standard input\n";
        return kExitUsage;
    }

    // The lock only now: held while the user types, it would keep the window and the timer's
    // runs away from the folder for as long as the question stays open.
    platform::FolderLock lock(dataDir);
    if (!LockFolder(lock, env, dataDir)) {
        if (!lock.Error().empty())
            return kExitUsage;
        err << "zevlo: ended; nothing was stored\n";
        return kExitFailed;
    }
    // Read again: the copy that held the folder may have changed the file meanwhile.
    Tdm dm(env.clock);
    if (const int status = LoadSettingsOf(dm, dataDir, err); status != kExitOk) {
        dm.SettingsFile.clear();
        return status;
    }
    // Only the one line changes: the other keys stay exactly as the user wrote them.
    dm.SetStr(SettingKey(&Tdm::FSET_Pass), EncryptPassword(password));
    int result = kExitOk;
    if (ended()) {
        err << "zevlo: ended; nothing was stored\n";
        result = kExitFailed;
    } else {
        try {
            platform::ReplaceFileAtomically(dm.SettingsFile, JoinLines(dm.SettingsList), platform::FileAccess::Private);
            err << "zevlo: password stored in \"" << dm.SettingsFile << "\"\n";
        } catch (const FileError &error) {
            err << "zevlo: " << error.what() << '\n';
            result = kExitFailed;
        }
    }
    dm.SettingsFile.clear(); // a save at the end would write every field
    return result;
}

} // namespace zevlo::cli::detail
