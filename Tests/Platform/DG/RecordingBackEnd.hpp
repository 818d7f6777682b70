#ifndef TESTS_DG_RECORDINGBACKEND_HPP
#define TESTS_DG_RECORDINGBACKEND_HPP

#include "DGBrowser.hpp"
#include "DGDialog.hpp"
#include "DGUIBackEnd.hpp"
#include "JSValues.hpp"

#include <string>
#include <vector>

// A UI back end that writes what DG asks of it into a list of lines.
class RecordingBackEnd : public DG::UIBackEnd {
public:
    class Page : public DG::BrowserPage {
    public:
        explicit Page(std::vector<std::string>& log) : log(log) {}
        void LoadURL(const GS::UniString& url) override { log.push_back("load " + url.ToCStr().ToString()); }
        void ExecuteJS(const GS::UniString& script) override { log.push_back("js " + script.ToCStr().ToString()); }
        bool RegisterAsynchJSObject(GS::Ref<JS::Object> obj) override {
            log.push_back("register " + obj->GetName().ToCStr().ToString());
            return true;
        }
        void SetContextMenuMode(Int32 mode) override { log.push_back("menu " + std::to_string(mode)); }

    private:
        std::vector<std::string>& log;
    };

    void PanelCreated(DG::Panel& panel) override { log.push_back("created " + panel.GetTitle().ToCStr().ToString()); }
    void PanelDestroyed(DG::Panel& panel) override {
        log.push_back("destroyed " + panel.GetTitle().ToCStr().ToString());
    }
    void VisibilityChanged(DG::ModelessBase&, bool visible, Int32 position) override {
        log.push_back(std::string(visible ? "shown " : "hidden ") + std::to_string(position));
    }
    void ItemsEnabledChanged(DG::Panel&, bool enabled) override { log.push_back(enabled ? "enabled" : "disabled"); }
    std::unique_ptr<DG::BrowserPage> CreateBrowserPage(DG::BrowserBase&) override {
        return std::make_unique<Page>(log);
    }
    short ShowAlert(DG::AlertKind, const GS::UniString& large, const GS::UniString& small, const GS::UniString& b1,
                    const GS::UniString& b2, const GS::UniString& b3) override {
        log.push_back("alert " + large.ToCStr().ToString() + "|" + small.ToCStr().ToString() + "|" +
                      b1.ToCStr().ToString() + "|" + b2.ToCStr().ToString() + "|" + b3.ToCStr().ToString());
        return alertAnswer;
    }
    void RunModalDialog(DG::ModalDialog& dialog) override {
        log.push_back("modal " + dialog.GetTitle().ToCStr().ToString());
        if (acceptModal) dialog.PostCloseRequest(DG::ModalDialog::Accept);
    }

    std::vector<std::string> log;
    short alertAnswer = 1;
    bool acceptModal = false;
};

#endif
