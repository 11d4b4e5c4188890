#include "platform/posix/UniqueFd.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <optional>
#include <unistd.h>

namespace zevlo::platform {
namespace {

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1;
}

// A descriptor closed twice may by then be another part's file; one never closed leaks.
TEST(UniqueFd, ClosesWhatItOwnsOnce) {
    const struct {
        const char *name;
        std::function<void(int fd)> handOver; // to owners that are gone at the end
        bool openAfter;
    } cases[] = {
        {"moved into a new owner",
         [](int fd) {
             std::optional<UniqueFd> first(std::in_place, fd);
             const UniqueFd second(std::move(*first));
             first.reset();
             EXPECT_TRUE(IsOpen(fd)) << "the moved-from owner closed it";
         },
         false},
        {"moved over an owner of another",
         [](int fd) {
             UniqueFd owner(open("/dev/null", O_RDONLY | O_CLOEXEC));
             const int other = owner.Get();
             owner = UniqueFd(fd);
             EXPECT_FALSE(IsOpen(other));
             EXPECT_TRUE(IsOpen(fd));
         },
         false},
        {"reset to another",
         [](int fd) {
             UniqueFd owner(fd);
             owner.Reset(open("/dev/null", O_RDONLY | O_CLOEXEC));
             EXPECT_FALSE(IsOpen(fd));
         },
         false},
        {"released", [](int fd) { EXPECT_EQ(UniqueFd(fd).Release(), fd); }, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        c.handOver(fd);
        EXPECT_EQ(IsOpen(fd), c.openAfter);
        if (IsOpen(fd))
            close(fd);
    }
}

} // namespace
} // namespace zevlo::platform
