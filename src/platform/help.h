#pragma once

#include <QObject>
#include <functional>
#include <string>

class QWidget;

// The help viewer: one HTML page with a section per help context number, opened in the
// browser at that section.
namespace rendaal {

// startFolder + "help/rendaal.html".
std::string HelpPagePath(const std::string& startFolder);
// file:// address of the page, with "#" + context number unless context is 0.
std::string HelpUrl(const std::string& pagePath, int context);

// Opens the page at the context's section (context 0: at its start). False when no viewer
// took it.
bool OpenHelp(const std::string& pagePath, int context);
// The same, telling onFailure (with the address) when the page is missing or no program shows
// it; returns at once.
void OpenHelpChecked(const std::string& pagePath, int context, QObject* owner,
                     const std::function<void(const std::string&)>& onFailure);

// The context number a widget answers F1 with: its own "helpContext" property, else the
// nearest non-zero one up the parent chain; 0 when none.
int HelpContextOf(const QObject* object);
void SetHelpContext(QObject* object, int context);

// Catches F1 application-wide and opens the help page at the focused widget's context.
class HelpKeyFilter final : public QObject {
    Q_OBJECT

public:
    // onFailure is called with the address when no viewer could open it.
    HelpKeyFilter(std::string pagePath, std::function<void(const std::string&)> onFailure,
                  QObject* parent = nullptr);
    const std::string& PagePath() const { return pagePath_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string pagePath_;
    std::function<void(const std::string&)> onFailure_;
};

}  // namespace rendaal
