#pragma once

#include "platform/AddressWatch.h"

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace zevlo::qt {

class ResumeListener;

// The system's events that bring a check, from the event loop: the computer resumed
// (logind on the system bus) and the set of the machine's global addresses changed (a
// netlink socket). Where either cannot be had, it never reports and says nothing.
class SystemEvents final : public QObject {
public:
    SystemEvents(std::function<void()> resumed, std::function<void()> addressesChanged, QObject *parent = nullptr);
    ~SystemEvents() override;

    bool HearsResumes() const;
    bool WatchesAddresses() const { return watch_.Active(); }

private:
    platform::AddressWatch watch_;
    // Declared after the watch: goes first, while the descriptor it watches is still open.
    std::unique_ptr<QSocketNotifier> notifier_;
    ResumeListener *resume_ = nullptr;
};

} // namespace zevlo::qt
