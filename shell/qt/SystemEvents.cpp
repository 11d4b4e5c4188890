#include "shell/qt/SystemEvents.h"

#include "shell/qt/ResumeListener.h"

#include <QSocketNotifier>

#include <utility>

namespace zevlo::qt {

SystemEvents::SystemEvents(std::function<void()> resumed, std::function<void()> addressesChanged, QObject *parent)
    : QObject(parent), resume_(new ResumeListener(this)) {
    connect(resume_, &ResumeListener::resumed, this, std::move(resumed));
    if (!watch_.Active())
        return;
    notifier_ = std::make_unique<QSocketNotifier>(watch_.Descriptor(), QSocketNotifier::Read);
    // Lifetime refreshes and the steps of one new address come too: only a changed set counts.
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this, changed = std::move(addressesChanged)] {
        if (watch_.TakeChange())
            changed();
    });
}

SystemEvents::~SystemEvents() = default;

bool SystemEvents::HearsResumes() const {
    return resume_->Listening();
}

} // namespace zevlo::qt
