#include "engine/Engine.h"
#include "engine/StoredEndpoints.h"
#include "tests/form/FormFixture.h"
#include "tests/support/PublishedServices.h"

namespace zevlo::test {
namespace {

// Where a request goes and whether it carries the account (a config line on curl's input,
// an authentication option).
struct Sent {
    std::string url;
    bool credentials = false;
};

Sent SentBy(const CurlCommand &command) {
    Sent sent;
    sent.credentials = command.input.has_value();
    for (const std::string &arg : command.args) {
        if (arg.rfind("http://", 0) == 0 || arg.rfind("https://", 0) == 0)
            sent.url = arg;
        if (arg == "-K" || arg == "--basic" || arg == "--digest")
            sent.credentials = true;
    }
    return sent;
}

class NoBoxes final : public INotifier {
public:
    void ShowMessage(MessageKind, const std::string &text) override { ADD_FAILURE() << "a box: " << text; }
};

constexpr const char *kAddress = "203.0.113.7";
const std::string kUpdateQuery = std::string("?hostname=home.example.org&myip=") + kAddress;

class KnownServiceRowTest : public FormTest, public ::testing::WithParamInterface<PublishedService> {
protected:
    // The row's entry in the list: after "Custom", in the table's order.
    static int Entry() {
        const std::string id = GetParam().id;
        for (std::size_t i = 0; i < std::size(kPublishedServices); ++i)
            if (id == kPublishedServices[i].id)
                return static_cast<int>(i) + 1;
        return -1;
    }
};

TEST_P(KnownServiceRowTest, AFileWithTheAccountAndTheServiceAloneSendsToItsEndpoints) {
    const PublishedService &row = GetParam();
    WriteSettings({"FSET_User=alice", "FSET_Pass=" + EncryptPassword("secret"), "FSET_Hostname=home.example.org",
                   std::string("FSET_UPD_Service=") + row.id});
    // As a run without a window reads it.
    Tdm dm;
    dm.SettingsFile = SettingsPath();
    dm.LoadSettings();
    dm.FSET_LAST_IP = kAddress;
    const StoredEndpoints endpoints(dm);
    NoBoxes notifier;
    const Engine engine(dm, endpoints, runner_, notifier, ProgramDir());

    const Sent update = SentBy(engine.BuildCurlCommand(RequestKind::Update));
    EXPECT_EQ(update.url, row.updateUrl + kUpdateQuery);
    EXPECT_TRUE(update.credentials);
    const Sent check = SentBy(engine.BuildCurlCommand(RequestKind::CheckIP));
    EXPECT_EQ(check.url, std::string(row.checkUrl) + "?format=text");
    EXPECT_FALSE(check.credentials) << "a check page never gets the account";
    dm.SettingsFile.clear();
}

TEST_P(KnownServiceRowTest, ChoosingItFillsBothEndpointsAsTheServicePublishesThem) {
    const PublishedService &row = GetParam();
    WriteSettings(
        With(PausedSettings(), {"FSET_UPD_Method=1", "FSET_UPD_Auth=1", "FSET_CIP_Auth=2", "FSET_CIP_Method=1",
                                "FSET_CIP_CHKCUSTOM=TRUE", "FSET_CIP_CUSTOMSCRIPT=/home/alice/ip.sh"}));
    form::TfrmMain &form = Open();

    view_.Choose(Control::cmbService, Entry());
    EXPECT_EQ(view_.Text(Control::cmbService), row.name);
    EXPECT_EQ(form.dm().FSET_UPD_Service, row.id);
    EXPECT_FALSE(view_[Control::chkCustomIP].checked);
    EXPECT_TRUE(view_[Control::edtCServer].enabled) << "the check endpoint is in use again";
    for (const Control method : {Control::cmbMethod, Control::cmbCMethod})
        EXPECT_EQ(view_.Text(method), "GET");
    EXPECT_EQ(view_.Text(Control::cmbAuthType), "Basic");
    EXPECT_EQ(view_.Text(Control::cmbCAuthType), "None");

    // The requests come from the fields, as shown.
    form.dm().FSET_LAST_IP = kAddress;
    const Sent update = SentBy(form.engine().BuildCurlCommand(RequestKind::Update));
    EXPECT_EQ(update.url, row.updateUrl + kUpdateQuery);
    const Sent check = SentBy(form.engine().BuildCurlCommand(RequestKind::CheckIP));
    EXPECT_EQ(check.url, std::string(row.checkUrl) + "?format=text");
    EXPECT_FALSE(check.credentials);
}

INSTANTIATE_TEST_SUITE_P(Published, KnownServiceRowTest, ::testing::ValuesIn(kPublishedServices),
                         [](const auto &row) { return std::string("id_") + row.param.id; });

using KnownServicesTest = FormTest;

constexpr Control kEndpointFields[] = {Control::cmbProtocol,  Control::edtPort,    Control::edtServer,
                                       Control::edtBaseURI,   Control::cmbMethod,  Control::cmbAuthType,
                                       Control::cmbCProtocol, Control::edtCPort,   Control::edtCServer,
                                       Control::edtCBaseURI,  Control::cmbCMethod, Control::cmbCAuthType};

std::vector<std::string> ShownEndpoints(const FakeMainView &view) {
    std::vector<std::string> shown;
    for (const Control field : kEndpointFields)
        shown.push_back(view.Text(field));
    return shown;
}

constexpr int kDyn = 1;

TEST_F(KnownServicesTest, TheListShowsCustomThenEveryServiceInOrder) {
    std::vector<std::string> expected{"Custom"};
    for (const PublishedService &service : kPublishedServices)
        expected.emplace_back(service.name);
    EXPECT_EQ(form::ListEntries(Control::cmbService), expected);

    WriteSettings(PausedSettings());
    Open();
    EXPECT_EQ(view_[Control::cmbService].entry, 0) << "no service stored";
}

TEST_F(KnownServicesTest, AFieldLeftWithAnotherValueShowsCustomAndKeepsEveryField) {
    struct Row {
        Control field;
        const char *typed; // null: a list entry is chosen
        int entry;
        bool keepsService;
    };
    const Row rows[] = {
        {Control::edtServer, "dyn.example.net", 0, false},
        {Control::edtServer, "members.dyndns.org", 0, true},
        {Control::edtPort, "8443", 0, false},
        {Control::edtBaseURI, "/v3/update", 0, false},
        {Control::edtCServer, "ip.example.net", 0, false},
        {Control::edtCPort, "8080", 0, false},
        {Control::edtCPort, "80", 0, true},
        {Control::edtCBaseURI, "/ip", 0, false},
        {Control::cmbMethod, nullptr, 1, false},
        {Control::cmbCMethod, nullptr, 1, false},
        {Control::cmbCAuthType, nullptr, 1, false},
        {Control::cmbAuthType, "Digest", 0, false},
        {Control::cmbAuthType, "basic", 0, true},
        {Control::cmbProtocol, nullptr, 1, false},
        {Control::cmbCProtocol, nullptr, 0, false},
        // The service's own protocol again: its port stays, not the protocol's usual one.
        {Control::cmbCProtocol, nullptr, 1, true},
    };
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(form::ControlName(row.field)) + " " + (row.typed ? row.typed : "entry"));
        view_.Choose(Control::cmbService, kDyn);
        std::vector<std::string> expected = ShownEndpoints(view_);
        if (row.typed != nullptr) {
            view_.Type(row.field, row.typed);
            form.UserActed(row.field);
        } else {
            view_.Choose(row.field, row.entry);
        }
        const std::size_t edited =
            std::find(std::begin(kEndpointFields), std::end(kEndpointFields), row.field) - std::begin(kEndpointFields);
        expected[edited] = view_.Text(row.field);
        std::vector<std::string> shown = ShownEndpoints(view_);
        if (!row.keepsService && (row.field == Control::cmbProtocol || row.field == Control::cmbCProtocol))
            shown[edited + 1] = expected[edited + 1]; // another protocol brings its own port
        EXPECT_EQ(shown, expected);
        EXPECT_EQ(view_[Control::cmbService].entry, row.keepsService ? kDyn : 0);
        EXPECT_EQ(form.dm().FSET_UPD_Service, row.keepsService ? "dyn" : "");
    }
}

