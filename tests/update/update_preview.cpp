// Shows one of the update, settings or about windows with sample contents, for looking at them by
// hand: update_preview settings|update|downloaded|refused|about|info [NLD|ENU]
#include <QApplication>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <cstring>

#include "dialogs/about_form.h"
#include "dialogs/versions_form.h"
#include "settings/options_form.h"

using namespace rendaal;

namespace {

class SampleList final : public UpdateTransport {
public:
    explicit SampleList(ListFailure failure) : failure_(failure) {}
    ListReply Get(const std::string&, size_t) override {
        if (failure_ != ListFailure::None) {
            return {{}, false, failure_, 0};
        }
        return ListReply{"Parlith,setup1209a.exe,a,1800,-\r\nRendaal,setup110b.exe,b,2500," +
                             std::string(64, '0') + "\r\n",
                         true};
    }
    StreamOutcome Stream(const std::string&,
                         const std::function<bool(std::string_view)>&) override {
        return {};
    }

private:
    ListFailure failure_;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const std::string what = argc > 1 ? argv[1] : "settings";
    const std::string lang = argc > 2 ? argv[2] : "NLD";
    QTemporaryDir dir;
    if (what == "settings") {
        auto* form =
            new TOptionsForm(OptionsHooks{}, nullptr, dir.filePath("Rendaal.reg").toStdString());
        form->move(60, 60);
        form->show();
    } else if (what == "update" || what == "downloaded" || what == "refused") {
        auto* form = new TVersionsForm;
        form->SetTransport(std::make_unique<SampleList>(what == "refused" ? ListFailure::Certificate
                                                                          : ListFailure::None));
        UpdateConfig c = form->Config();
        c.languageCode = lang;
        form->SetConfig(c);
        form->CheckNow(0, 0, 400, 600, "Rendaal", "versie 1.10a");
        if (what == "downloaded") {
            form->Gauge1->show();
            form->Gauge1->setRange(0, 2500);
            form->Gauge1->setValue(1700);
        }
    } else {
        auto* form = new TAboutForm;
        form->setLanguageCode(lang);
        form->setProgram("Rendaal", "versie 1.10a", "Rendaal \xC2\xA9 2013 Jan de Vries");
        form->move(60, 60);
        form->show();
        if (what == "info") {
            form->AutorBtnClick();
        }
    }
    return app.exec();
}
