#pragma once

#include "form/MainView.h"

#include <string>

class QWidget;

namespace zevlo::qt {

// A message box of the kind the form logic asks for, modal to `parent` alone (none: to no
// window), its text shown as plain text with its lines as written. Returns the answer.
form::BoxAnswer ShowMessageBox(QWidget *parent, form::BoxKind kind, const std::string &caption,
                               const std::string &text);

} // namespace zevlo::qt