TEST_F(KnownServicesTest, AnEmptiedFieldShowsTheServicesValueAgainAndKeepsTheService) {
    const std::pair<Control, const char *> rows[] = {
        {Control::edtPort, "443"}, {Control::edtServer, "members.dyndns.org"},  {Control::edtBaseURI, "/nic/update"},
        {Control::edtCPort, "80"}, {Control::edtCServer, "checkip.dyndns.com"}, {Control::edtCBaseURI, "/"},
    };
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    view_.Choose(Control::cmbService, kDyn);
    for (const auto &[field, value] : rows) {
        SCOPED_TRACE(form::ControlName(field));
        view_.Type(field, "");
        form.UserActed(field);
        EXPECT_EQ(view_[field].text, value);
        EXPECT_EQ(view_[Control::cmbService].entry, kDyn);
    }
}

TEST_F(KnownServicesTest, CustomAfterAServiceChangesNoFieldAndSavesThemAll) {
    WriteSettings(PausedSettings());
    form::TfrmMain &form = Open();
    view_.Choose(Control::cmbService, kDyn);
    const std::vector<std::string> shown = ShownEndpoints(view_);

    view_.Choose(Control::cmbService, 0);
    EXPECT_EQ(ShownEndpoints(view_), shown);
    EXPECT_EQ(form.dm().FSET_UPD_Service, "");
    view_.Click(Control::btnSaveConfig);
    for (const char *line :
         {"FSET_UPD_Server=members.dyndns.org", "FSET_UPD_Port=443", "FSET_UPD_Protocol=0", "FSET_CIP_Protocol=1",
          "FSET_CIP_Port=80", "FSET_CIP_Server=checkip.dyndns.com", "FSET_CIP_BaseURI=/", "FSET_CIP_Auth=0"})
        EXPECT_TRUE(FileHasLine(SettingsPath(), line)) << line;
    EXPECT_EQ(ReadBytes(SettingsPath()).find("FSET_UPD_Service"), std::string::npos);
}

