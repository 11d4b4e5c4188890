// --store-password on a terminal: the real program on a pseudo-terminal, as a terminal window
// gives one.
#include "tests/program/ProgramProcess.h"

#include "crypto/Password.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <utmp.h>

#ifndef ZEVLO_PROGRAM
#error "ZEVLO_PROGRAM must name the built program"
#endif

namespace zevlo::program {
namespace {

constexpr const char *kPassword = "s3cret pass";

bool Contains(const std::string &text, const std::string &part) {
    return text.find(part) != std::string::npos;
}

class TerminalTest : public ::testing::Test {
protected:
    TerminalTest() : folder_(ZEVLO_PROGRAM, temp_.Root() / "program") {}

    test::TempFolder temp_;
    ProgramFolder folder_;
};

// The program on a terminal of its own (a pseudo-terminal, as a terminal window gives).
class OnATerminal {
public:
    OnATerminal(const ProgramFolder &folder, const std::vector<std::string> &args) {
        if (openpty(&master_, &slave_, nullptr, nullptr, nullptr) != 0)
            throw std::runtime_error("no pseudo-terminal");
        std::vector<std::string> argv = {folder.Executable().string()};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<std::string> env = {"PATH=/usr/bin:/bin", "HOME=" + folder.Home().string(), "LANG=C.UTF-8"};
        pid_ = fork();
        if (pid_ == 0) {
            // The terminal becomes the controlling one of a session of its own, as in a shell.
            close(master_);
            login_tty(slave_);
            std::vector<char *> argp;
            for (auto &arg : argv)
                argp.push_back(arg.data());
            argp.push_back(nullptr);
            std::vector<char *> envp;
            for (auto &entry : env)
                envp.push_back(entry.data());
            envp.push_back(nullptr);
            execve(argp[0], argp.data(), envp.data());
            _exit(127);
        }
    }
    ~OnATerminal() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        close(master_);
        close(slave_);
    }
    OnATerminal(const OnATerminal &) = delete;
    OnATerminal &operator=(const OnATerminal &) = delete;

    // What the program wrote to the terminal so far, once it holds `part` (or the time ran out).
    std::string ReadUntil(const std::string &part, std::chrono::milliseconds deadline = 10s) {
        const auto end = std::chrono::steady_clock::now() + deadline;
        while (!Contains(shown_, part) && std::chrono::steady_clock::now() < end) {
            pollfd watched{master_, POLLIN, 0};
            if (poll(&watched, 1, 50) <= 0)
                continue;
            char buffer[256];
            const ssize_t got = read(master_, buffer, sizeof buffer);
            if (got <= 0)
                break; // the program ended and closed the terminal
            shown_.append(buffer, static_cast<std::size_t>(got));
        }
        return shown_;
    }
    void Type(const std::string &keys) const {
        EXPECT_EQ(write(master_, keys.data(), keys.size()), ssize_t(keys.size()));
    }
    bool Echoes() const {
        termios settings{};
        return tcgetattr(slave_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    int WaitExit() {
        const bool ended = WaitFor([&] { return waitpid(pid_, &status_, WNOHANG) == pid_; }, 10s);
        if (!ended)
            return -1;
        pid_ = 0;
        return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
    }

private:
    int master_ = -1;
    int slave_ = -1;
    pid_t pid_ = 0;
    int status_ = 0;
    std::string shown_;
};

// On a terminal --store-password asks for the password without showing it; Ctrl+C and
// Ctrl+Backslash end it with the terminal as it was and nothing written.
TEST_F(TerminalTest, StorePasswordAsksHidesAndEndsCleanly) {
    const struct {
        const char *name;
        std::string keys;
        int status;
    } rows[] = {
        {"typed", std::string(kPassword) + "\r", 0},
        {"Ctrl+C", "\x03", 1},
        {"Ctrl+\\", "\x1c", 1},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path dir = temp_.Root() / "terminal";
        fs::create_directories(dir);
        const std::string settings = "FSET_User=alice\r\nFSET_Pass=\r\n";
        WriteBytes(dir / "Settings.ini", settings);
        OnATerminal terminal(folder_, {"--store-password", "--dir", dir.string()});
        ASSERT_TRUE(Contains(terminal.ReadUntil("Password for alice: "), "Password for alice: "));
        EXPECT_FALSE(terminal.Echoes()) << "the password is not shown as it is typed";
        terminal.Type(row.keys);
        EXPECT_EQ(terminal.WaitExit(), row.status);
        const std::string shown = terminal.ReadUntil("\x7f", 500ms);
        EXPECT_TRUE(terminal.Echoes()) << "the terminal is left as it was";
        EXPECT_FALSE(Contains(shown, kPassword)) << shown;
        if (row.status == 0) {
            EXPECT_EQ(IniValue(ReadBytes(dir / "Settings.ini"), "FSET_Pass"), EncryptPassword(kPassword));
            EXPECT_TRUE(Contains(shown, "password stored in")) << shown;
        } else {
            EXPECT_EQ(ReadBytes(dir / "Settings.ini"), settings);
        }
    }
}

} // namespace
} // namespace zevlo::program
