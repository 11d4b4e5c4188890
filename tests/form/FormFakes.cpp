#include "tests/form/FormFakes.h"

#include "engine/StoredEndpoints.h"
#include "form/Controls.h"

namespace zevlo::test {

FakeMainView::FakeMainView() {
    for (const Control list : form::AllControls()) {
        if (!form::ListEntries(list).empty())
            SetEntry(list, 0);
    }
    SetEntry(Control::cmbCAuthType, 1);
    (*this)[Control::chkStartWithWin].checked = true;
    (*this)[Control::edtHostname].text = "-";
    (*this)[Control::spnMaxLog].text = "100";
    (*this)[Control::edtPort].text = (*this)[Control::edtCPort].text = "443";
    (*this)[Control::edtServer].text = (*this)[Control::edtCServer].text = kDefaultServiceHost;
    (*this)[Control::edtBaseURI].text = "/v3/update";
    (*this)[Control::edtCBaseURI].text = "/checkip";
    (*this)[Control::lblPaused].visible = (*this)[Control::btnUnpause].visible = false;
    (*this)[Control::mnuPause].text = "Pause";
}

void FakeMainView::Type(Control control, const std::string &text) {
    (*this)[control].text = text;
    if (form != nullptr)
        form->UserActed(control);
}

void FakeMainView::Choose(Control list, int entry) {
    SetEntry(list, entry);
    form->UserActed(list);
}

void FakeMainView::Click(Control control) {
    if (form::KindOf(control) == form::ControlKind::CheckBox)
        (*this)[control].checked = !(*this)[control].checked;
    form->UserActed(control);
}

std::string FakeMainView::Text(Control control) const {
    const std::vector<std::string> &entries = form::ListEntries(control);
    if (entries.empty() || form::IsEditableList(control))
        return (*this)[control].text;
    const int entry = (*this)[control].entry;
    return entry >= 0 ? entries[static_cast<std::size_t>(entry)] : std::string();
}

void FakeMainView::SetEntry(Control control, int entry) {
    State &state = (*this)[control];
    state.entry = entry;
    const std::vector<std::string> &entries = form::ListEntries(control);
    state.text = entry >= 0 && entry < static_cast<int>(entries.size()) ? entries[static_cast<std::size_t>(entry)] : "";
}

BoxAnswer FakeMainView::ShowBox(BoxKind kind, const std::string &boxCaption, const std::string &text) {
    boxes.push_back({kind, boxCaption, text});
    if (whileBoxOpen)
        whileBoxOpen(boxes.back());
    if (kind != BoxKind::Confirmation)
        return BoxAnswer::Ok;
    if (answers.empty())
        return BoxAnswer::No;
    const BoxAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::string FakeMainView::ChooseFileToOpen(const std::string &, const form::FileFilter &filter) {
    openDialogFilters.push_back(filter.name);
    if (whileFileDialogOpen)
        whileFileDialogOpen();
    return fileToOpen;
}

void FakeMainView::ShowLogViewer() {
    ++logViewerShowings;
    if (whileLogViewerOpen)
        whileLogViewerOpen();
}

ScriptedRunner ServiceLikeRunner(const FakeMainView *view) {
    ScriptedRunner runner;
    runner.checkAnswer = "198.51.100.7";
    runner.updateAnswer = "good 198.51.100.7";
    if (view != nullptr)
        runner.busyProbe = [view] { return view->busy; };
    return runner;
}

} // namespace zevlo::test