TEST_F(KnownServicesTest, AChosenServiceIsSavedWithItsFieldsEmptyAndShownAgain) {
    WriteSettings(PausedSettings());
    Open();
    view_.Choose(Control::cmbService, kDyn);
    view_.Click(Control::btnSaveConfig);
    const std::string saved = ReadBytes(SettingsPath());
    EXPECT_TRUE(FileHasLine(SettingsPath(), "FSET_UPD_Service=dyn"));
    for (const char *key : {"FSET_UPD_Protocol", "FSET_UPD_Port", "FSET_UPD_Server", "FSET_UPD_BaseURI",
                            "FSET_UPD_Method", "FSET_UPD_Auth", "FSET_CIP_Protocol", "FSET_CIP_Port", "FSET_CIP_Server",
                            "FSET_CIP_BaseURI", "FSET_CIP_Method", "FSET_CIP_Auth"})
        EXPECT_EQ(saved.find(std::string(key) + "="), std::string::npos) << key << " follows the service";
    const std::vector<std::string> shown = ShownEndpoints(view_);

    Close();
    Open();
    EXPECT_EQ(view_.Text(Control::cmbService), "Dyn");
    EXPECT_EQ(ShownEndpoints(view_), shown);
}

// An id this version has no row for (a newer version's, a typing slip) filled no empty
// endpoint key: the account would go to the default host unasked.
TEST_F(KnownServicesTest, AStoredServiceNoRowHasOpensPausedAndSaysSoBeforeAnythingIsSent) {
    WriteSettings(With(RunningSettings(), {"FSET_UPD_Service=dynn"}));
    form::TfrmMain &form = Open();
    EXPECT_TRUE(view_.visible);
    EXPECT_TRUE(view_[Control::lblPaused].visible);
    EXPECT_FALSE(view_.timerActive);
    EXPECT_EQ(view_[Control::cmbService].entry, 0);
    ASSERT_EQ(view_.boxes.size(), 1u);
    EXPECT_EQ(view_.boxes[0].kind, BoxKind::Warning);
    const std::string said = "FSET_UPD_Service=dynn in \"" + SettingsPath() + "\" names no known service.";
    EXPECT_EQ(view_.boxes[0].text.rfind(said, 0), 0u) << view_.boxes[0].text;
    EXPECT_TRUE(runner_.calls.empty());

    // Unpausing takes the endpoints as shown; the id names nothing and is not kept.
    view_.Click(Control::btnUnpause);
    EXPECT_FALSE(form.dm().FSET_StateIsPaused);
    Close();
    EXPECT_EQ(ReadBytes(SettingsPath()).find("FSET_UPD_Service"), std::string::npos);
}

TEST_F(KnownServicesTest, TheHintShowsUntilTheFirstUnpause) {
    Open(); // no settings file: a first run
    EXPECT_TRUE(view_[Control::lblHint].visible);
    view_.Type(Control::edtUser, "alice");
    view_.Type(Control::edtPass, "secret");
    view_.Type(Control::edtHostname, "home.example.org");
    view_.Click(Control::btnUnpause);
    EXPECT_FALSE(view_[Control::lblHint].visible);

    Close();
    Open();
    EXPECT_FALSE(view_[Control::lblHint].visible);
}

} // namespace
} // namespace zevlo::test
